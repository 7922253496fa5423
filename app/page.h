#pragma once

#include <cstdint>

namespace vorlune {

// Moves 选择夹1 on by one page: the current page read, 1.0 added in double precision, truncated
// toward zero to 64 bits and its low 32 bits written back.
void AdvancePage();

// The page after `page`, computed the way AdvancePage writes it back.
constexpr std::int32_t NextPage(std::int32_t page) {
  const double next = static_cast<double>(page) + 1.0;
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(next))));
}

}  // namespace vorlune

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorlune::testing {

// Deterministic data that deflates to roughly half its size.
inline std::string MixedData(std::size_t size, std::uint32_t seed) {
  std::string data(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Half the bytes from a small alphabet, half noise: compressible, but not trivially.
    const std::uint32_t bits = state >> 16;
    data[i] = (i / 64) % 2 == 0 ? static_cast<char>('a' + bits % 8) : static_cast<char>(bits);
  }
  return data;
}

}  // namespace vorlune::testing

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
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

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vorlune::testing

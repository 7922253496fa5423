#pragma once

#include <cstdint>

namespace vorlune {

// splitmix64: the same sequence on every machine, unlike the standard distributions, so that
// generated pictures and benchmark archives come out byte for byte the same.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // In [0, bound).
  std::uint32_t Below(std::uint32_t bound) {
    return static_cast<std::uint32_t>((Next() >> 32) * bound >> 32);
  }
  // In [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Unit(); }
  // In [lo, hi].
  int Integer(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }

 private:
  std::uint64_t state_;
};

}  // namespace vorlune

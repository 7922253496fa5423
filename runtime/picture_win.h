#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace vorlune {

// A decoded picture as a top-down 32-bit DIB (blue, green, red, alpha bytes per pixel).
class Picture {
 public:
  // Empty for bytes that are not a readable PNG image.
  static std::optional<Picture> DecodePng(std::span<const unsigned char> png);

  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  std::span<const std::uint32_t> Pixels() const noexcept { return pixels_; }

  // Stretches the whole picture over `target`, aspect ratio not kept.
  void Draw(HDC dc, const RECT& target) const;

 private:
  Picture(int width, int height, std::vector<std::uint32_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace vorlune

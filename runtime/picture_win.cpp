#include "runtime/picture_win.h"

#include <png.h>

#include <cstring>

namespace vorlune {

namespace {

// Frees libpng's decoder state on every way out of DecodePng.
class PngImage {
 public:
  PngImage() noexcept {
    std::memset(&image_, 0, sizeof image_);
    image_.version = PNG_IMAGE_VERSION;
  }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  ~PngImage() { png_image_free(&image_); }

  png_image* operator->() noexcept { return &image_; }
  png_image* Get() noexcept { return &image_; }

 private:
  png_image image_;
};

}  // namespace

std::optional<Picture> Picture::DecodePng(std::span<const unsigned char> png) {
  if (png.empty()) return std::nullopt;
  PngImage image;
  if (png_image_begin_read_from_memory(image.Get(), png.data(), png.size()) == 0) {
    return std::nullopt;
  }
  // BGRA is the byte order of a 32-bit DIB.
  image->format = PNG_FORMAT_BGRA;
  const auto width = static_cast<int>(image->width);
  const auto height = static_cast<int>(image->height);
  if (width <= 0 || height <= 0) return std::nullopt;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height));
  if (png_image_finish_read(image.Get(), nullptr, pixels.data(), static_cast<png_int_32>(width * 4),
                            nullptr) == 0) {
    return std::nullopt;
  }
  return Picture(width, height, std::move(pixels));
}

void Picture::Draw(HDC dc, const RECT& target) const {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // HALFTONE averages the source pixels when shrinking instead of dropping rows and columns.
  const int previous_mode = SetStretchBltMode(dc, HALFTONE);
  POINT previous_origin{};
  SetBrushOrgEx(dc, 0, 0, &previous_origin);
  StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
                0, 0, width_, height_, pixels_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  SetBrushOrgEx(dc, previous_origin.x, previous_origin.y, nullptr);
  SetStretchBltMode(dc, previous_mode);
}

}  // namespace vorlune

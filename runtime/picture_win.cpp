#include "runtime/picture_win.h"

#include <png.h>

#include <cstring>

namespace vorlune {

namespace {

// The core reader rather than the simplified one: the simplified API also links libpng's writer
// and zlib's deflate into the installer.
class PngReader {
 public:
  PngReader() noexcept
      : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }

  bool IsReady() const noexcept { return png_ != nullptr && info_ != nullptr; }
  png_structp Png() const noexcept { return png_; }
  png_infop Info() const noexcept { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct MemorySource {
  std::span<const unsigned char> bytes;
  std::size_t offset = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > source->bytes.size() - source->offset) png_error(png, "truncated image");
  std::memcpy(out, source->bytes.data() + source->offset, length);
  source->offset += length;
}

// libpng reports errors by longjmp: everything with a destructor is made before the jump target
// is set, and nothing between there and the decode owns anything.
bool DecodeInto(PngReader& reader, MemorySource& source, std::vector<std::uint32_t>& pixels,
                std::vector<png_bytep>& rows, int& width, int& height) {
  png_structp png = reader.Png();
  png_infop info = reader.Info();
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &source, &ReadFromMemory);
  png_read_info(png, info);
  width = static_cast<int>(png_get_image_width(png, info));
  height = static_cast<int>(png_get_image_height(png, info));
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;

  // Whatever the stored format, 8-bit BGRA comes out: the byte order of a 32-bit DIB.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) return false;

  pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  rows.resize(static_cast<std::size_t>(height));
  for (std::size_t row = 0; row < rows.size(); ++row) {
    rows[row] = reinterpret_cast<png_bytep>(pixels.data() + row * static_cast<std::size_t>(width));
  }
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

std::optional<Picture> Picture::DecodePng(std::span<const unsigned char> png) {
  if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) return std::nullopt;
  PngReader reader;
  if (!reader.IsReady()) return std::nullopt;
  MemorySource source{png};
  std::vector<std::uint32_t> pixels;
  std::vector<png_bytep> rows;
  int width = 0;
  int height = 0;
  if (!DecodeInto(reader, source, pixels, rows, width, height)) return std::nullopt;
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

// The committed pictures must be what make-pictures draws, and of the kinds the window's drawing
// code and the resource compiler expect.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

struct Decoded {
  std::uint32_t width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0;
  bool srgb = false, gamma = false, physical = false;
  std::vector<std::uint8_t> pixels;  // as stored, rows back to back
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

Decoded DecodePng(const fs::path& path) {
  Decoded out;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
  if (!file) {
    ADD_FAILURE() << "cannot open " << path;
    return out;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    ADD_FAILURE() << "libpng cannot decode " << path;
    return Decoded{};
  }
  png_init_io(png, file.get());
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  out.bit_depth = png_get_bit_depth(png, info);
  out.colour_type = png_get_color_type(png, info);
  out.interlace = png_get_interlace_type(png, info);
  out.srgb = png_get_valid(png, info, PNG_INFO_sRGB) != 0;
  out.gamma = png_get_valid(png, info, PNG_INFO_gAMA) != 0;
  out.physical = png_get_valid(png, info, PNG_INFO_pHYs) != 0;
  const std::size_t row_bytes = png_get_rowbytes(png, info);
  png_bytepp rows = png_get_rows(png, info);
  for (std::uint32_t y = 0; y < out.height; ++y)
    out.pixels.insert(out.pixels.end(), rows[y], rows[y] + row_bytes);
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

const fs::path kCommitted = VORLUNE_PICTURES_DIR;

TEST(Pictures, RedrawingGivesTheCommittedFilesByteForByte) {
  const fs::path dir =
      fs::temp_directory_path() / ("vorlune-pictures-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  const std::string command =
      std::string("\"") + VORLUNE_MAKE_PICTURES + "\" \"" + dir.string() + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const char* name : {"background.png", "corner.png", "vorlune.ico"}) {
    const auto fresh = ReadFile(dir / name);
    ASSERT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(fresh == ReadFile(kCommitted / name))
        << name << " differs from the committed copy: run the `pictures` target and commit";
  }
  fs::remove_all(dir);
}

struct PngCase {
  const char* name;
  std::uint32_t width, height;
  bool colour_chunks;
  std::uintmax_t max_bytes;  // the installer has a size budget
};

class CommittedPng : public testing::TestWithParam<PngCase> {};

TEST_P(CommittedPng, IsOpaqueEightBitRgbaOfItsSize) {
  const PngCase& c = GetParam();
  const Decoded png = DecodePng(kCommitted / c.name);
  EXPECT_EQ(png.width, c.width);
  EXPECT_EQ(png.height, c.height);
  EXPECT_EQ(png.bit_depth, 8);
  EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGBA);
  EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
  ASSERT_EQ(png.pixels.size(), std::size_t(c.width) * c.height * 4);
  std::size_t translucent = 0;
  for (std::size_t i = 3; i < png.pixels.size(); i += 4) translucent += png.pixels[i] != 255;
  EXPECT_EQ(translucent, 0u);
  if (c.colour_chunks) {
    EXPECT_TRUE(png.srgb);
    EXPECT_TRUE(png.gamma);
    EXPECT_TRUE(png.physical);
  }
  EXPECT_LT(fs::file_size(kCommitted / c.name), c.max_bytes);
}

INSTANTIATE_TEST_SUITE_P(Pictures, CommittedPng,
                         testing::Values(PngCase{"background.png", 696, 382, false, 40 * 1024},
                                         PngCase{"corner.png", 240, 240, true, 90 * 1024}),
                         [](const auto& info) {
                           return std::string(info.param.name).substr(0, 6);
                         });

TEST(Pictures, IconIsOneOpaque32BitImageReducedFromTheCorner) {
  const auto ico = ReadFile(kCommitted / "vorlune.ico");
  ASSERT_EQ(ico.size(), 4286u);
  EXPECT_EQ(Le(ico, 0, 2), 0u);   // reserved
  EXPECT_EQ(Le(ico, 2, 2), 1u);   // icon, not cursor
  EXPECT_EQ(Le(ico, 4, 2), 1u);   // one image
  EXPECT_EQ(ico[6], 32);          // width
  EXPECT_EQ(ico[7], 32);          // height
  EXPECT_EQ(Le(ico, 10, 2), 1u);  // planes
  EXPECT_EQ(Le(ico, 12, 2), 32u);
  EXPECT_EQ(Le(ico, 14, 4), 4264u);
  ASSERT_EQ(Le(ico, 18, 4), 22u);
  // BITMAPINFOHEADER: the height counts the colour image and the mask.
  EXPECT_EQ(Le(ico, 22, 4), 40u);
  EXPECT_EQ(Le(ico, 26, 4), 32u);
  EXPECT_EQ(Le(ico, 30, 4), 64u);
  EXPECT_EQ(Le(ico, 36, 2), 32u);
  EXPECT_EQ(Le(ico, 38, 4), 0u);  // BI_RGB
  const std::size_t pixels = 62, mask = pixels + 32 * 32 * 4;
  for (std::size_t i = pixels + 3; i < mask; i += 4)
    ASSERT_EQ(ico[i], 255) << "pixel " << (i - pixels) / 4;
  for (std::size_t i = mask; i < ico.size(); ++i) ASSERT_EQ(ico[i], 0) << "mask byte " << i - mask;

  // Each icon pixel follows the brightness of its 7.5 x 7.5 patch of the corner picture.
  const Decoded corner = DecodePng(kCommitted / "corner.png");
  ASSERT_EQ(corner.width, 240u);
  std::vector<double> icon_lum, patch_lum;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const std::size_t at = pixels + (std::size_t(31 - y) * 32 + x) * 4;  // bottom-up BGRA
      icon_lum.push_back(ico[at] + ico[at + 1] + ico[at + 2]);
      double sum = 0;
      for (int sy = y * 240 / 32; sy < (y + 1) * 240 / 32; ++sy) {
        for (int sx = x * 240 / 32; sx < (x + 1) * 240 / 32; ++sx) {
          const std::size_t p = (std::size_t(sy) * 240 + sx) * 4;
          sum += corner.pixels[p] + corner.pixels[p + 1] + corner.pixels[p + 2];
        }
      }
      patch_lum.push_back(sum);
    }
  }
  auto mean = [](const std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x;
    return s / double(v.size());
  };
  const double mi = mean(icon_lum), mp = mean(patch_lum);
  double cov = 0, vi = 0, vp = 0;
  for (std::size_t i = 0; i < icon_lum.size(); ++i) {
    cov += (icon_lum[i] - mi) * (patch_lum[i] - mp);
    vi += (icon_lum[i] - mi) * (icon_lum[i] - mi);
    vp += (patch_lum[i] - mp) * (patch_lum[i] - mp);
  }
  EXPECT_GT(cov / std::sqrt(vi * vp), 0.9);
}

}  // namespace

// make-pictures OUTDIR
//
// Draws the setup window's pictures and writes background.png, corner.png and vorlune.ico into
// OUTDIR. Everything is drawn from a fixed seed, so the output depends only on this file and the
// zlib/libpng in use; the committed copies under ui/pictures are regenerated with it.
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tools/random.h"

namespace {

using vorlune::Random;

struct Colour {
  double r = 0, g = 0, b = 0;
};

Colour Mix(Colour a, Colour b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Hex(std::uint32_t rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

// A floating-point canvas; quantised once, when it is written.
class Canvas {
 public:
  Canvas(int width, int height, Colour fill)
      : width_(width), height_(height), pixels_(std::size_t(width) * height, fill) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  Colour& At(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }
  const Colour& At(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }

  // Paints `colour` over the pixels where `coverage(x + 0.5, y + 0.5)` is above zero, inside the
  // box; coverage comes from a signed distance, which gives one pixel of anti-aliasing.
  template <typename Distance>
  void Fill(double x0, double y0, double x1, double y1, Colour colour, Distance distance) {
    const int ix0 = std::max(0, int(std::floor(x0)) - 1);
    const int iy0 = std::max(0, int(std::floor(y0)) - 1);
    const int ix1 = std::min(width_, int(std::ceil(x1)) + 1);
    const int iy1 = std::min(height_, int(std::ceil(y1)) + 1);
    for (int y = iy0; y < iy1; ++y) {
      for (int x = ix0; x < ix1; ++x) {
        const double d = distance(x + 0.5, y + 0.5);
        const double coverage = std::clamp(0.5 - d, 0.0, 1.0);
        if (coverage > 0) At(x, y) = Mix(At(x, y), colour, coverage);
      }
    }
  }

  std::vector<std::uint8_t> Rgba() const {
    std::vector<std::uint8_t> out;
    out.reserve(pixels_.size() * 4);
    for (const Colour& c : pixels_) {
      out.push_back(Quantise(c.r));
      out.push_back(Quantise(c.g));
      out.push_back(Quantise(c.b));
      out.push_back(255);
    }
    return out;
  }

 private:
  static std::uint8_t Quantise(double v) {
    return std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  }

  int width_;
  int height_;
  std::vector<Colour> pixels_;
};

// Signed distance to a rounded rectangle whose corners may differ: top-left, top-right,
// bottom-right, bottom-left.
auto RoundedBox(double x0, double y0, double x1, double y1, std::array<double, 4> radii) {
  return [=](double px, double py) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    const double dx = px - cx, dy = py - cy;
    const double r = dy < 0 ? (dx < 0 ? radii[0] : radii[1]) : (dx < 0 ? radii[3] : radii[2]);
    const double qx = std::abs(dx) - hx + r, qy = std::abs(dy) - hy + r;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - r;
  };
}

void FillRoundedBox(Canvas& canvas, double x0, double y0, double x1, double y1, double radius,
                    Colour colour) {
  canvas.Fill(x0, y0, x1, y1, colour, RoundedBox(x0, y0, x1, y1, {radius, radius, radius, radius}));
}

void FillCircle(Canvas& canvas, double cx, double cy, double radius, Colour colour) {
  canvas.Fill(cx - radius, cy - radius, cx + radius, cy + radius, colour,
              [=](double px, double py) { return std::hypot(px - cx, py - cy) - radius; });
}

// A run of blocky "words" standing in for a line of text; returns where the line ended.
double TextLine(Canvas& canvas, Random& random, double x, double y, double width, double height,
                Colour colour) {
  const double end = x + width;
  while (x < end - 6) {
    const double word = std::min(random.Uniform(10, 42), end - x);
    FillRoundedBox(canvas, x, y, x + word, y + height, 1.5, colour);
    x += word + random.Uniform(4, 7);
  }
  return x;
}

// Digits and the colon on a 3 x 5 grid, one row per string, for the time stamp.
void DrawClock(Canvas& canvas, const char* text, double x, double y, double cell, Colour colour) {
  static const char* const kGlyphs[11][5] = {
      {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"},
      {"###", "..#", "###", "#..", "###"}, {"###", "..#", "###", "..#", "###"},
      {"#.#", "#.#", "###", "..#", "..#"}, {"###", "#..", "###", "..#", "###"},
      {"###", "#..", "###", "#.#", "###"}, {"###", "..#", "..#", "..#", "..#"},
      {"###", "#.#", "###", "#.#", "###"}, {"###", "#.#", "###", "..#", "###"},
      {"...", ".#.", "...", ".#.", "..."},
  };
  for (const char* c = text; *c; ++c) {
    const int glyph = *c == ':' ? 10 : *c - '0';
    for (int row = 0; row < 5; ++row) {
      for (int col = 0; col < 3; ++col) {
        if (kGlyphs[glyph][row][col] != '#') continue;
        const double px = x + col * cell, py = y + row * cell;
        FillRoundedBox(canvas, px, py, px + cell, py + cell, 0.4, colour);
      }
    }
    x += 4 * cell;
  }
}

// A dark chat window: header, a time stamp, and two bubbles from one sender with an avatar.
Canvas DrawBackground() {
  Random random(0x566F726C756E6531ull);
  Canvas canvas(696, 382, Hex(0x17191D));

  const Colour header = Hex(0x202328);
  const Colour muted = Hex(0x5D636E);
  const Colour bubble = Hex(0x2A2E35);
  const Colour ink = Hex(0xC9CDD4);

  // Header bar: back chevron, the contact's name, a menu.
  canvas.Fill(0, 0, 696, 46, header, [](double, double py) { return py - 46; });
  canvas.Fill(0, 45, 696, 47, Hex(0x2B2F36),
              [](double, double py) { return std::abs(py - 46) - 0.5; });
  for (int side : {-1, 1}) {
    canvas.Fill(14, 12, 30, 34, ink, [side](double px, double py) {
      // Two strokes of the chevron, as distances to segments from (26, 23 -+ 8) to (18, 23).
      const double ax = 26, ay = 23 + side * 8, bx = 18, by = 23;
      const double t = std::clamp(((px - ax) * (bx - ax) + (py - ay) * (by - ay)) /
                                      ((bx - ax) * (bx - ax) + (by - ay) * (by - ay)),
                                  0.0, 1.0);
      return std::hypot(px - (ax + t * (bx - ax)), py - (ay + t * (by - ay))) - 1.3;
    });
  }
  TextLine(canvas, random, 292, 17, 112, 12, ink);
  for (int i = 0; i < 3; ++i) FillCircle(canvas, 668, 15 + i * 8, 1.8, ink);

  // Time stamp, centred.
  const double cell = 2.0;
  const double clock_width = 5 * 4 * cell - cell;
  FillRoundedBox(canvas, 348 - clock_width / 2 - 10, 66, 348 + clock_width / 2 + 10, 86, 10,
                 Hex(0x22252B));
  DrawClock(canvas, "14:55", 348 - clock_width / 2, 71, cell, muted);

  // The sender: a round avatar with a soft two-tone gradient and an initial-like mark.
  const double ax = 38, ay = 124, ar = 18;
  canvas.Fill(ax - ar, ay - ar, ax + ar, ay + ar, Hex(0x3A6EA5),
              [=](double px, double py) { return std::hypot(px - ax, py - ay) - ar; });
  for (int y = int(ay - ar); y < int(ay + ar); ++y) {
    for (int x = int(ax - ar); x < int(ax + ar); ++x) {
      const double d = std::hypot(x + 0.5 - ax, y + 0.5 - ay);
      if (d < ar - 1) {
        const double t = std::clamp((y + 0.5 - (ay - ar)) / (2 * ar), 0.0, 1.0);
        canvas.At(x, y) = Mix(Hex(0x5B8FD0), Hex(0x2D4F86), t);
      }
    }
  }
  FillCircle(canvas, ax, ay - 5, 6.5, Hex(0xE4E9F2));
  canvas.Fill(ax - 11, ay + 3, ax + 11, ay + ar, Hex(0xE4E9F2), [=](double px, double py) {
    const double body = std::hypot((px - ax) / 11.0, (py - (ay + 14)) / 9.0) - 1.0;
    const double disc = std::hypot(px - ax, py - ay) - (ar - 1.5);
    return std::max(body * 9.0, disc);
  });

  // The sender's name, then two bubbles; the first one's corner points at the avatar.
  TextLine(canvas, random, 68, 104, 64, 9, muted);
  canvas.Fill(66, 118, 430, 176, bubble, RoundedBox(66, 118, 430, 176, {4, 14, 14, 14}));
  TextLine(canvas, random, 80, 131, 330, 11, ink);
  TextLine(canvas, random, 80, 153, 214, 11, ink);
  canvas.Fill(66, 184, 318, 220, bubble, RoundedBox(66, 184, 318, 220, {14, 14, 14, 14}));
  TextLine(canvas, random, 80, 197, 212, 11, ink);
  TextLine(canvas, random, 272, 226, 44, 8, Hex(0x474C55));

  // Input bar along the bottom with a send button.
  canvas.Fill(0, 328, 696, 382, header, [](double, double py) { return 328 - py; });
  FillRoundedBox(canvas, 16, 340, 626, 370, 15, Hex(0x2A2E35));
  TextLine(canvas, random, 34, 350, 90, 10, Hex(0x4A505A));
  FillCircle(canvas, 660, 355, 16, Hex(0x3A6EA5));
  canvas.Fill(650, 345, 672, 365, Hex(0xE4E9F2), [](double px, double py) {
    // A paper plane: a triangle pointing right.
    const double e1 = (py - 347) * 1.0 - (px - 652) * 0.4;
    const double e2 = (363 - py) * 1.0 - (px - 652) * 0.4;
    const double e3 = px - 652;
    return -std::min({e1 / 1.08, e2 / 1.08, e3});
  });
  return canvas;
}

// Glowing sparks in the dark: streaks with hot cores and wide orange halos over a faint glow.
Canvas DrawCorner() {
  Random random(0x537061726B730001ull);
  const int size = 240;
  std::vector<Colour> light(std::size_t(size) * size);
  auto add = [&](int x, int y, Colour c, double w) {
    if (x < 0 || y < 0 || x >= size || y >= size) return;
    Colour& p = light[std::size_t(y) * size + x];
    p.r += c.r * w, p.g += c.g * w, p.b += c.b * w;
  };
  auto splat = [&](double cx, double cy, double sigma, Colour c, double energy) {
    const int reach = int(std::ceil(sigma * 3));
    for (int y = int(cy) - reach; y <= int(cy) + reach; ++y) {
      for (int x = int(cx) - reach; x <= int(cx) + reach; ++x) {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        add(x, y, c, energy * std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)));
      }
    }
  };

  // Warm glow from a fire below the lower left corner.
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double dx = (x + 0.5 + 30) / 260.0, dy = (size - y - 0.5 + 40) / 260.0;
      const double g = std::exp(-(dx * dx + dy * dy) * 2.2);
      add(x, y, {0.55, 0.16, 0.035}, g * 0.55);
    }
  }

  const Colour hot{1.0, 0.82, 0.52};
  const Colour ember{1.0, 0.36, 0.06};

  // Out-of-focus sparks far behind: soft discs.
  for (int i = 0; i < 14; ++i) {
    const double cx = random.Uniform(0, size), cy = random.Uniform(0, size * 0.8);
    const double radius = random.Uniform(4, 11);
    const double energy = random.Uniform(0.05, 0.16);
    for (int y = int(cy - radius - 2); y <= int(cy + radius + 2); ++y) {
      for (int x = int(cx - radius - 2); x <= int(cx + radius + 2); ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        add(x, y, ember, energy * std::clamp((radius - d) / 2.0 + 0.5, 0.0, 1.0));
      }
    }
  }

  // Streaks thrown out of the fire: each one the motion blur of a spark on its way out from
  // below the lower left corner, bending a little under gravity, brightest at the head.
  for (int i = 0; i < 70; ++i) {
    const double heading = random.Uniform(-1.45, -0.15);  // up and to the right
    const double reach = random.Uniform(60, 330);
    const double x0 = -30 + std::cos(heading) * reach, y0 = size + 30 + std::sin(heading) * reach;
    const double angle = heading + random.Uniform(-0.12, 0.12);
    const double length = random.Uniform(8, 46) * (1.2 - reach / 400);
    const double bend = random.Uniform(0.0, 0.25);
    const double width = random.Uniform(0.45, 0.95);
    const double energy = random.Uniform(0.3, 1.1);
    const int steps = int(length * 3);
    for (int s = 0; s <= steps; ++s) {
      const double t = double(s) / steps;
      const double a = angle + bend * t;
      const double x = x0 + std::cos(a) * length * t;
      const double y = y0 + std::sin(a) * length * t;
      const double fade = std::pow(t, 1.4) * energy / 3.0;
      splat(x, y, width, hot, fade * 2.2);
      if (s % 3 == 0) splat(x, y, width * 3.5, ember, fade * 0.8);
    }
    const double hx = x0 + std::cos(angle + bend) * length,
                 hy = y0 + std::sin(angle + bend) * length;
    splat(hx, hy, width * 1.3, hot, energy * 0.8);
  }

  // Tiny embers scattered around.
  for (int i = 0; i < 40; ++i) {
    splat(random.Uniform(0, size), random.Uniform(0, size), random.Uniform(0.5, 0.9), ember,
          random.Uniform(0.2, 0.7));
  }

  Canvas canvas(size, size, {});
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Colour& p = light[std::size_t(y) * size + x];
      // Film-like roll-off keeps the cores from clipping flat.
      canvas.At(x, y) = {1 - std::exp(-p.r * 1.6), 1 - std::exp(-p.g * 1.6),
                         1 - std::exp(-p.b * 1.6)};
    }
  }
  return canvas;
}

// Area-averaged reduction, for the icon.
Canvas Reduce(const Canvas& source, int size) {
  Canvas out(size, size, {});
  const double scale = double(source.Width()) / size;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Colour sum;
      double weight = 0;
      for (int sy = int(y * scale); sy < std::min(source.Height(), int(std::ceil((y + 1) * scale)));
           ++sy) {
        for (int sx = int(x * scale);
             sx < std::min(source.Width(), int(std::ceil((x + 1) * scale))); ++sx) {
          const double wx = std::min(sx + 1.0, (x + 1) * scale) - std::max(double(sx), x * scale);
          const double wy = std::min(sy + 1.0, (y + 1) * scale) - std::max(double(sy), y * scale);
          const double w = wx * wy;
          const Colour& c = source.At(sx, sy);
          sum.r += c.r * w, sum.g += c.g * w, sum.b += c.b * w;
          weight += w;
        }
      }
      // Small sparks wash out when averaged; brighten them so the icon still glows.
      auto lift = [&](double v) { return std::min(1.0, 1.7 * v / weight); };
      out.At(x, y) = {lift(sum.r), lift(sum.g), lift(sum.b)};
    }
  }
  return out;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool WritePng(const std::filesystem::path& path, const Canvas& canvas, bool colour_chunks) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "wb"));
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<std::uint8_t> rgba = canvas.Rgba();
  std::vector<png_bytep> rows(canvas.Height());
  for (int y = 0; y < canvas.Height(); ++y)
    rows[y] = rgba.data() + std::size_t(y) * canvas.Width() * 4;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, canvas.Width(), canvas.Height(), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colour_chunks) {
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_set_gAMA_fixed(png, info, 45455);
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);  // 96 dpi
  }
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fflush(file.get()) == 0;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(std::uint8_t(v)), out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF), Put16(out, v >> 16);
}

// One 32 x 32 image, 32 bits per pixel, as a DIB with its (all clear) AND mask.
bool WriteIcon(const std::filesystem::path& path, const Canvas& image) {
  const int n = image.Width();
  const std::uint32_t mask_bytes = std::uint32_t(n) * ((n + 31) / 32 * 4);
  const std::uint32_t dib_bytes = 40 + std::uint32_t(n) * n * 4 + mask_bytes;
  std::vector<std::uint8_t> out;
  Put16(out, 0), Put16(out, 1), Put16(out, 1);                     // ICONDIR
  out.push_back(std::uint8_t(n)), out.push_back(std::uint8_t(n));  // ICONDIRENTRY
  out.push_back(0), out.push_back(0);
  Put16(out, 1), Put16(out, 32), Put32(out, dib_bytes), Put32(out, 22);
  Put32(out, 40), Put32(out, n), Put32(out, 2 * n);  // BITMAPINFOHEADER: height covers the mask
  Put16(out, 1), Put16(out, 32), Put32(out, 0), Put32(out, std::uint32_t(n) * n * 4 + mask_bytes);
  Put32(out, 0), Put32(out, 0), Put32(out, 0), Put32(out, 0);
  const std::vector<std::uint8_t> rgba = image.Rgba();
  for (int y = n - 1; y >= 0; --y) {  // bottom-up, BGRA
    for (int x = 0; x < n; ++x) {
      const std::uint8_t* p = &rgba[(std::size_t(y) * n + x) * 4];
      out.push_back(p[2]), out.push_back(p[1]), out.push_back(p[0]), out.push_back(p[3]);
    }
  }
  out.insert(out.end(), mask_bytes, 0);
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
  return bool(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-pictures OUTDIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const Canvas corner = DrawCorner();
  const bool ok = WritePng(dir / "background.png", DrawBackground(), false) &&
                  WritePng(dir / "corner.png", corner, true) &&
                  WriteIcon(dir / "vorlune.ico", Reduce(corner, 32));
  if (!ok) {
    std::fprintf(stderr, "make-pictures: cannot write into %s\n", dir.string().c_str());
    return 1;
  }
  return 0;
}

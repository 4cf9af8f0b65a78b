// Generates the bitmap resources that are embedded in the plug-in:
//
//   reticle-15.png         512x512 RGBA aiming reticle with a solid centre dot
//   reticle-15-circle.png  the same reticle with a hollow centre ring
//   quill-hd.png           1920x1080 RGB colour-bar / grid test picture
//
// Usage: make_resource_images <output-dir>
//
// The output is committed, so it has to be reproducible byte for byte: every
// pixel is computed with exact arithmetic (no anti-aliasing), and the PNG
// encoder is pinned to one filter, one zlib level and no ancillary chunks
// (no time stamp, text or gamma - a gAMA chunk would also make decoders
// adjust the exact alpha/colour values the overlay relies on).

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Image {
  int width = 0;
  int height = 0;
  int channels = 0;  // 3 = RGB, 4 = RGBA
  std::vector<std::uint8_t> pixels;

  Image(int w, int h, int c) : width(w), height(h), channels(c), pixels(static_cast<std::size_t>(w) * h * c, 0) {}

  std::uint8_t* at(int x, int y) { return &pixels[(static_cast<std::size_t>(y) * width + x) * channels]; }
};

bool writePng(const std::string& path, const Image& img) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) {
    std::perror(path.c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(fp);
    std::fprintf(stderr, "%s: out of memory\n", path.c_str());
    return false;
  }
  std::vector<png_const_bytep> rows(static_cast<std::size_t>(img.height));
  for (int y = 0; y < img.height; ++y)
    rows[static_cast<std::size_t>(y)] = img.pixels.data() + static_cast<std::size_t>(y) * img.width * img.channels;
  // libpng reports errors by longjmp back here, so no object with a
  // destructor may be created from this point until the encoding is done.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(fp);
    std::fprintf(stderr, "%s: PNG encoding failed\n", path.c_str());
    return false;
  }
  png_init_io(png, fp);
  // A single fixed filter keeps the output independent of libpng's
  // adaptive filter heuristics; "Up" suits these row-coherent pictures.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 9);
  png_set_compression_mem_level(png, 9);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_window_bits(png, 15);
  png_set_IHDR(png, info, static_cast<png_uint_32>(img.width), static_cast<png_uint_32>(img.height), 8,
               img.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  png_write_rows(png, const_cast<png_bytepp>(rows.data()), static_cast<png_uint_32>(rows.size()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(fp) != 0) {
    std::perror(path.c_str());
    return false;
  }
  return true;
}

// --- Reticle --------------------------------------------------------------
//
// The reticle is white everywhere; the overlay tints it, so the shape lives
// in alpha only. Distances are measured from pixel centres (x + 0.5, y + 0.5)
// to the canvas centre (256, 256), which makes the picture exactly symmetric.
// Comparisons use squared distances in half-pixel units so they are exact
// integers.

constexpr int kReticleSize = 512;
constexpr int kRingInner = 187;       // disc of faint fill below this radius
constexpr int kRingOuter = 207;       // solid ring in [kRingInner, kRingOuter)
constexpr int kTickHalfWidth = 12;    // ticks are 24 px wide
constexpr int kTickMargin = 6;        // ticks stop this far from the canvas edge
constexpr int kDotRadius = 12;        // solid centre dot, 24 px across
constexpr int kCentreRingInner = 22;  // hollow centre: transparent hole, 44 px
constexpr int kCentreRingOuter = 26;  // 4 px stroke, 52 px across
constexpr std::uint8_t kFillAlpha = 38;

enum class CentreMark { Dot, Ring };

// Squared distance of the pixel centre from the canvas centre, times four.
inline long dist2x4(int x, int y) {
  const long dx = 2L * x + 1 - kReticleSize;
  const long dy = 2L * y + 1 - kReticleSize;
  return dx * dx + dy * dy;
}

inline bool within(long d2x4, int radius) { return d2x4 < 4L * radius * radius; }

std::uint8_t reticleAlpha(int x, int y, CentreMark mark) {
  const long d = dist2x4(x, y);
  if (mark == CentreMark::Dot && within(d, kDotRadius)) return 255;
  if (mark == CentreMark::Ring && within(d, kCentreRingOuter)) return within(d, kCentreRingInner) ? 0 : 255;
  if (within(d, kRingInner)) return kFillAlpha;
  if (within(d, kRingOuter)) return 255;
  // Outside the ring: only the four ticks on the centre lines.
  const int half = kReticleSize / 2;
  const bool onVertical = x >= half - kTickHalfWidth && x < half + kTickHalfWidth;
  const bool onHorizontal = y >= half - kTickHalfWidth && y < half + kTickHalfWidth;
  const bool inMargin =
      x >= kTickMargin && x < kReticleSize - kTickMargin && y >= kTickMargin && y < kReticleSize - kTickMargin;
  return (onVertical || onHorizontal) && inMargin ? 255 : 0;
}

Image makeReticle(CentreMark mark) {
  Image img(kReticleSize, kReticleSize, 4);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      std::uint8_t* p = img.at(x, y);
      p[0] = p[1] = p[2] = 255;
      p[3] = reticleAlpha(x, y, mark);
    }
  }
  return img;
}

// --- HD test picture -------------------------------------------------------
//
// SMPTE-style layout: 75% colour bars over the top two thirds, a strip of
// reversed "castellation" bars, then -I / white / +Q / black and a PLUGE
// block. A 120 px grid centred on the picture and a centre cross sit on top,
// drawn as the inverse of the underlying colour so they show on every bar.

constexpr int kHdWidth = 1920;
constexpr int kHdHeight = 1080;
constexpr int kGridStep = 120;
constexpr int kCrossHalfLength = 90;
constexpr int kCrossHalfWidth = 3;

struct Rgb {
  std::uint8_t r, g, b;
};

constexpr Rgb kBars[7] = {
    {191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0}, {191, 0, 191}, {191, 0, 0}, {0, 0, 191},
};
constexpr Rgb kCastellation[7] = {
    {0, 0, 191}, {16, 16, 16}, {191, 0, 191}, {16, 16, 16}, {0, 191, 191}, {16, 16, 16}, {191, 191, 191},
};

Rgb hdBase(int x, int y) {
  const int bar = x * 7 / kHdWidth;
  if (y < kHdHeight * 2 / 3) return kBars[bar];
  if (y < kHdHeight * 3 / 4) return kCastellation[bar];
  // Bottom band in quarter-bar units for the first four bars.
  const int quarter = x * 28 / kHdWidth;
  if (quarter < 5) return {0, 33, 76};       // -I
  if (quarter < 10) return {255, 255, 255};  // 100% white
  if (quarter < 15) return {50, 0, 106};     // +Q
  if (bar == 5) {
    // PLUGE: below black, black, just above black.
    static constexpr Rgb kPluge[3] = {{8, 8, 8}, {16, 16, 16}, {24, 24, 24}};
    return kPluge[x * 21 / kHdWidth - 15];
  }
  return {16, 16, 16};
}

// Two-pixel lines straddling every multiple of kGridStep from the centre.
inline bool onGridLine(int v, int centre) {
  const int m = ((v - centre) % kGridStep + kGridStep) % kGridStep;
  return m == 0 || m == kGridStep - 1;
}

Image makeHdPicture() {
  Image img(kHdWidth, kHdHeight, 3);
  const int cx = kHdWidth / 2;
  const int cy = kHdHeight / 2;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      Rgb c = hdBase(x, y);
      const bool grid = onGridLine(x, cx) || onGridLine(y, cy);
      const int ax = x - cx;  // -960 .. 959, the centre lies between -1 and 0
      const int ay = y - cy;
      const bool crossH =
          ax >= -kCrossHalfLength && ax < kCrossHalfLength && ay >= -kCrossHalfWidth && ay < kCrossHalfWidth;
      const bool crossV =
          ay >= -kCrossHalfLength && ay < kCrossHalfLength && ax >= -kCrossHalfWidth && ax < kCrossHalfWidth;
      if (grid || crossH || crossV)
        c = {static_cast<std::uint8_t>(255 - c.r), static_cast<std::uint8_t>(255 - c.g),
             static_cast<std::uint8_t>(255 - c.b)};
      std::uint8_t* p = img.at(x, y);
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output-dir>\n", argc > 0 ? argv[0] : "make_resource_images");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  bool ok = writePng(dir + "reticle-15.png", makeReticle(CentreMark::Dot));
  ok = writePng(dir + "reticle-15-circle.png", makeReticle(CentreMark::Ring)) && ok;
  ok = writePng(dir + "quill-hd.png", makeHdPicture()) && ok;
  return ok ? 0 : 1;
}

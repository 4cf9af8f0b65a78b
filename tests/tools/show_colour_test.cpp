// Plates through the show's OpenColorIO config, as a user runs the tool:
// plates made here from one synthetic scene, in the encodings cameras and
// VFX write, against OCIO's own CPU processor applied to the same files. The
// config is written here from OCIO's builtin transforms.
#include <gtest/gtest.h>

#include <OpenColorIO/OpenColorIO.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "hdr_display.h"
#include "hud_support.h"
#include "png_image.h"
#include "tool_fixture.h"
#include "video_writer.h"

namespace OCIO = OCIO_NAMESPACE;

namespace {

using vthud_test::Quote;
using vthud_test::Result;
using vthud_test::ToolTest;

const int kW = 1920, kH = 1080;
const char* const kRec709 = "Rec.1886 Rec.709 - Display";
const char* const kSdr = "ACES 1.0 - SDR Video";

// Three plate encodings (picked by the file rules), three displays (BT.709,
// sRGB, and P3, which the tool cannot tag), a look, and a colourspace whose
// LUT file is missing.
const char* const kConfig = R"(ocio_profile_version: 2
roles:
  default: ACEScg
  scene_linear: ACEScg
file_rules:
  - !<Rule> {name: SLog3, pattern: "*slog3*", extension: "*", colorspace: S-Log3 S-Gamut3}
  - !<Rule> {name: LogC3, pattern: "*logc3*", extension: "*", colorspace: LogC3 EI800 AWG}
  - !<Rule> {name: Default, colorspace: ACEScg}
displays:
  Rec.1886 Rec.709 - Display:
    - !<View> {name: ACES 1.0 - SDR Video, view_transform: ACES 1.0 - SDR Video, display_colorspace: Rec.1886 Rec.709 - Display}
  sRGB - Display:
    - !<View> {name: ACES 1.0 - SDR Video, view_transform: ACES 1.0 - SDR Video, display_colorspace: sRGB - Display}
  P3-D65 - Display:
    - !<View> {name: ACES 1.0 - SDR Video, view_transform: ACES 1.0 - SDR Video, display_colorspace: P3-D65 - Display}
looks:
  - !<Look> {name: Warm, process_space: ACEScg, transform: !<CDLTransform> {slope: [1.2, 1, 0.8]}}
  - !<Look>
    name: Film
    process_space: S-Log3 S-Gamut3
    transform: !<GroupTransform>
      children:
        - !<FileTransform> {src: curve.cube, interpolation: linear}
        - !<FileTransform> {src: invert.cube, interpolation: tetrahedral}
view_transforms:
  - !<ViewTransform>
    name: ACES 1.0 - SDR Video
    from_scene_reference: !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - SDR-VIDEO_1.0"}
display_colorspaces:
  - !<ColorSpace>
    name: Rec.1886 Rec.709 - Display
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.1886-REC.709"}
  - !<ColorSpace>
    name: sRGB - Display
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_sRGB"}
  - !<ColorSpace>
    name: P3-D65 - Display
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_G2.6-P3-D65"}
colorspaces:
  - !<ColorSpace>
    name: ACES2065-1
  - !<ColorSpace>
    name: ACEScg
    to_scene_reference: !<BuiltinTransform> {style: "ACEScg_to_ACES2065-1"}
  - !<ColorSpace>
    name: S-Log3 S-Gamut3
    aliases: [slog3]
    to_scene_reference: !<BuiltinTransform> {style: "SONY_SLOG3-SGAMUT3_to_ACES2065-1"}
  - !<ColorSpace>
    name: LogC3 EI800 AWG
    to_scene_reference: !<BuiltinTransform> {style: "ARRI_ALEXA-LOGC-EI800-AWG_to_ACES2065-1"}
  - !<ColorSpace>
    name: Broken
    to_scene_reference: !<FileTransform> {src: missing-grade.cube}
)";

// The scene in ACEScg: exposure from -8 to +6 stops of mid grey left to
// right, hue round the circle top to bottom, saturation in bands. A plate
// index shifts the exposure, so plates of a sequence differ.
std::vector<float> Scene(int pPlate) {
  std::vector<float> lRgba(static_cast<size_t>(kW) * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const float lLevel = 0.18f * std::exp2(14.0f * x / (kW - 1) - 8.0f + 0.5f * pPlate);
      const float lHue = 6.2831853f * y / kH, lSaturation = 0.3f * ((y / 90) % 4);
      float* p = &lRgba[(static_cast<size_t>(y) * kW + x) * 4];
      for (int c = 0; c < 3; ++c) p[c] = lLevel * (1.0f + lSaturation * std::cos(lHue - 2.0943951f * c));
      p[3] = 1.0f;
    }
  return lRgba;
}

OCIO::ConstCPUProcessorRcPtr Cpu(OCIO::ConstConfigRcPtr pConfig, const char* pFrom, const char* pTo) {
  return pConfig->getProcessor(pFrom, pTo)->getDefaultCPUProcessor();
}

// OCIO's view of float RGBA, NaN and infinities made 0 first, quantised.
std::vector<uint8_t> Reference(OCIO::ConstConfigRcPtr pConfig, const std::string& pColorspace,
                               const char* pDisplay, std::vector<float> pRgba) {
  for (float& v : pRgba)
    if (!std::isfinite(v)) v = 0.0f;
  OCIO::PackedImageDesc lImage(pRgba.data(), kW, kH, 4);
  pConfig->getProcessor(pColorspace.c_str(), pDisplay, kSdr, OCIO::TRANSFORM_DIR_FORWARD)
      ->getDefaultCPUProcessor()
      ->apply(lImage);
  std::vector<uint8_t> l8(pRgba.size());
  for (size_t i = 0; i < pRgba.size(); ++i)
    l8[i] = static_cast<uint8_t>(std::lround(std::min(1.0f, std::max(0.0f, pRgba[i])) * 255.0f));
  return l8;
}

struct Stats {
  double mean = 0, p999 = 0;
};

// The mean and the 99.9th percentile (the least value at or above 99.9% of them) of pDiffs.
Stats StatsOf(std::vector<float>& pDiffs) {
  Stats s;
  if (pDiffs.empty()) return s;
  double lSum = 0;
  for (float d : pDiffs) lSum += d;
  s.mean = lSum / pDiffs.size();
  const size_t lRank = std::max<size_t>(1, static_cast<size_t>(std::ceil(pDiffs.size() * 0.999)));
  auto lAt = pDiffs.begin() + static_cast<long>(lRank - 1);
  std::nth_element(pDiffs.begin(), lAt, pDiffs.end());
  s.p999 = *lAt;
  return s;
}

// |a - b| over the colour channels of rows pTop..pBottom (top first), of
// 8-bit RGBA pictures the size of the canvas.
Stats Compare(const std::vector<uint8_t>& pA, const std::vector<uint8_t>& pB, int pTop = 0, int pBottom = kH) {
  std::vector<float> lDiffs;
  for (size_t i = static_cast<size_t>(pTop) * kW * 4; i < static_cast<size_t>(pBottom) * kW * 4; ++i)
    if (i % 4 != 3) lDiffs.push_back(static_cast<float>(std::abs(int(pA[i]) - int(pB[i]))));
  return StatsOf(lDiffs);
}

class ShowColourTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    config = dir + "/show.ocio";
    std::ofstream(config) << kConfig;
    // The Film look's LUTs: a 1D curve and a 3D cube (they reach the GPU as textures).
    std::ofstream lCurve(dir + "/curve.cube");
    lCurve << "LUT_1D_SIZE 17\n";
    for (int i = 0; i <= 16; ++i) {
      const double v = std::pow(i / 16.0, 0.8);
      lCurve << v << " " << v << " " << v << "\n";
    }
    std::ofstream(dir + "/invert.cube")
        << "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n";
    mConfig = OCIO::Config::CreateFromFile(config.c_str());
  }

  // Writes pFloats (RGBA) to a raw file ffmpeg then encodes with pEncode.
  void Encode(const std::vector<float>& pRgba, bool pFloat, const std::string& pEncode, const std::string& pOut) {
    const std::string lRaw = dir + "/scene.raw";
    std::ofstream lFile(lRaw, std::ios::binary);
    if (pFloat) {  // planar G, B, R as ffmpeg's gbrpf32le
      std::vector<float> lPlanes(static_cast<size_t>(kW) * kH * 3);
      const size_t n = static_cast<size_t>(kW) * kH;
      for (size_t i = 0; i < n; ++i) {
        lPlanes[i] = pRgba[i * 4 + 1];
        lPlanes[n + i] = pRgba[i * 4 + 2];
        lPlanes[2 * n + i] = pRgba[i * 4];
      }
      lFile.write(reinterpret_cast<const char*>(lPlanes.data()), lPlanes.size() * 4);
    } else {
      std::vector<uint16_t> l16;
      for (size_t i = 0; i < pRgba.size(); ++i)
        if (i % 4 != 3)
          l16.push_back(static_cast<uint16_t>(std::lround(std::min(1.0f, std::max(0.0f, pRgba[i])) * 65535)));
      lFile.write(reinterpret_cast<const char*>(l16.data()), l16.size() * 2);
    }
    lFile.close();
    const std::string lCommand = "ffmpeg -v error -y -f rawvideo -pix_fmt " +
                                 std::string(pFloat ? "gbrpf32le" : "rgb48le") + " -s 1920x1080 -i " +
                                 Quote(lRaw) + " " + pEncode + " " + Quote(dir + "/" + pOut);
    ASSERT_EQ(system(lCommand.c_str()), 0) << lCommand;
  }

  // The scene as pColorspace stores it (log encodings clipped to their code range).
  std::vector<float> Encoded(int pPlate, const char* pColorspace) {
    std::vector<float> lRgba = Scene(pPlate);
    OCIO::PackedImageDesc lImage(lRgba.data(), kW, kH, 4);
    Cpu(mConfig, "ACEScg", pColorspace)->apply(lImage);
    return lRgba;
  }

  // A file's pixels as ffmpeg decodes them, as floats: pFormat rgb48le (16
  // bits), gbrp10le (a DPX's own codes) or gbrpf32le (an EXR's own floats).
  std::vector<float> Decode(const std::string& pFile, const std::string& pFormat) {
    const std::string lRaw = dir + "/decoded.raw";
    EXPECT_EQ(system(("ffmpeg -v error -y -i " + Quote(dir + "/" + pFile) + " -f rawvideo -pix_fmt " + pFormat +
                      " " + Quote(lRaw))
                         .c_str()),
              0);
    const std::string lBytes = vthud_test::Slurp(lRaw);
    const size_t n = static_cast<size_t>(kW) * kH;
    std::vector<float> lRgba(n * 4, 1.0f);
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) {
        if (pFormat == "rgb48le") {
          lRgba[i * 4 + c] = reinterpret_cast<const uint16_t*>(lBytes.data())[i * 3 + c] / 65535.0f;
        } else {
          const size_t lPlane = (c + 2) % 3;  // G, B, R
          lRgba[i * 4 + c] = pFormat == "gbrp10le"
                                 ? reinterpret_cast<const uint16_t*>(lBytes.data())[lPlane * n + i] / 1023.0f
                                 : reinterpret_cast<const float*>(lBytes.data())[lPlane * n + i];
        }
      }
    return lRgba;
  }

  // The tool's picture of a PNG it wrote, top row first.
  std::vector<uint8_t> Pixels(const std::string& pPng) { return Png(pPng).rgba; }

  // Frame pIndex of a video decoded as a player decodes it, as 8-bit RGBA.
  std::vector<uint8_t> VideoFrame(const std::string& pVideo, int pIndex) {
    const std::string lRaw = dir + "/frame.raw";
    EXPECT_EQ(
        system(("ffmpeg -v error -y -i " + Quote(dir + "/" + pVideo) + " -vf " +
                Quote("select=eq(n\\," + std::to_string(pIndex) + "),scale=flags=accurate_rnd+full_chroma_int") +
                " -frames:v 1 -f rawvideo -pix_fmt rgba " + Quote(lRaw))
                   .c_str()),
        0);
    const std::string lBytes = vthud_test::Slurp(lRaw);
    return std::vector<uint8_t>(lBytes.begin(), lBytes.end());
  }

  std::string config;
  OCIO::ConstConfigRcPtr mConfig;
};

TEST_F(ShowColourTest, EachPlateKindIsShownAsOcioShowsTheSameFile) {
  // Scene-linear plates carry NaN and infinities where renders do; they show as 0 would.
  struct Kind {
    const char* name;
    const char* colorspace;
    std::string file, encode, decode;
  };
  const Kind lKinds[] = {
      {"ACEScg half EXR", "ACEScg", "plate.exr", "-c:v exr -format half", "gbrpf32le"},
      {"S-Log3 TIFF16", "S-Log3 S-Gamut3", "plate_slog3.tif", "-pix_fmt rgb48le", "rgb48le"},
      {"LogC3 10-bit DPX", "LogC3 EI800 AWG", "plate_logc3.dpx", "-pix_fmt gbrp10le", "gbrp10le"},
  };
  for (const Kind& k : lKinds) {
    SCOPED_TRACE(k.name);
    const bool lFloat = k.decode == "gbrpf32le";
    std::vector<float> lScene = Encoded(0, k.colorspace);
    if (lFloat)
      for (int x = 0; x < 40; ++x) {
        lScene[(500 * kW + 900 + x) * 4] = NAN;
        lScene[(501 * kW + 900 + x) * 4 + 1] = INFINITY;
      }
    Encode(lScene, lFloat, k.encode, k.file);
    const std::vector<uint8_t> lView = Reference(mConfig, k.colorspace, kRec709, Decode(k.file, k.decode));
    // The file rules, the default display and its default view.
    const Result r = Tool({"--ocio", config, "--background", dir + "/" + k.file, "--set", "Show=false", "--out",
                           dir + "/shown.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> lShown = Pixels("shown.png");
    const Stats s = Compare(lShown, lView);
    RecordProperty(std::string(k.name) + " mean, p99.9", std::to_string(s.mean) + ", " + std::to_string(s.p999));
    // NaN and infinities show as 0 does, and leave alpha opaque (below).
    if (lFloat) {
      EXPECT_EQ(lShown[(500 * kW + 910) * 4], lView[(500 * kW + 910) * 4]);
      EXPECT_EQ(lShown[(501 * kW + 910) * 4 + 1], lView[(501 * kW + 910) * 4 + 1]);
    }
    EXPECT_LE(s.mean, 0.3);
    EXPECT_LE(s.p999, 2);
    for (size_t i = 3; i < lShown.size(); i += 4) ASSERT_EQ(lShown[i], 255) << "alpha at " << i / 4;
    // Today's way, the values as stored, is far off the view.
    ASSERT_EQ(
        Tool({"--background", dir + "/" + k.file, "--set", "Show=false", "--out", dir + "/stored.png"}).status, 0);
    const Stats lStored = Compare(Pixels("stored.png"), lView);
    RecordProperty(std::string(k.name) + " as stored mean", std::to_string(lStored.mean));
    EXPECT_GT(lStored.mean, 10);
  }
  // Naming the colourspace (by its alias), display and view, or the config by $OCIO, gives the same frame.
  const std::vector<std::string> lPlate{"--background", dir + "/plate_slog3.tif", "--set", "Show=false"};
  std::vector<std::string> lNamed = lPlate;
  lNamed.insert(lNamed.end(), {"--ocio", config, "--plate-colorspace", "slog3", "--display", kRec709, "--view",
                               kSdr, "--out", dir + "/named.png"});
  ASSERT_EQ(Tool(lNamed).status, 0);
  std::vector<std::string> lFromEnvironment = lPlate;
  lFromEnvironment.insert(lFromEnvironment.end(), {"--out", dir + "/environment.png"});
  ASSERT_EQ(Tool(lFromEnvironment, "OCIO=" + Quote(config)).status, 0);
  ASSERT_EQ(Tool({"--ocio", config, "--background", dir + "/plate_slog3.tif", "--set", "Show=false", "--out",
                  dir + "/shown.png"})
                .status,
            0);
  EXPECT_EQ(Pixels("named.png"), Pixels("shown.png"));
  EXPECT_EQ(Pixels("environment.png"), Pixels("shown.png"));
  // OCIO's GPU path (the tool's own, where it has a GL) and its CPU processor agree, LUTs included.
  const std::vector<std::string> lFilm{"--ocio", config, "--background", dir + "/plate_slog3.tif",
                                       "--look", "Film", "--set",        "Show=false",
                                       "--out"};
  std::vector<std::string> lGpu = lFilm, lCpu = lFilm;
  lGpu.push_back(dir + "/film-gpu.png");
  lCpu.push_back(dir + "/film-cpu.png");
  ASSERT_EQ(Tool(lGpu).status, 0);
  ASSERT_EQ(Tool(lCpu, "VTHUD_OCIO_CPU=1").status, 0);
  const Stats lPaths = Compare(Pixels("film-gpu.png"), Pixels("film-cpu.png"));
  EXPECT_LE(lPaths.mean, 0.3);
  EXPECT_LE(lPaths.p999, 2);
  EXPECT_GT(Compare(Pixels("film-cpu.png"), Pixels("shown.png")).mean, 10) << "the look is applied";
  // A look changes the picture; the default overlay's white text stays display white over the view.
  ASSERT_EQ(Tool({"--ocio", config, "--background", dir + "/plate_slog3.tif", "--look", "Warm", "--out",
                  dir + "/look.png"})
                .status,
            0);
  const vthost::Image lLook = Png("look.png");
  EXPECT_GT(Compare(lLook.rgba, Pixels("shown.png"), 300, 800).mean, 1);
  int lWhite = 0;
  for (int y = 1000; y < kH; ++y)
    for (int x = 0; x < 400; ++x) {
      const uint8_t* p = lLook.At(x, y);
      lWhite += p[0] == 255 && p[1] == 255 && p[2] == 255;
    }
  EXPECT_GT(lWhite, 100) << "the frame counter's white text over the plate";
}

TEST_F(ShowColourTest, EveryFloatLayoutKeepsItsChannelsAndAlphaOnBothPaths) {
  // EXRs with an alpha plane (opaque above, a ramp with NaN below) and with
  // one grey plane, as ffmpeg lays them out: planes G, B, R, A, or Y alone.
  const size_t n = static_cast<size_t>(kW) * kH;
  const std::vector<float> lScene = Scene(0);
  std::vector<float> lAlpha(n, 1.0f);
  for (int y = kH / 2; y < kH; ++y)
    for (int x = 0; x < kW; ++x) lAlpha[static_cast<size_t>(y) * kW + x] = x < 40 ? NAN : x / (kW - 1.0f);
  struct Layout {
    const char* format;
    std::vector<int> planes;  // the scene's channel of each plane (3: alpha)
  };
  for (const Layout& l : {Layout{"gbrapf32le", {1, 2, 0, 3}}, Layout{"grayf32le", {1}}}) {
    SCOPED_TRACE(l.format);
    std::vector<float> lPlanes;
    for (int c : l.planes)
      for (size_t i = 0; i < n; ++i) lPlanes.push_back(c == 3 ? lAlpha[i] : lScene[i * 4 + c]);
    std::ofstream(dir + "/layout.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(lPlanes.data()), static_cast<std::streamsize>(lPlanes.size() * 4));
    ASSERT_EQ(system(("ffmpeg -v error -y -f rawvideo -pix_fmt " + std::string(l.format) + " -s 1920x1080 -i " +
                      Quote(dir + "/layout.raw") + " -c:v exr -format half " + Quote(dir + "/layout.exr"))
                         .c_str()),
              0);
    // The reference: the plate's own colour (grey in all three for Y), opaque.
    std::vector<float> lRgba(n * 4, 1.0f);
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) lRgba[i * 4 + c] = lScene[i * 4 + (l.planes.size() == 1 ? 1 : c)];
    // Rounded to half floats, as the file holds them (11 significant bits; no subnormals in the scene).
    for (float& v : lRgba) {
      int e = 0;
      std::frexp(v, &e);
      v = std::ldexp(std::nearbyint(std::ldexp(v, 11 - e)), e - 11);
    }
    const std::vector<uint8_t> lView = Reference(mConfig, "ACEScg", kRec709, lRgba);
    for (const char* lPath : {"VTHUD_OCIO_CPU=0", "VTHUD_OCIO_CPU=1"}) {
      SCOPED_TRACE(lPath);
      const Result r = Tool({"--ocio", config, "--background", dir + "/layout.exr", "--set", "Show=false", "--out",
                             dir + "/layout.png"},
                            lPath);
      ASSERT_EQ(r.status, 0) << r.err;
      const std::vector<uint8_t> lShown = Pixels("layout.png");
      const Stats s = Compare(lShown, lView, 0, kH / 2);
      EXPECT_LE(s.mean, 0.3);
      EXPECT_LE(s.p999, 2);
      // Alpha passes through; NaN in it is 0, not spread.
      for (int x : {0, 39, 40, 960, kW - 1}) {
        const float a = l.planes.size() == 4 ? lAlpha[static_cast<size_t>(kH - 1) * kW + x] : 1.0f;
        EXPECT_NEAR(lShown[(static_cast<size_t>(kH - 1) * kW + x) * 4 + 3], std::isnan(a) ? 0 : a * 255, 1)
            << "alpha at x " << x;
      }
    }
  }
}

TEST_F(ShowColourTest, SequenceAndProResPlatesThroughVideoAreTheViewAndTaggedForTheDisplay) {
  // Three S-Log3 plates of rising exposure, and the same as a ProRes 4444 plate.
  std::vector<std::vector<uint8_t>> lViews;
  for (int i = 0; i < 3; ++i) {
    Encode(Encoded(i, "S-Log3 S-Gamut3"), false, "-pix_fmt rgb48le",
           "seq_slog3." + std::to_string(i + 1) + ".tif");
    lViews.push_back(Reference(mConfig, "S-Log3 S-Gamut3", kRec709,
                               Decode("seq_slog3." + std::to_string(i + 1) + ".tif", "rgb48le")));
  }
  ASSERT_EQ(system(("cd " + Quote(dir) +
                    " && ffmpeg -v error -y -start_number 1 -i seq_slog3.%d.tif -vf "
                    "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd -c:v prores_ks -profile:v 4444 "
                    "-pix_fmt yuv444p10le -colorspace bt709 -color_primaries bt709 -color_trc bt709 plate.mov")
                       .c_str()),
            0);
  // The sequence to H.264 with the overlay: where it draws nothing, the view within the encoder's loss.
  Result r = Tool({"--ocio", config, "--frames", "1:3", "--background", dir + "/seq_slog3.%d.tif", "--out",
                   dir + "/burnt.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int i = 0; i < 3; ++i) {
    const Stats s = Compare(VideoFrame("burnt.mp4", i), lViews[i], 300, 800);
    EXPECT_LE(s.mean, 1.5) << "frame " << i + 1;
    RecordProperty("H.264 frame " + std::to_string(i + 1) + " mean", std::to_string(s.mean));
  }
  // A run over part of the sequence, and draws out of order: each shows its own plate.
  r = Tool({"--ocio", config, "--frames", "2:3", "--background", dir + "/seq_slog3.%d.tif", "--set", "Show=false",
            "--out", dir + "/part.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Tool({"--ocio", config, "--draws", R"([{"frame": 3}, {"frame": 1}, {"frame": 2}])", "--background",
            dir + "/seq_slog3.%d.tif", "--set", "Show=false", "--out", dir + "/drawn.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int i = 2; i <= 3; ++i)
    EXPECT_LE(Compare(Pixels("part." + std::to_string(i) + ".png"), lViews[i - 1]).mean, 0.3) << "frame " << i;
  for (int i = 1; i <= 3; ++i)
    EXPECT_LE(Compare(Pixels("drawn." + std::to_string(i) + ".png"), lViews[i - 1]).mean, 0.3) << "frame " << i;
  // The ProRes plate decoded as players decode it (its BT.709 tags), named since no rule matches it.
  r = Tool({"--ocio", config, "--plate-colorspace", "S-Log3 S-Gamut3", "--frames", "0:2", "--background",
            dir + "/plate.mov", "--set", "Show=false", "--out", dir + "/prores.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int i = 0; i < 3; ++i) {
    const Stats s = Compare(Pixels("prores." + std::to_string(i) + ".png"), lViews[i]);
    EXPECT_LE(s.mean, 1.5);
    RecordProperty("ProRes frame " + std::to_string(i + 1) + " mean", std::to_string(s.mean));
  }

  // Tags follow the display: BT.709, sRGB, and none (with one warning) for P3.
  struct Tagging {
    const char* display;
    const char* transfer;
    bool srgbChunk;
  };
  for (const Tagging& t : {Tagging{kRec709, "bt709", true}, Tagging{"sRGB - Display", "iec61966-2-1", true},
                           Tagging{"P3-D65 - Display", "unknown", false}}) {
    SCOPED_TRACE(t.display);
    r = Tool({"--ocio", config, "--display", t.display, "--background", dir + "/seq_slog3.1.tif", "--out",
              dir + "/tagged.mp4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const bool lUntagged = std::string(t.transfer) == "unknown";
    EXPECT_EQ(r.err.find("written untagged") != std::string::npos, lUntagged) << r.err;
    ASSERT_EQ(system(("ffprobe -v error -show_entries stream=color_transfer,color_space -of default=nw=1 " +
                      Quote(dir + "/tagged.mp4") + " > " + Quote(dir + "/probe.txt"))
                         .c_str()),
              0);
    const std::string lProbe = vthud_test::Slurp(dir + "/probe.txt");
    EXPECT_NE(lProbe.find(std::string("color_transfer=") + t.transfer), std::string::npos) << lProbe;
    EXPECT_NE(lProbe.find("color_space=bt709"), std::string::npos) << lProbe;
    r = Tool({"--ocio", config, "--display", t.display, "--background", dir + "/seq_slog3.1.tif", "--out",
              dir + "/tagged.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The sRGB chunk comes straight after the header's 33 bytes.
    EXPECT_EQ(vthud_test::Slurp(dir + "/tagged.png").compare(37, 4, "sRGB") == 0, t.srgbChunk);
  }
}

TEST_F(ShowColourTest, BadConfigsNamesAndPlatesAreRefusedInOneLineBeforeAnythingIsWritten) {
  std::ofstream(dir + "/malformed.ocio") << "ocio_profile_version: 2\ncolorspaces: [ {name: \n";
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=s=64x48 -frames:v 1 -pix_fmt rgb48le " +
                    Quote(dir + "/plate.tif") + " && echo 'not a picture' > " + Quote(dir + "/text.1.tif"))
                       .c_str()),
            0);
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::string lPlate = dir + "/plate.tif";
  const Case lCases[] = {
      {{"--ocio", dir + "/none.ocio", "--background", lPlate},
       "--ocio: cannot use the config " + dir + "/none.ocio: "},
      {{"--ocio", dir + "/malformed.ocio", "--background", lPlate},
       "--ocio: cannot use the config " + dir + "/malformed.ocio: "},
      {{"--ocio", config, "--plate-colorspace", "Broken", "--background", lPlate}, "missing-grade.cube"},
      {{"--ocio", config, "--plate-colorspace", "S-Log2", "--background", lPlate},
       "--plate-colorspace: no colourspace 'S-Log2' in the config " + config +
           " (valid: 'Rec.1886 Rec.709 - Display'"},
      {{"--ocio", config, "--display", "Rec.2020", "--background", lPlate},
       "--display: no display 'Rec.2020' in the config " + config +
           " (valid: 'Rec.1886 Rec.709 - Display', 'sRGB"},
      {{"--ocio", config, "--view", "Raw", "--background", lPlate},
       "--view: no view 'Raw' of display 'Rec.1886 Rec.709 - Display' in the config " + config +
           " (valid: 'ACES 1.0 - SDR Video')"},
      {{"--ocio", config, "--look", "Warm, Cool", "--background", lPlate},
       "--look: no look 'Cool' in the config " + config + " (valid: 'Warm', 'Film')"},
      {{"--ocio", config, "--frames", "1:2", "--background", dir + "/text.%d.tif"},
       "the background plate of frame 1: cannot read " + dir + "/text.1.tif"},
      {{"--ocio", config, "--background-lut", dir + "/look.cube", "--background", lPlate},
       "--background-lut and --ocio cannot be given together"},
      {{"--display", kRec709, "--background", lPlate}, "--display names what an OCIO config holds"},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> lArguments = c.arguments;
    lArguments.insert(lArguments.end(), {"--out", dir + "/never.mp4"});
    const Result r = Tool(lArguments, "env -u OCIO");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("vthud_preview: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(access((dir + "/never.mp4").c_str(), F_OK), 0);
  }
  // The listing: colourspaces with aliases, displays with their views, looks.
  const Result lList = Tool({"--ocio", config, "--list-colorspaces"});
  ASSERT_EQ(lList.status, 0) << lList.err;
  for (const char* lLine : {"  S-Log3 S-Gamut3 (aliases: slog3)\n",
                            "  sRGB - Display: ACES 1.0 - SDR Video (default", "looks (--look): Warm, Film\n"})
    EXPECT_NE(lList.out.find(lLine), std::string::npos) << lList.out;
}

// HDR displays from OCIO's builtins, each marked hdr-video: PQ with BT.2020
// and with P3-D65 primaries, and HLG; one display that does not say what it
// is, and one that says it is SDR.
const char* const kHdrConfig = R"(ocio_profile_version: 2
roles:
  default: ACEScg
  scene_linear: ACEScg
file_rules:
  - !<Rule> {name: SLog3, pattern: "*slog3*", extension: "*", colorspace: S-Log3 S-Gamut3}
  - !<Rule> {name: Default, colorspace: ACEScg}
displays:
  Rec.2100-PQ - Display:
    - !<View> {name: HDR 1000, view_transform: HDR 1000 Rec.2020, display_colorspace: Rec.2100-PQ - Display}
  ST2084-P3-D65 - Display:
    - !<View> {name: HDR 1000, view_transform: HDR 1000 P3, display_colorspace: ST2084-P3-D65 - Display}
  Rec.2100-HLG - Display:
    - !<View> {name: HDR 1000, view_transform: HDR 1000 Rec.2020, display_colorspace: Rec.2100-HLG - Display}
  Unmarked - Display:
    - !<View> {name: HDR 1000, view_transform: HDR 1000 Rec.2020, display_colorspace: Unmarked - Display}
  Rec.1886 - Display:
    - !<View> {name: SDR, view_transform: SDR, display_colorspace: Rec.1886 - Display}
view_transforms:
  - !<ViewTransform>
    name: HDR 1000 Rec.2020
    from_scene_reference: !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - HDR-VIDEO-1000nit-15nit-REC2020lim_1.1"}
  - !<ViewTransform>
    name: HDR 1000 P3
    from_scene_reference: !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - HDR-VIDEO-1000nit-15nit-P3lim_1.1"}
  - !<ViewTransform>
    name: SDR
    from_scene_reference: !<BuiltinTransform> {style: "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - SDR-VIDEO_1.0"}
display_colorspaces:
  - !<ColorSpace>
    name: Rec.2100-PQ - Display
    encoding: hdr-video
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.2100-PQ"}
  - !<ColorSpace>
    name: ST2084-P3-D65 - Display
    encoding: hdr-video
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_ST2084-P3-D65"}
  - !<ColorSpace>
    name: Rec.2100-HLG - Display
    encoding: hdr-video
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.2100-HLG-1000nit"}
  - !<ColorSpace>
    name: Unmarked - Display
    from_display_reference: !<ExponentTransform> {value: 2.4, direction: inverse}
  - !<ColorSpace>
    name: Rec.1886 - Display
    encoding: sdr-video
    from_display_reference: !<BuiltinTransform> {style: "DISPLAY - CIE-XYZ-D65_to_REC.1886-REC.709"}
colorspaces:
  - !<ColorSpace>
    name: ACES2065-1
  - !<ColorSpace>
    name: ACEScg
    to_scene_reference: !<BuiltinTransform> {style: "ACEScg_to_ACES2065-1"}
  - !<ColorSpace>
    name: S-Log3 S-Gamut3
    to_scene_reference: !<BuiltinTransform> {style: "SONY_SLOG3-SGAMUT3_to_ACES2065-1"}
)";

const char* const kPq = "Rec.2100-PQ - Display";
const char* const kPqP3 = "ST2084-P3-D65 - Display";
const char* const kHlg = "Rec.2100-HLG - Display";
// BT.2408's graphics white, 203 cd/m2, as a PQ signal; HLG's is 75%.
const double kPqWhite = 0.58069, kHlgWhite = 0.75;

// cd/m2 of a PQ signal (SMPTE ST 2084).
double Nits(double pSignal) {
  const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32,
               c3 = 2392.0 / 4096 * 32;
  const double e = std::pow(pSignal, 1.0 / m2);
  return 10000.0 * std::pow(std::max(0.0, e - c1) / (c2 - c3 * e), 1.0 / m1);
}

// |a - b| over the colour channels of two RGBA pictures of values 0..1, in 10-bit codes.
Stats Compare10(const std::vector<float>& pA, const std::vector<float>& pB) {
  std::vector<float> lDiffs;
  lDiffs.reserve(pA.size());
  for (size_t i = 0; i < pA.size(); ++i)
    if (i % 4 != 3) lDiffs.push_back(std::fabs(pA[i] - pB[i]) * 1023.0f);
  return StatsOf(lDiffs);
}

class HdrTest : public ShowColourTest {
 protected:
  void SetUp() override {
    ShowColourTest::SetUp();
    hdrConfig = dir + "/hdr.ocio";
    std::ofstream(hdrConfig) << kHdrConfig;
    mHdrConfig = OCIO::Config::CreateFromFile(hdrConfig.c_str());
  }
  // A 16-bit PNG's RGBA, 0..1.
  std::vector<float> Png16(const std::string& pName) {
    const std::vector<uint16_t> l16 = Raw16(pName, "rgba64le");
    std::vector<float> lRgba(l16.size());
    for (size_t i = 0; i < l16.size(); ++i) lRgba[i] = l16[i] / 65535.0f;
    return lRgba;
  }
  // The first frame of a file decoded by ffmpeg into pFormat's 16-bit words.
  std::vector<uint16_t> Raw16(const std::string& pName, const std::string& pFormat) {
    const std::string lRaw = dir + "/raw16";
    EXPECT_EQ(system(("ffmpeg -v error -y -i " + Quote(dir + "/" + pName) + " -frames:v 1 -f rawvideo -pix_fmt " +
                      pFormat + " " + Quote(lRaw))
                         .c_str()),
              0);
    const std::string lBytes = vthud_test::Slurp(lRaw);
    std::vector<uint16_t> lWords(lBytes.size() / 2);
    memcpy(lWords.data(), lBytes.data(), lWords.size() * 2);
    return lWords;
  }
  std::string Probe(const std::string& pName) {
    EXPECT_EQ(
        system(("ffprobe -v error -show_entries stream=codec_name,codec_tag_string,color_space,color_transfer,"
                "color_primaries:stream_side_data=side_data_type -of default=nw=1 " +
                Quote(dir + "/" + pName) + " > " + Quote(dir + "/probe.txt"))
                   .c_str()),
        0);
    return vthud_test::Slurp(dir + "/probe.txt");
  }
  std::string hdrConfig;
  OCIO::ConstConfigRcPtr mHdrConfig;
};

TEST_F(HdrTest, EachHdrDisplayShowsEachPlateKindAsOcioDoesInA16BitPngTaggedForIt) {
  struct Kind {
    const char* name;
    const char* colorspace;
    std::string file, encode, decode;
  };
  const Kind lKinds[] = {{"ACEScg half EXR", "ACEScg", "plate.exr", "-c:v exr -format half", "gbrpf32le"},
                         {"S-Log3 TIFF16", "S-Log3 S-Gamut3", "plate_slog3.tif", "-pix_fmt rgb48le", "rgb48le"}};
  struct Display {
    const char* name;
    int primaries, transfer;  // the cICP code points
  };
  const Display lDisplays[] = {{kPq, 9, 16}, {kPqP3, 12, 16}, {kHlg, 9, 18}};
  for (const Kind& k : lKinds) {
    Encode(Encoded(0, k.colorspace), k.decode == "gbrpf32le", k.encode, k.file);
    const std::vector<float> lStored = Decode(k.file, k.decode);
    for (const Display& d : lDisplays) {
      SCOPED_TRACE(std::string(k.name) + " on " + d.name);
      std::vector<float> lView = lStored;
      OCIO::PackedImageDesc lImage(lView.data(), kW, kH, 4);
      mHdrConfig->getProcessor(k.colorspace, d.name, "HDR 1000", OCIO::TRANSFORM_DIR_FORWARD)
          ->getDefaultCPUProcessor()
          ->apply(lImage);
      for (float& v : lView) v = std::min(1.0f, std::max(0.0f, v));
      const Result r = Tool({"--ocio", hdrConfig, "--display", d.name, "--background", dir + "/" + k.file, "--set",
                             "Show=false", "--out", dir + "/hdr.png"});
      ASSERT_EQ(r.status, 0) << r.err;
      const Stats s = Compare10(Png16("hdr.png"), lView);
      RecordProperty(std::string(k.name) + " on " + d.name + " mean, p99.9 (10-bit)",
                     std::to_string(s.mean) + ", " + std::to_string(s.p999));
      EXPECT_LE(s.mean, 0.5);
      EXPECT_LE(s.p999, 4.0);
      // cICP: primaries, transfer, RGB, full range, before the pixels.
      const std::string lFile = vthud_test::Slurp(dir + "/hdr.png");
      const size_t lAt = lFile.find("cICP");
      ASSERT_NE(lAt, std::string::npos);
      EXPECT_LT(lAt, lFile.find("IDAT"));
      EXPECT_EQ(lFile.substr(lAt + 4, 4), std::string({char(d.primaries), char(d.transfer), 0, 1}));
    }
  }
}

TEST_F(HdrTest, EveryOutputIsTaggedForItsDisplayWithTheOverlayAtGraphicsWhite) {
  Encode(Encoded(0, "S-Log3 S-Gamut3"), false, "-pix_fmt rgb48le", "plate_slog3.tif");
  const std::string lPlate = dir + "/plate_slog3.tif";
  // Where the default overlay draws opaque white, and its mask bars (black, part covering).
  ASSERT_EQ(Tool({"--out", dir + "/overlay.png"}).status, 0);
  const vthost::Image lOverlay = Png("overlay.png");
  std::vector<size_t> lWhite;
  std::vector<std::pair<size_t, int>> lMask;
  for (size_t i = 0; i < static_cast<size_t>(kW) * kH; ++i) {
    const uint8_t* p = &lOverlay.rgba[i * 4];
    if (p[3] == 255 && p[0] == 255 && p[1] == 255 && p[2] == 255) lWhite.push_back(i);
    if (p[3] > 0 && p[3] < 255 && p[0] == 0 && p[1] == 0 && p[2] == 0) lMask.emplace_back(i, p[3]);
  }
  ASSERT_GT(lWhite.size(), 1000u);
  ASSERT_GT(lMask.size(), 1000u);
  const std::string lMastering = "G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,1)";
  struct Output {
    std::vector<std::string> arguments;
    std::string file, tags;  // tags: lines ffprobe prints, or a PNG's cICP code points
    double white;            // the white text's 10-bit code: R of a PNG, Y of a video
  };
  const double lPqY = 64 + 876 * kPqWhite, lHlgY = 64 + 876 * kHlgWhite;
  const Output lOutputs[] = {
      {{"--display", kPq}, "pq.png", "9 16", 1023 * kPqWhite},
      {{"--display", kHlg}, "hlg.png", "9 18", 1023 * kHlgWhite},
      {{"--display", kPq, "--graphics-white", "100"}, "pq100.png", "9 16", 1023 * 0.50808},
      {{"--display", kPq},
       "pq.mov",
       "codec_name=prores\ncodec_tag_string=ap4h\ncolor_space=bt2020nc\ncolor_transfer=smpte2084\n"
       "color_primaries=bt2020",
       lPqY},
      {{"--display", kPqP3}, "p3.mov", "color_transfer=smpte2084\ncolor_primaries=smpte432", lPqY},
      {{"--display", kHlg}, "hlg.mov", "color_space=bt2020nc\ncolor_transfer=arib-std-b67", lHlgY},
      {{"--display", kPq, "--mastering-display", lMastering, "--max-cll", "1000,400"},
       "pq.mp4",
       "codec_name=hevc\ncodec_tag_string=hvc1\ncolor_space=bt2020nc\ncolor_transfer=smpte2084\ncolor_primaries="
       "bt2020\nside_data_type=Mastering display metadata\nside_data_type=Content light level metadata",
       lPqY},
      {{"--display", kHlg},
       "hlg.mp4",
       "codec_tag_string=hvc1\ncolor_space=bt2020nc\ncolor_transfer=arib-std-b67\ncolor_primaries=bt2020",
       lHlgY},
      // A display the config does not mark, told by the command line.
      {{"--display", "Unmarked - Display", "--display-encoding", "pq"},
       "unmarked.mp4",
       "color_transfer=smpte2084",
       -1},
  };
  for (const Output& o : lOutputs) {
    SCOPED_TRACE(o.file);
    std::vector<std::string> lArguments{"--ocio", hdrConfig, "--background", lPlate, "--out", dir + "/" + o.file};
    lArguments.insert(lArguments.end(), o.arguments.begin(), o.arguments.end());
    const Result r = Tool(lArguments);
    ASSERT_EQ(r.status, 0) << r.err;
    const bool lPng = o.file.find(".png") != std::string::npos, lHevc = o.file.find(".mp4") != std::string::npos;
    // HEVC in place of H.264 is said once.
    EXPECT_EQ(r.err.find("10-bit HEVC") != std::string::npos, lHevc) << r.err;
    // The tool's own lines (a sanitized build's leak checker may list its suppressions after them).
    size_t lLines = 0;
    for (size_t lAt = r.err.find("vthud_preview: "); lAt != std::string::npos;
         lAt = r.err.find("vthud_preview: ", lAt + 1))
      ++lLines;
    EXPECT_EQ(lLines, lHevc ? 1u : 0u) << r.err;
    if (lPng) {
      const std::string lFile = vthud_test::Slurp(dir + "/" + o.file);
      const size_t lAt = lFile.find("cICP");
      ASSERT_NE(lAt, std::string::npos);
      EXPECT_EQ(std::to_string(lFile[lAt + 4]) + " " + std::to_string(lFile[lAt + 5]), o.tags);
      const std::vector<float> lShown = Png16(o.file);
      for (size_t i : lWhite)
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(lShown[i * 4 + c] * 1023, o.white, 1.0) << "pixel " << i;
      RecordProperty(o.file + " white (10-bit)", std::to_string(lShown[lWhite[0] * 4] * 1023));
      continue;
    }
    const std::string lProbe = Probe(o.file);
    EXPECT_NE(lProbe.find(o.tags), std::string::npos) << lProbe;
    if (o.white < 0) continue;
    // The white text's luma, its median (the encoders soften the glyphs' edges).
    const std::vector<uint16_t> lY = Raw16(o.file, lHevc ? "yuv420p10le" : "yuva444p10le");
    std::vector<uint16_t> lText;
    for (size_t i : lWhite) lText.push_back(lY[i]);
    std::nth_element(lText.begin(), lText.begin() + lText.size() / 2, lText.end());
    EXPECT_NEAR(lText[lText.size() / 2], o.white, 1.0);
    RecordProperty(o.file + " white Y (10-bit)", std::to_string(lText[lText.size() / 2]));
  }
  // The mask bars leave (1 - alpha) of the picture's light.
  ASSERT_EQ(Tool({"--ocio", hdrConfig, "--display", kPq, "--background", lPlate, "--set", "Show=false", "--out",
                  dir + "/bare.png"})
                .status,
            0);
  const std::vector<float> lBare = Png16("bare.png"), lShown = Png16("pq.png");
  double lWorst = 0;
  size_t lCounted = 0;
  for (const auto& m : lMask)
    for (int c = 0; c < 3; ++c) {
      const double lUnder = Nits(lBare[m.first * 4 + c]);
      if (lUnder < 1.0) continue;
      const double lLeft = Nits(lShown[m.first * 4 + c]) / lUnder;
      lWorst = std::max(lWorst, std::fabs(lLeft - (1.0 - m.second / 255.0)));
      ++lCounted;
    }
  EXPECT_GT(lCounted, 1000u);
  EXPECT_LT(lWorst, 0.005);
  RecordProperty("mask share of light, worst error", std::to_string(lWorst));
  // A stream (MPEG-TS), written here to a file: HEVC with the same tags.
  vthud_tool::EncoderSettings lStream;
  lStream.kind = vthud_tool::EncoderSettings::Kind::Stream;
  lStream.hdr.transfer = vthud_tool::HdrTransfer::Pq;
  vthud_tool::VideoWriter lWriter;
  std::string lError;
  ASSERT_TRUE(lWriter.Open("file:" + dir + "/stream.ts", lStream, lError)) << lError;
  const std::vector<uint16_t> lFrame(static_cast<size_t>(kW) * kH * 4, 38055);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(lWriter.Write16(lFrame.data(), lError)) << lError;
  ASSERT_TRUE(lWriter.Finish(lError)) << lError;
  const std::string lProbe = Probe("stream.ts");
  for (const char* lTag :
       {"codec_name=hevc\n", "color_space=bt2020nc\ncolor_transfer=smpte2084\ncolor_primaries=bt2020"})
    EXPECT_NE(lProbe.find(lTag), std::string::npos) << lProbe;
}

TEST_F(HdrTest, HdrSettingsThatCannotHoldAreRefusedInOneLineBeforeAnythingIsWritten) {
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=s=64x48 -frames:v 1 -pix_fmt rgb48le " +
                    Quote(dir + "/plate.tif"))
                       .c_str()),
            0);
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case lCases[] = {
      {{"--display", kPq, "--graphics-white", "50"}, "--graphics-white expects 80 to 1000 cd/m2"},
      {{"--display", kPq, "--graphics-white", "1500"}, "--graphics-white expects 80 to 1000 cd/m2"},
      {{"--display", kPq, "--display-encoding", "hlg"},
       "--display-encoding hlg contradicts the config: the display colourspace 'Rec.2100-PQ - Display'"},
      {{"--display", kHlg, "--display-encoding", "sdr"}, "--display-encoding sdr contradicts the config"},
      {{"--display", "Rec.1886 - Display", "--display-encoding", "pq"},
       "--display-encoding pq contradicts the config: the display colourspace 'Rec.1886 - Display' of "
       "'Rec.1886 - Display' in the config " +
           hdrConfig + " is sdr (encoding: sdr-video)"},
      {{"--display", kPq, "--display-encoding", "hdr10"}, "--display-encoding expects pq, hlg or sdr"},
      {{"--display", kPq, "--mastering-display", "G(13250,34500)B(7500,3000)"},
       "--mastering-display expects G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min)"},
      {{"--display", kPq, "--mastering-display",
        "G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(1,10000000)"},
       "--mastering-display L(max,min) needs max above min"},
      {{"--display", kPq, "--max-cll", "400,1000"}, "--max-cll MAXCLL runs from 1 to 10000"},
      {{"--display", kPq, "--max-cll", "1000"}, "--max-cll expects MAXCLL,MAXFALL"},
      {{"--display", "Rec.1886 - Display", "--graphics-white", "203"},
       "--graphics-white is for a PQ or HLG display, and the display of"},
      {{"--display", kPq, "--frames", "0:3", "--chunk", "0:1"},
       "the farm joins video parts for SDR displays only"},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> lArguments{"--ocio", hdrConfig, "--background", dir + "/plate.tif"};
    lArguments.insert(lArguments.end(), c.arguments.begin(), c.arguments.end());
    lArguments.insert(lArguments.end(), {"--out", dir + "/never.mp4"});
    const Result r = Tool(lArguments);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(access((dir + "/never.mp4").c_str(), F_OK), 0);
  }
}

}  // namespace

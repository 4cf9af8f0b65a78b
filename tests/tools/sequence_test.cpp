// The preview tool run as a user runs it, over frame ranges: what the files
// it writes show, read back by pixels (PNG) or by decoding the video's frames
// with ffmpeg. Canvas coordinates: origin bottom left, y up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hud_support.h"
#include "png_image.h"
#include "tool_fixture.h"

extern char** environ;

namespace {

using vthud_test::Probe;
using vthud_test::Quote;
using vthud_test::Result;
using vthud_test::RGBA;
using vthud_test::Slurp;
using vthud_test::ToolTest;

// ffmpeg writes DPX files without a television header; cameras and scanners
// write one. This grows the header to its full 2048 bytes and puts a timecode
// (HH MM SS FF as BCD) and a frame rate in it, in the file's own byte order.
bool AddDpxTimecode(const std::string& pPath, int pHour, int pFrame) {
  std::string lFile = Slurp(pPath);
  if (lFile.size() < 1664) return false;
  const bool lBig = lFile.compare(0, 4, "SDPX") == 0;
  auto Put = [&](size_t pAt, uint32_t pValue) {
    for (int i = 0; i < 4; ++i) lFile[pAt + i] = char(pValue >> (lBig ? 24 - 8 * i : 8 * i));
  };
  auto Get = [&](size_t pAt) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(lFile[pAt + i])) << (lBig ? 24 - 8 * i : 8 * i);
    return v;
  };
  const uint32_t lOffset = Get(4);
  if (lOffset > 2048 || lOffset > lFile.size()) return false;
  lFile.insert(lOffset, 2048 - lOffset, '\0');
  Put(4, 2048);
  Put(16, uint32_t(lFile.size()));
  auto Bcd = [](int v) { return uint32_t((v / 10) << 4 | v % 10); };
  Put(1920, Bcd(pHour) << 24 | Bcd(pFrame));
  const float lRate = 30;
  uint32_t lRateBits;
  memcpy(&lRateBits, &lRate, 4);
  Put(1984, lRateBits);
  std::ofstream(pPath, std::ios::binary) << lFile;
  return true;
}

class SequenceTest : public ToolTest {
 protected:
  // Every frame of a video, decoded by ffmpeg to 1920 x 1080 RGBA.
  std::vector<vthost::Image> Decode(const std::string& pName) {
    const std::string lRaw = dir + "/decoded.rgba";
    const std::string lLine = "ffmpeg -v error -y -i " + Quote(dir + "/" + pName) +
                              " -fps_mode passthrough -f rawvideo -pix_fmt rgba " + Quote(lRaw);
    EXPECT_EQ(system(lLine.c_str()), 0) << lLine;
    const std::string lBytes = Slurp(lRaw);
    const size_t lFrame = 1920u * 1080u * 4u;
    EXPECT_EQ(lBytes.size() % lFrame, 0u);
    std::vector<vthost::Image> lFrames(lBytes.size() / lFrame);
    for (size_t i = 0; i < lFrames.size(); ++i) {
      lFrames[i].width = 1920;
      lFrames[i].height = 1080;
      lFrames[i].rgba.assign(lBytes.begin() + static_cast<long>(i * lFrame),
                             lBytes.begin() + static_cast<long>((i + 1) * lFrame));
    }
    return lFrames;
  }

  std::string FfProbe(const std::string& pName, const std::string& pEntries) {
    const std::string lOut = dir + "/probe.txt";
    system(("ffprobe -v error -show_entries " + pEntries + " -of default=noprint_wrappers=1 " +
            Quote(dir + "/" + pName) + " >" + Quote(lOut))
               .c_str());
    return Slurp(lOut);
  }

  void WritePlate(const std::string& pName, int pWidth, int pHeight, RGBA pColour) {
    vthost::Image lPlate;
    lPlate.width = pWidth;
    lPlate.height = pHeight;
    lPlate.rgba.resize(static_cast<size_t>(pWidth) * pHeight * 4);
    for (size_t i = 0; i < lPlate.rgba.size(); i += 4) {
      lPlate.rgba[i] = static_cast<uint8_t>(pColour.r);
      lPlate.rgba[i + 1] = static_cast<uint8_t>(pColour.g);
      lPlate.rgba[i + 2] = static_cast<uint8_t>(pColour.b);
      lPlate.rgba[i + 3] = static_cast<uint8_t>(pColour.a);
    }
    std::string lError;
    mkdir((dir + "/plates").c_str(), 0755);
    ASSERT_TRUE(vthost::WritePng(dir + "/plates/" + pName, lPlate, lError)) << lError;
  }
};

// The bar form of the bloop fills the timeline bar (y 90 to 110) in red at a
// quarter; unlit, the bar shows only the black mask.
bool BarBloopLit(const vthost::Image& pImage) { return pImage.At(500, 1079 - 100)[0] > 32; }

// Pixels of the status field that are clearly red or clearly green.
void StatusColours(const vthost::Image& pImage, int& pRed, int& pGreen) {
  pRed = pGreen = 0;
  for (int y = 24; y < 70; ++y)
    for (int x = 1700; x < 1900; ++x) {
      const uint8_t* p = pImage.At(x, 1079 - y);
      if (p[0] > 200 && p[1] < 80) ++pRed;
      if (p[1] > 200 && p[0] < 80) ++pGreen;
    }
}

// The timeline's x of a frame over the loop 0 to 300 on a 1920 canvas.
int TimelineX(int pFrame) { return static_cast<int>(static_cast<float>(pFrame) / 300.0f * 1900.0f + 10.0f); }

// The cursor is the one opaque thing inside the bar: its columns.
vthud_test::Box Cursor(const vthost::Image& pImage) { return vthud_test::LitBox(pImage, 12, 95, 1908, 105, 250); }

// Whether two regions (canvas coordinates, same size) hold the same pixels.
bool SameRegion(const vthost::Image& pImage, int pXa, int pXb, int pY0, int pY1, int pWidth) {
  for (int y = pY0; y < pY1; ++y)
    for (int x = 0; x < pWidth; ++x)
      if (!std::equal(pImage.At(pXa + x, 1079 - y), pImage.At(pXa + x, 1079 - y) + 4,
                      pImage.At(pXb + x, 1079 - y)))
        return false;
  return true;
}

TEST_F(SequenceTest, TakePlayingAndRecordingFrom24ShowsBloopStatusCursorAndFramerateFrameByFrame) {
  // FRAMERATE at x 1500 beside two reference values drawn in the same font:
  // "30.0" at x 1100 and "0.0" at x 1700, all on the top row.
  const Result r = Tool({"--frames", "0:119",
                         "--play",   "0:119",
                         "--record", "24:119",
                         "--set",    "Show FPS=true",
                         "--set",    "FPS Offset=1500",
                         "--set",    "Show Value 1=true",
                         "--set",    "Value 1=30",
                         "--set",    "Value 1 Offset X=1100",
                         "--set",    "Value 1 Offset Y=1032",
                         "--set",    "Show Value 2=true",
                         "--set",    "Value 2=0",
                         "--set",    "Value 2 Offset X=1700",
                         "--set",    "Value 2 Offset Y=1032",
                         "--out",    dir + "/seq/hud.%04d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "") << "not a terminal: no progress line";
  EXPECT_NE(r.out.find("wrote 120 frames to " + dir + "/seq/hud.0000.png"), std::string::npos) << r.out;
  for (int f = 0; f < 120; ++f) {
    char lName[32];
    snprintf(lName, sizeof lName, "seq/hud.%04d.png", f);
    const vthost::Image lFrame = Png(lName);
    ASSERT_EQ(lFrame.width, 1920);
    SCOPED_TRACE("frame " + std::to_string(f));
    // Counted from frame 23, the last drawn before recording: lit on 24 to 35.
    EXPECT_EQ(BarBloopLit(lFrame), f >= 24 && f <= 35);
    int lRed = 0, lGreen = 0;
    StatusColours(lFrame, lRed, lGreen);
    EXPECT_EQ(lRed > 50, f >= 24) << "red " << lRed;
    EXPECT_EQ(lGreen > 50, f < 24) << "green " << lGreen;
    const vthud_test::Box lCursor = Cursor(lFrame);
    if (f > 0) {
      EXPECT_NEAR(lCursor.x0, TimelineX(f) - 2, 1) << vthud_test::ToString(lCursor);
      EXPECT_NEAR(lCursor.x1, TimelineX(f) + 2, 1) << vthud_test::ToString(lCursor);
    }
    // The first window closes on the 30th draw's pipeline event (1000 ms), so
    // frame 30 is the first to read 30.0.
    const int lReference = f >= 30 ? 1100 : 1700;
    EXPECT_TRUE(SameRegion(lFrame, 1500, lReference, 1031, 1080, 150))
        << "FRAMERATE does not read " << (f >= 30 ? "30.0" : "0.0");
  }
}

TEST_F(SequenceTest, BloopReArmsForEachRecordingAndTheXFormCrossesTheCanvas) {
  const Result r = Tool({"--frames", "0:40", "--play", "0:40", "--record", "5:15", "--record", "25:40", "--set",
                         "Bloop Light Duration=3", "--out", dir + "/bar.%02d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int f = 0; f <= 40; ++f) {
    char lName[32];
    snprintf(lName, sizeof lName, "bar.%02d.png", f);
    EXPECT_EQ(BarBloopLit(Png(lName)), (f >= 5 && f <= 7) || (f >= 25 && f <= 27)) << "frame " << f;
  }
  const Result x = Tool({"--frames", "0:3", "--play", "0:3", "--record", "2:3", "--set", "Use X For Bloop=true",
                         "--set", "Bloop Light Duration=0", "--out", dir + "/x.%d.png"});
  ASSERT_EQ(x.status, 0) << x.err;
  // (300, 180) lies on the second stroke, inside the picture; duration 0 lights one draw.
  EXPECT_TRUE(Probe(Png("x.1.png"), 300, 180, vthud_test::kClear));
  // Red at a quarter, stored straight.
  EXPECT_TRUE(Probe(Png("x.2.png"), 300, 180, RGBA{255, 0, 0, 64}, 3));
  EXPECT_TRUE(Probe(Png("x.3.png"), 300, 180, vthud_test::kClear));
  EXPECT_FALSE(BarBloopLit(Png("x.2.png")));
}

TEST_F(SequenceTest, DrawListCoversScrubbingBackwardsAndRecordingWithoutPlaying) {
  const std::string lDraws = dir + "/draws.json";
  std::ofstream(lDraws) << R"([
    {"frame": 10},
    {"frame": 11, "recording": true, "playing": true},
    {"frame": 5, "recording": true, "playing": true},
    {"frame": 30, "recording": true, "playing": true},
    {"frame": 31, "recording": true, "playing": true},
    {"frame": 40},
    {"frame": 41, "recording": true},
    {"frame": 42, "recording": true},
    {"frame": 43, "recording": true, "playing": true, "set": {"Bloop Color": [0, 0, 1, 0.5]}}
  ])";
  const Result r = Tool({"--draws", lDraws, "--out", dir + "/d.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(BarBloopLit(Png("d.10.png")));
  EXPECT_TRUE(BarBloopLit(Png("d.11.png")));
  EXPECT_TRUE(BarBloopLit(Png("d.5.png"))) << "a negative count keeps the flash lit";
  EXPECT_TRUE(BarBloopLit(Png("d.30.png"))) << "count 19: lit once more, then done";
  EXPECT_FALSE(BarBloopLit(Png("d.31.png")));
  EXPECT_FALSE(BarBloopLit(Png("d.41.png"))) << "recording without playing";
  EXPECT_FALSE(BarBloopLit(Png("d.42.png")));
  // Playing again, counted from frame 40: the pause did not re-arm it. The
  // draw's own colour change is in effect.
  const vthost::Image lLast = Png("d.43.png");
  EXPECT_GT(lLast.At(500, 1079 - 100)[2], 100);
  EXPECT_LT(lLast.At(500, 1079 - 100)[0], 8);

  const Result lBad = Tool({"--draws", R"([{"frame": 1, "set": {"Aspekt": 2}}])", "--out", dir + "/bad.%d.png"});
  EXPECT_EQ(lBad.status, 1);
  EXPECT_NE(lBad.err.find("draw 1 (frame 1): unknown property 'Aspekt'"), std::string::npos) << lBad.err;
}

TEST_F(SequenceTest, Mp4OverAPlateSequencePlaysWithPlatesLetterboxedAndTheStartTimecode) {
  // 4:3 plates, one colour per frame: fitted to 1440 x 1080 between black bars.
  for (int f = 30; f <= 35; ++f)
    WritePlate("p." + std::to_string(f) + ".png", 640, 480, RGBA{40 * (f - 29), 100, 200, 255});
  const Result r = Tool(
      {"--frames", "30:35", "--play", "30:35", "--background", dir + "/plates/p.%d.png", "--out", dir + "/v.mp4"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(FfProbe("v.mp4", "stream=codec_name:stream_tags=timecode").find("codec_name=h264"), std::string::npos);
  EXPECT_NE(FfProbe("v.mp4", "stream_tags=timecode").find("timecode=00:00:01:00"), std::string::npos)
      << FfProbe("v.mp4", "stream_tags=timecode");
  const std::vector<vthost::Image> lFrames = Decode("v.mp4");
  ASSERT_EQ(lFrames.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE("frame " + std::to_string(30 + i));
    EXPECT_TRUE(Probe(lFrames[i], 600, 600, RGBA{40 * (i + 1), 100, 200, 255}, 8));
    EXPECT_TRUE(Probe(lFrames[i], 100, 600, RGBA{0, 0, 0, 255}, 8));
    EXPECT_TRUE(Probe(lFrames[i], 1820, 600, RGBA{0, 0, 0, 255}, 8));
  }
}

TEST_F(SequenceTest, MovIsProRes4444WithTheOverlaysAlpha) {
  const Result r = Tool({"--frames", "0:2", "--out", dir + "/v.mov"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string lStream = FfProbe("v.mov", "stream=codec_name,profile,pix_fmt");
  EXPECT_NE(lStream.find("codec_name=prores"), std::string::npos) << lStream;
  EXPECT_NE(lStream.find("profile=4444"), std::string::npos) << lStream;
  EXPECT_NE(lStream.find("yuva444"), std::string::npos) << lStream;
  const std::vector<vthost::Image> lFrames = Decode("v.mov");
  ASSERT_EQ(lFrames.size(), 3u);
  const vthost::Image lPng = [&] {
    EXPECT_EQ(Tool({"--frame", "2", "--out", dir + "/still.png"}).status, 0);
    return Png("still.png");
  }();
  // Nothing drawn stays transparent; the mask keeps its alpha.
  EXPECT_TRUE(Probe(lFrames[2], 600, 600, vthud_test::kClear, 2));
  EXPECT_TRUE(Probe(lFrames[2], 600, 50, RGBA{0, 0, 0, lPng.At(600, 1079 - 50)[3]}, 3));
}

TEST_F(SequenceTest, OpaqueBackgroundsGiveOpaqueOutputAndAnyImageIsFittedNotRefused) {
  ASSERT_EQ(Tool({"--background", "#204060", "--out", dir + "/c.png"}).status, 0);
  const vthost::Image lColour = Png("c.png");
  EXPECT_TRUE(Probe(lColour, 600, 600, RGBA{0x20, 0x40, 0x60, 255}, 0));
  for (size_t i = 3; i < lColour.rgba.size(); i += 4)
    if (lColour.rgba[i] != 255) {
      ADD_FAILURE() << "pixel " << i / 4 << " has alpha " << int(lColour.rgba[i]);
      break;
    }
  // A square JPEG becomes a 1080 x 1080 picture in the middle, black bars beside it.
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=c=0xc81e1e:s=300x300 -frames:v 1 -q:v 1 " +
                    Quote(dir + "/square.jpg"))
                       .c_str()),
            0);
  const Result r = Tool({"--background", dir + "/square.jpg", "--out", dir + "/sq.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  const vthost::Image lFitted = Png("sq.png");
  EXPECT_TRUE(Probe(lFitted, 700, 600, RGBA{200, 30, 30, 255}, 6));
  EXPECT_TRUE(Probe(lFitted, 300, 600, RGBA{0, 0, 0, 255}, 0));
  EXPECT_TRUE(Probe(lFitted, 1700, 600, RGBA{0, 0, 0, 255}, 0));
  // A video background: the mp4 of a colour, decoded through ffmpeg.
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=c=0x3060a0:s=640x360:r=30 -frames:v 3 -pix_fmt yuv444p " +
                    Quote(dir + "/bg.mp4"))
                       .c_str()),
            0);
  const Result v = Tool({"--frames", "0:2", "--background", dir + "/bg.mp4", "--out", dir + "/vb.%d.png"});
  ASSERT_EQ(v.status, 0) << v.err;
  EXPECT_TRUE(Probe(Png("vb.2.png"), 600, 600, RGBA{0x30, 0x60, 0xa0, 255}, 6));
  const Result lShort = Tool({"--frames", "0:5", "--background", dir + "/bg.mp4", "--out", dir + "/vs.%d.png"});
  EXPECT_EQ(lShort.status, 1);
  EXPECT_NE(lShort.err.find("ended after 3 frames; frame 3 has no picture"), std::string::npos) << lShort.err;
}

TEST_F(SequenceTest, MissingPlatesAndEncodersAreClearErrorsAndWrittenFramesStay) {
  for (int f = 0; f < 3; ++f) WritePlate("p." + std::to_string(f) + ".png", 1920, 1080, RGBA{10, 20, 30, 255});
  const Result lPlate =
      Tool({"--frames", "0:5", "--background", dir + "/plates/p.%d.png", "--out", dir + "/m.%d.png"});
  EXPECT_EQ(lPlate.status, 1);
  EXPECT_NE(lPlate.err.find("the background plate of frame 3 is missing: " + dir + "/plates/p.3.png"),
            std::string::npos)
      << lPlate.err;
  EXPECT_NE(lPlate.err.find("3 of 6 frames were written"), std::string::npos) << lPlate.err;
  for (int f = 0; f < 3; ++f)
    EXPECT_TRUE(Probe(Png("m." + std::to_string(f) + ".png"), 600, 600, RGBA{10, 20, 30, 255}, 0));

  // A plate that does not decode, in the middle of a run that one reader reads: it is named, and the frames
  // before it stay.
  for (int f = 3; f < 6; ++f) WritePlate("p." + std::to_string(f) + ".png", 1920, 1080, RGBA{10, 20, 30, 255});
  ASSERT_EQ(truncate((dir + "/plates/p.3.png").c_str(), 2000), 0);
  const Result lBroken3 =
      Tool({"--frames", "0:5", "--background", dir + "/plates/p.%d.png", "--out", dir + "/k.%d.png"});
  EXPECT_EQ(lBroken3.status, 1);
  EXPECT_NE(lBroken3.err.find("the background plate of frame 3: cannot decode " + dir + "/plates/p.3.png"),
            std::string::npos)
      << lBroken3.err;
  EXPECT_NE(lBroken3.err.find("3 of 6 frames were written"), std::string::npos) << lBroken3.err;
  EXPECT_TRUE(Probe(Png("k.2.png"), 600, 600, RGBA{10, 20, 30, 255}, 0));

  // The encoder's output cannot grow past a few blocks (the file-size limit, its signal ignored):
  // the write error is the message, in one line.
  const Result lFull = Tool({"--frames", "0:90", "--out", dir + "/b.mp4"}, "trap '' XFSZ; ulimit -f 64;");
  EXPECT_EQ(lFull.status, 1);
  EXPECT_NE(lFull.err.find("encoding " + dir + "/b.mp4"), std::string::npos) << lFull.err;
  EXPECT_NE(lFull.err.find("File too large"), std::string::npos) << lFull.err;
  EXPECT_EQ(std::count(lFull.err.begin(), lFull.err.end(), '\n'), 1) << lFull.err;
}

TEST_F(SequenceTest, CtrlCStopsCleanlyAndTheVideoStillPlays) {
  for (const char* lOut : {"i.mp4", "i.%05d.png"}) {
    SCOPED_TRACE(lOut);
    const std::string lPath = dir + "/" + lOut;
    std::vector<std::string> lArguments{VTHUD_PREVIEW_TOOL, "--frames", "0:100000", "--out", lPath};
    std::vector<char*> lArgv;
    for (std::string& a : lArguments) lArgv.push_back(&a[0]);
    lArgv.push_back(nullptr);
    posix_spawn_file_actions_t lActions;
    posix_spawn_file_actions_init(&lActions);
    posix_spawn_file_actions_addopen(&lActions, 2, (dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t lPid = 0;
    ASSERT_EQ(posix_spawn(&lPid, lArgv[0], &lActions, nullptr, lArgv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&lActions);
    // Wait until frames are being written (the video past its header), then interrupt as Ctrl-C does.
    const bool lVideo = std::string(lOut) == "i.mp4";
    const std::string lWatch = lVideo ? lPath : dir + "/i.00010.png";
    struct stat lInfo;
    for (int i = 0; i < 600 && !(stat(lWatch.c_str(), &lInfo) == 0 && lInfo.st_size > (lVideo ? 4096 : 0)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(lPid, SIGINT);
    int lStatus = 0;
    ASSERT_EQ(waitpid(lPid, &lStatus, 0), lPid);
    ASSERT_TRUE(WIFEXITED(lStatus));
    EXPECT_EQ(WEXITSTATUS(lStatus), 130);
    const std::string lErr = Slurp(dir + "/stderr");
    long long lWritten = 0;
    ASSERT_EQ(sscanf(lErr.c_str(), "vthud_preview: interrupted; %lld of 100001 frames were written", &lWritten), 1)
        << lErr;
    EXPECT_GT(lWritten, 0);
    if (std::string(lOut) == "i.mp4") {
      EXPECT_EQ(static_cast<long long>(Decode("i.mp4").size()), lWritten);
    } else {
      char lLast[32];
      snprintf(lLast, sizeof lLast, "i.%05lld.png", lWritten - 1);
      EXPECT_EQ(Png(lLast).width, 1920);
    }
  }
}

TEST_F(SequenceTest, ProgressLineOnlyOnATerminal) {
  const std::string lLine = "script -qec " +
                            Quote(Quote(VTHUD_PREVIEW_TOOL) + " --frames 0:2 --out " + Quote(dir + "/t.%d.png")) +
                            " /dev/null >" + Quote(dir + "/tty.txt");
  ASSERT_EQ(system(lLine.c_str()), 0);
  const std::string lTty = Slurp(dir + "/tty.txt");
  EXPECT_NE(lTty.find("frame 3/3"), std::string::npos) << lTty;
  EXPECT_NE(lTty.find(" fps "), std::string::npos) << lTty;
  EXPECT_NE(lTty.find(" left"), std::string::npos) << lTty;
  const Result r = Tool({"--frames", "0:2", "--out", dir + "/q.%d.png"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(SequenceTest, CameraAndHostSetUpFromTheCommandLine) {
  ASSERT_EQ(Tool({"--focal-length", "50", "--aperture-mode", "3", "--out", dir + "/a.png"}).status, 0);
  const Result r =
      Tool({"--camera-set", "FocalLength=50", "--camera-set", "ApertureMode=3", "--out", dir + "/b.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Tool({"--out", dir + "/c.png"}).status, 0);
  EXPECT_TRUE(vthud_test::DiffBox(Png("a.png"), Png("b.png"), 0, 0, 1920, 1080).empty);
  EXPECT_FALSE(vthud_test::DiffBox(Png("a.png"), Png("c.png"), 0, 0, 1920, 1080).empty);

  // An unknown name adds a custom property, as a gate needs; the note names what was probably meant.
  const Result lAdded = Tool({"--camera-set", "FocalLenght=50", "--out", dir + "/x.png"});
  EXPECT_EQ(lAdded.status, 0);
  EXPECT_NE(
      lAdded.err.find("added the custom property 'FocalLenght' (existing names nearest to it: 'FocalLength'"),
      std::string::npos)
      << lAdded.err;
  const Result lType = Tool({"--camera-set", "FocalLength=long", "--out", dir + "/x.png"});
  EXPECT_EQ(lType.status, 1);
  EXPECT_NE(lType.err.find("Number"), std::string::npos) << lType.err;

  // Without a take or a camera the overlay still draws, through its fall-backs.
  for (const char* lOption : {"--no-take", "--no-camera"}) {
    const Result lFallback = Tool({lOption, "--set", "Use Take for FQN=true", "--out", dir + "/f.png"});
    EXPECT_EQ(lFallback.status, 0) << lOption << ": " << lFallback.err;
    EXPECT_FALSE(vthud_test::DiffBox(Png("f.png"), Png("c.png"), 0, 0, 1920, 1080).empty) << lOption;
  }
}

TEST_F(SequenceTest, ListPropertiesShowsUnits) {
  const Result r = Tool({"--list-properties"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto LineOf = [&](const std::string& pName) {
    const size_t lAt = r.out.find("  " + pName + " ");
    return lAt == std::string::npos ? std::string() : r.out.substr(lAt, r.out.find('\n', lAt) - lAt);
  };
  EXPECT_NE(LineOf("Interoccular").find("unit cm"), std::string::npos) << LineOf("Interoccular");
  EXPECT_NE(LineOf("Convergence").find("unit cm"), std::string::npos);
  EXPECT_NE(LineOf("Frame Offset").find("unit px"), std::string::npos);
  EXPECT_NE(LineOf("Value 1 Offset Y").find("unit px"), std::string::npos);
  EXPECT_NE(LineOf("FocusSpecificDistance").find("unit cm"), std::string::npos);
  EXPECT_EQ(LineOf("Slate").find("unit"), std::string::npos);
}

}  // namespace

namespace {

// The bottom-row timecode fields: character at x 500, camera at x 800, value glyphs above the baseline at 24.
const int kCharacterX = 500, kCameraX = 800, kFieldWidth = 280;

bool SameField(const vthost::Image& pA, const vthost::Image& pB, int pX) {
  return vthud_test::DiffBox(pA, pB, pX, 25, pX + kFieldWidth, 75).empty;
}

TEST_F(SequenceTest, CharacterTimecodeBoundToASourceAdvancesFrameByFrameAndAHeldOneStays) {
  const Result r = Tool({"--frames", "0:3", "--play", "0:3", "--character-source", "TimeCode=01:00:00:00",
                         "--camera-source", "TC=10:00:00:00,held", "--out", dir + "/s.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The binding's diagnostic lines, one per side.
  EXPECT_NE(r.err.find("Connecting to 'TimeCode' timecode property"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties"),
            std::string::npos)
      << r.err;
  // References drawn from the element's own integers on an unbound side.
  for (int f = 0; f <= 3; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const std::string lName = "ref." + std::to_string(f) + ".png";
    ASSERT_EQ(Tool({"--set", "Character Hour=1", "--set", "Character Frame=" + std::to_string(f), "--set",
                    "Camera Hour=10", "--out", dir + "/" + lName})
                  .status,
              0);
    const vthost::Image lFrame = Png("s." + std::to_string(f) + ".png");
    EXPECT_TRUE(SameField(lFrame, Png(lName), kCharacterX)) << "character does not read 01:00:00:0" << f;
    EXPECT_TRUE(SameField(lFrame, Png(lName), kCameraX)) << "camera does not read 10:00:00:00";
  }
  for (const char* lBad : {"TimeCode=1:00", "Nope=01:00:00:00", "TimeCode=01:00:00:00,frozen"}) {
    const Result lRefused = Tool({"--character-source", lBad, "--out", dir + "/x.png"});
    EXPECT_EQ(lRefused.status, 1) << lBad;
    EXPECT_EQ(lRefused.err.rfind("vthud_preview: --character-source: ", 0), 0u) << lRefused.err;
  }
}

TEST_F(SequenceTest, ShortLayoutFileIsSharedAndApplied) {
  const std::vector<std::string> lLook{"--set", "Aspect=1.85", "--set", "Show Slate=true", "--set", "Slate=A12"};
  std::vector<std::string> lSave = lLook;
  lSave.insert(lSave.end(), {"--save-layout", dir + "/look.json", "--out", dir + "/set.png"});
  ASSERT_EQ(Tool(lSave).status, 0);
  const std::string lLayout = Slurp(dir + "/look.json");
  EXPECT_NE(lLayout.find("\"Aspect\""), std::string::npos) << lLayout;
  EXPECT_EQ(lLayout.find("\"Aspect Zoom\""), std::string::npos) << "only what differs from a new element";
  EXPECT_LT(std::count(lLayout.begin(), lLayout.end(), '\n'), 30) << lLayout;
  const Result r = Tool({"--layout", dir + "/look.json", "--out", dir + "/layout.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(vthud_test::DiffBox(Png("set.png"), Png("layout.png"), 0, 0, 1920, 1080).empty);
  // --set comes after the layout and wins.
  ASSERT_EQ(Tool({"--layout", dir + "/look.json", "--set", "Aspect=2.35", "--out", dir + "/over.png"}).status, 0);
  EXPECT_FALSE(vthud_test::DiffBox(Png("set.png"), Png("over.png"), 0, 0, 1920, 1080).empty);
  std::ofstream(dir + "/broken.json") << "{\"objects\": [";
  const Result lBroken = Tool({"--layout", dir + "/broken.json", "--out", dir + "/x.png"});
  EXPECT_EQ(lBroken.status, 1);
  EXPECT_NE(lBroken.err.find("broken.json"), std::string::npos) << lBroken.err;
}

TEST_F(SequenceTest, CameraSetAddsTheReticleGateTheCameraLacked) {
  const std::vector<std::string> lReticle{"--set", "Show Reticle=true", "--set",
                                          "Reticle Bound Property=GateSwitch"};
  auto ReticleShown = [&](const std::string& pGate) {
    std::vector<std::string> lArguments = lReticle;
    lArguments.insert(lArguments.end(), {"--camera-set", pGate, "--out", dir + "/r.png"});
    const Result r = Tool(lArguments);
    EXPECT_EQ(r.status, 0) << r.err;
    return !vthud_test::LitBox(Png("r.png"), 900, 480, 1020, 600).empty;
  };
  // The camera has no "GateSwitch"; the added "ShowOpticalCenter" decides.
  EXPECT_FALSE(ReticleShown("ShowOpticalCenter=false"));
  EXPECT_TRUE(ReticleShown("ShowOpticalCenter=true"));
  EXPECT_FALSE(ReticleShown("GateSwitch=false"));
}

TEST_F(SequenceTest, RendererRoadWritesTheRenderersFrameOverTheSameBackground) {
  const Result r =
      Tool({"--road", "renderer", "--frames", "0:14", "--play", "0:14", "--record", "2:14", "--background",
            "test-picture", "--set", "Bloop Light Duration=3", "--out", dir + "/r.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Tool({"--frames", "0:14", "--play", "0:14", "--record", "2:14", "--background", "test-picture",
                  "--set", "Bloop Light Duration=3", "--out", dir + "/v.%d.png"})
                .status,
            0);
  for (int f = 0; f <= 14; ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const vthost::Image lRenderer = Png("r." + std::to_string(f) + ".png"),
                        lViewer = Png("v." + std::to_string(f) + ".png");
    // The roads agree within rounding, text edges too.
    long lDiffering = 0;
    for (size_t i = 0; i < lRenderer.rgba.size(); ++i)
      if (std::abs(lRenderer.rgba[i] - lViewer.rgba[i]) > 2) ++lDiffering;
    EXPECT_EQ(lDiffering, 0) << "channels differing by more than 2";
    // Bloop: counted from frame 1, lit on 2 to 4, on the renderer's frame as on the viewer's.
    const uint8_t* lBar = lRenderer.At(500, 1079 - 100);
    const uint8_t* lBarViewer = lViewer.At(500, 1079 - 100);
    EXPECT_NEAR(lBar[0], lBarViewer[0], 2);
  }
  EXPECT_NE(Png("r.3.png").At(500, 1079 - 100)[0], Png("r.6.png").At(500, 1079 - 100)[0])
      << "bloop lit on frame 3 only";
  EXPECT_EQ(Tool({"--road", "bus", "--out", dir + "/x.png"}).status, 1);
  EXPECT_NE(Slurp(dir + "/stderr").find("--road expects viewer or renderer, got 'bus'"), std::string::npos);
  EXPECT_EQ(Tool({"--road", "renderer", "--no-renderer", "--out", dir + "/x.png"}).status, 1);
}

}  // namespace

namespace {

TEST_F(SequenceTest, ClockMsSetsTheIntervalFramerateMeasures) {
  // 40 ms a draw: the 25th draw brings the window to 1000 ms, so frame 25 reads 25.0.
  const Result r = Tool({"--frames", "0:25", "--clock-ms", "40", "--set", "Show FPS=true", "--set",
                         "FPS Offset=1500", "--set", "Show Value 1=true", "--set", "Value 1=25", "--set",
                         "Value 1 Offset X=1100", "--set", "Value 1 Offset Y=1032", "--out", dir + "/c.%d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(SameRegion(Png("c.24.png"), 1500, 1100, 1031, 1080, 150));
  EXPECT_TRUE(SameRegion(Png("c.25.png"), 1500, 1100, 1031, 1080, 150)) << "FRAMERATE does not read 25.0";
}

}  // namespace

namespace {

// Files laid over a picture by tools no one here wrote: ImageMagick's
// -composite and ffmpeg's overlay, and the renderer's composite of the
// element's texture, against the viewer road's burn-in over the same picture.

using vthud_test::CompareFrames;
using vthud_test::FrameDiff;

// Overlay states, one draw each: text over the mask bars, over the veil, over
// other text and translucent itself, where text edges show how alpha blends.
const char* const kStates[] = {"default overlay", "every field on", "X bloop lit",
                               "reticle",         "save veil",      "Font Color alpha 0.5"};
const char* const kStateDraws = R"([
  {"frame": 1},
  {"frame": 2, "set": {"Show F-Stop": true, "Show Focus Distance": true, "Show Camera Name": true,
    "Show Interoccular": true, "Show Convergence": true, "Show Slate": true, "Slate": "A12/3",
    "Show FPS": true, "Show Value 1": true, "Show Value 2": true, "Value 2 Offset Y": 540,
    "Show Marker 2": true, "Marker 2 Frame": 100, "Marker 2 Name": "Action"}},
  {"frame": 3, "recording": true, "playing": true, "set": {"Show F-Stop": false, "Show Focus Distance": false,
    "Show Camera Name": false, "Show Interoccular": false, "Show Convergence": false, "Show Slate": false,
    "Show FPS": false, "Show Value 1": false, "Show Value 2": false, "Show Marker 2": false,
    "Use X For Bloop": true, "Bloop Light Duration": 0}},
  {"frame": 4, "set": {"Use X For Bloop": false, "Show Reticle": true}},
  {"frame": 5, "set": {"Show Reticle": false, "Saving": true}},
  {"frame": 6, "set": {"Saving": false, "Font Color": [1, 1, 1, 0.5]}}
])";

// Pixels within 2 of a sharp edge of the transparent frame (neighbours more
// than 8 apart in a channel), where a lossy codec's transform rings.
std::vector<bool> SharpEdges(const vthost::Image& pImage) {
  const int w = pImage.width, h = pImage.height;
  std::vector<bool> lNear(static_cast<size_t>(w) * h);
  auto Apart = [&](int x0, int y0, int x1, int y1) {
    for (int c = 0; c < 4; ++c)
      if (std::abs(pImage.At(x0, y0)[c] - pImage.At(x1, y1)[c]) > 8) return true;
    return false;
  };
  for (int y = 0; y + 1 < h; ++y)
    for (int x = 0; x + 1 < w; ++x)
      if (Apart(x, y, x + 1, y) || Apart(x, y, x, y + 1))
        for (int v = std::max(0, y - 2); v <= std::min(h - 1, y + 3); ++v)
          for (int u = std::max(0, x - 2); u <= std::min(w - 1, x + 3); ++u)
            lNear[static_cast<size_t>(v) * w + u] = true;
  return lNear;
}

TEST_F(SequenceTest, EveryCompositeOfTheOverlayOverAPictureEqualsTheViewerRoadsBurnIn) {
  // FFmpeg's bright test pattern, made here: saturated colours under every bar and text row.
  const std::string lPicture = dir + "/plate.png";
  const std::string lMake =
      "ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 -frames:v 1 " + Quote(lPicture);
  ASSERT_EQ(system(lMake.c_str()), 0) << lMake;
  const std::vector<std::string> lRun{"--draws", kStateDraws, "--camera-set", "ShowOpticalCenter=true"};
  auto Run = [&](std::vector<std::string> pMore) {
    pMore.insert(pMore.begin(), lRun.begin(), lRun.end());
    const Result r = Tool(pMore);
    ASSERT_EQ(r.status, 0) << r.err;
  };
  Run({"--out", dir + "/t.%d.png"});
  Run({"--out", dir + "/t.mov"});
  Run({"--background", lPicture, "--out", dir + "/b.%d.png"});
  Run({"--road", "renderer", "--background", lPicture, "--out", dir + "/r.%d.png"});
  const std::string lOverlay =
      "ffmpeg -v error -y -framerate 30 -loop 1 -i " + Quote(lPicture) + " -i " + Quote(dir + "/t.mov") +
      " -filter_complex '[0:v][1:v]overlay=format=rgb:shortest=1,format=rgb24' " + Quote(dir + "/f.%d.png");
  ASSERT_EQ(system(lOverlay.c_str()), 0) << lOverlay;
  const int kCount = static_cast<int>(sizeof kStates / sizeof kStates[0]);
  for (int i = 1; i <= kCount; ++i) {
    const std::string n = std::to_string(i), lState = kStates[i - 1];
    SCOPED_TRACE(lState);
    // ImageMagick's "over" for straight alpha.
    const std::string lComposite = "convert " + Quote(lPicture) + " " + Quote(dir + "/t." + n + ".png") +
                                   " -composite " + Quote(dir + "/im." + n + ".png");
    ASSERT_EQ(system(lComposite.c_str()), 0) << lComposite;
    const vthost::Image lBurnt = Png("b." + n + ".png");
    // ProRes is lossy: beside sharp edges (the bloop's X, glyphs) its transform rings.
    const std::vector<bool> lRinging = SharpEdges(Png("t." + n + ".png"));
    const struct {
      const char* what;
      vthost::Image theirs;
      int tolerance;
      const std::vector<bool>* leftOut;
    } kComposites[] = {{"renderer road", Png("r." + n + ".png"), 2, nullptr},
                       {"PNG + ImageMagick", Png("im." + n + ".png"), 2, nullptr},
                       {"MOV + ffmpeg overlay, away from sharp edges", Png("f." + n + ".png"), 3, &lRinging}};
    for (const auto& c : kComposites) {
      const FrameDiff lDiff = CompareFrames(c.theirs, lBurnt, c.tolerance, c.leftOut);
      EXPECT_EQ(lDiff.differing, 0) << c.what << ": " << vthud_test::ToString(lDiff);
      printf("figure: %s, %s: %ld pixels beyond %d/255 (worst %d)\n", lState.c_str(), c.what, lDiff.differing,
             c.tolerance, lDiff.largest);
    }
  }
}

// A context where the HUD's text layer or the frame lines' label layer
// cannot be made: the element says so once and blends its text straight into
// the target, which over an opaque picture is exact, so the frames are the
// layer's within rounding. The HUD's draws keep strings from draw to draw and
// put a value under the save message, whose run clears the value's ink.
TEST_F(SequenceTest, WithoutTheTextLayersTextBlendsStraightInAndTheLossIsReportedOnce) {
  const struct {
    const char* what;
    std::vector<std::string> arguments;
    int draws;
    const char* layer;   // in no message of the run with the layer
    const char* report;  // once in the run without it
  } kCases[] = {
      {"HUD",
       {"--draws", R"([{"frame": 1}, {"frame": 2, "set": {"Font Color": [1, 1, 1, 0.5],
            "Show Marker 2": true, "Marker 2 Frame": 100, "Marker 2 Name": "Action"}},
            {"frame": 3, "set": {"Saving": true}},
            {"frame": 4, "set": {"Show Value 1": true, "Value 1 Offset X": 900, "Value 1 Offset Y": 530}},
            {"frame": 5, "set": {"Saving": false, "Value 1 Offset X": 1200, "Value 1 Offset Y": 24}}])"},
       5,
       "text layer",
       "Error : koHUD - no offscreen text layer (framebuffer status 0x8cdd)"},
      {"frame lines",
       {"--frame-lines", "--fdl", std::string(VTHUD_SOURCE_DIR) + "/docs/fdl/uhd-scope-tv.fdl", "--framing",
        "UHD-SCOPE", "--framing", "UHD-TV", "--draws", R"([{"frame": 1}, {"frame": 2}])"},
       2,
       "label layer",
       "VT Frame Lines: no label layer (framebuffer status 0x8cdd)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    auto Run = [&](const std::string& pOut, const std::string& pPrefix) {
      std::vector<std::string> lArguments = c.arguments;
      lArguments.insert(lArguments.end(), {"--background", "test-picture", "--out", dir + "/" + pOut});
      return Tool(lArguments, pPrefix);
    };
    const Result lWith = Run("with.%d.png", "");
    ASSERT_EQ(lWith.status, 0) << lWith.err;
    EXPECT_EQ(lWith.err.find(c.layer), std::string::npos) << lWith.err;
    const Result lWithout = Run("without.%d.png", "LD_PRELOAD=" + Quote(VTHUD_INCOMPLETE_FRAMEBUFFERS) +
                                                      " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\"");
    ASSERT_EQ(lWithout.status, 0) << lWithout.err;
    const size_t lFirst = lWithout.err.find(c.report);
    EXPECT_NE(lFirst, std::string::npos) << lWithout.err;
    EXPECT_EQ(lWithout.err.find(c.report, lFirst + 1), std::string::npos) << "reported more than once";
    for (int i = 1; i <= c.draws; ++i) {
      SCOPED_TRACE("draw " + std::to_string(i));
      const FrameDiff lDiff = CompareFrames(Png("without." + std::to_string(i) + ".png"),
                                            Png("with." + std::to_string(i) + ".png"), 1);
      EXPECT_EQ(lDiff.differing, 0) << vthud_test::ToString(lDiff);
    }
  }
}

// Pixels whose 33 x 33 neighbourhood is one colour: chroma subsampling and
// the ringing of the codec's blocks beside detail do not reach them.
std::vector<bool> NotFlat(const vthost::Image& pImage) {
  const int w = pImage.width, h = pImage.height, r = 16;
  std::vector<bool> lNotFlat(static_cast<size_t>(w) * h, true);
  auto Same = [&](int x0, int y0, int x1, int y1) {
    return std::equal(pImage.At(x0, y0), pImage.At(x0, y0) + 4, pImage.At(x1, y1));
  };
  std::vector<int> lRun(static_cast<size_t>(w) * h);  // flat horizontally around x
  for (int y = 0; y < h; ++y)
    for (int x = r; x < w - r; ++x) {
      bool lSame = true;
      for (int d = -r; d <= r && lSame; ++d) lSame = Same(x, y, x + d, y);
      lRun[static_cast<size_t>(y) * w + x] = lSame;
    }
  for (int y = r; y < h - r; ++y)
    for (int x = r; x < w - r; ++x) {
      bool lFlat = true;
      for (int d = -r; d <= r && lFlat; ++d)
        lFlat = lRun[static_cast<size_t>(y + d) * w + x] && Same(x, y, x, y + d);
      lNotFlat[static_cast<size_t>(y) * w + x] = !lFlat;
    }
  return lNotFlat;
}

TEST_F(SequenceTest, VideoDecodedAsAPlayerDoesMatchesThePngOnFlatColours) {
  ASSERT_EQ(Tool({"--background", "test-picture", "--frame", "7", "--out", dir + "/ref.png"}).status, 0);
  const vthost::Image lReference = Png("ref.png");
  const std::vector<bool> lSkip = NotFlat(lReference);
  for (const char* lName : {"p.mp4", "p.mov"}) {
    SCOPED_TRACE(lName);
    const Result r = Tool({"--background", "test-picture", "--frame", "7", "--out", dir + "/" + lName});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string lTags = FfProbe(lName, "stream=color_primaries,color_transfer,color_space,color_range");
    for (const char* lTag :
         {"color_primaries=bt709", "color_transfer=bt709", "color_space=bt709", "color_range=tv"})
      EXPECT_NE(lTags.find(lTag), std::string::npos) << lTags;
    // A player: the file's own tags, exact arithmetic.
    const std::string lRaw = dir + "/player.rgba";
    const std::string lDecode = "ffmpeg -v error -y -i " + Quote(dir + "/" + lName) +
                                " -vf scale=flags=accurate_rnd+full_chroma_int -f rawvideo -pix_fmt rgba " +
                                Quote(lRaw);
    ASSERT_EQ(system(lDecode.c_str()), 0) << lDecode;
    vthost::Image lDecoded = lReference;
    const std::string lBytes = Slurp(lRaw);
    ASSERT_EQ(lBytes.size(), lDecoded.rgba.size());
    std::copy(lBytes.begin(), lBytes.end(), lDecoded.rgba.begin());
    const FrameDiff lDiff = CompareFrames(lDecoded, lReference, 3, &lSkip);
    EXPECT_EQ(lDiff.differing, 0) << vthud_test::ToString(lDiff);
    double lSum = 0;
    long lCount = 0;
    int lWorst = 0;
    for (size_t i = 0; i < lSkip.size(); ++i)
      if (!lSkip[i])
        for (int c = 0; c < 3; ++c, ++lCount) {
          const int lDifference = std::abs(lDecoded.rgba[i * 4 + c] - lReference.rgba[i * 4 + c]);
          lSum += lDifference;
          lWorst = std::max(lWorst, lDifference);
        }
    EXPECT_GT(lCount / 3, 1920L * 1080 / 4) << "a good part of the test picture is flat";
    printf("figure: %s decoded by its tags on %ld flat pixels: mean %.3f, worst %d /255\n", lName, lCount / 3,
           lSum / static_cast<double>(lCount), lWorst);
  }
}

}  // namespace

namespace {

TEST_F(SequenceTest, PlateTimecodeStartsTheCameraTimecodeAndTheOutputVideo) {
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=c=0x204060:s=320x180:r=30 -frames:v 3 -timecode "
                    "10:00:00:00 -c:v prores_ks " +
                    Quote(dir + "/plate.mov"))
                       .c_str()),
            0);
  const std::vector<std::string> lPlate{
      "--frames", "0:2", "--background", dir + "/plate.mov", "--camera-source", "from-background"};
  std::vector<std::string> lArguments = lPlate;
  lArguments.insert(lArguments.end(), {"--out", dir + "/s.%d.png"});
  const Result r = Tool(lArguments);
  ASSERT_EQ(r.status, 0) << r.err;
  // References: the element's own camera integers over the same plate.
  const Result lReference =
      Tool({"--background", dir + "/plate.mov", "--out", dir + "/ref.%d.png", "--draws",
            R"([{"frame": 0, "set": {"Camera Hour": 10}}, {"frame": 1, "set": {"Camera Frame": 1}},
                {"frame": 2, "set": {"Camera Frame": 2}}])"});
  ASSERT_EQ(lReference.status, 0) << lReference.err;
  for (int f = 0; f <= 2; ++f)
    EXPECT_TRUE(
        SameField(Png("s." + std::to_string(f) + ".png"), Png("ref." + std::to_string(f) + ".png"), kCameraX))
        << "frame " << f << " does not read 10:00:00:0" << f;
  lArguments = lPlate;
  lArguments.insert(lArguments.end(), {"--out", dir + "/v.mov"});
  ASSERT_EQ(Tool(lArguments).status, 0);
  EXPECT_NE(FfProbe("v.mov", "stream_tags=timecode").find("timecode=10:00:00:00"), std::string::npos)
      << FfProbe("v.mov", "stream_tags=timecode");
  // A plate at another rate than the scene's would drift from the timecode shown.
  const Result lDrift = Tool({"--fps", "25", "--background", dir + "/plate.mov", "--camera-source",
                              "from-background", "--out", dir + "/x.png"});
  EXPECT_EQ(lDrift.status, 1);
  EXPECT_NE(lDrift.err.find("plate.mov runs at 30/1 frames a second and the scene at 25/1"), std::string::npos)
      << lDrift.err;
  // A DPX sequence starts at its first header's timecode.
  ASSERT_EQ(system(("mkdir -p " + Quote(dir + "/dpx") +
                    " && ffmpeg -v error -f lavfi -i color=c=0x204060:s=64x36:r=30 " +
                    "-frames:v 3 -start_number 0 -pix_fmt rgb48le " + Quote(dir + "/dpx/d.%d.dpx"))
                       .c_str()),
            0);
  for (int f = 0; f <= 2; ++f) ASSERT_TRUE(AddDpxTimecode(dir + "/dpx/d." + std::to_string(f) + ".dpx", 10, f));
  const Result lDpx = Tool({"--frames", "0:2", "--background", dir + "/dpx/d.%d.dpx", "--camera-source",
                            "from-background", "--out", dir + "/x.mov"});
  ASSERT_EQ(lDpx.status, 0) << lDpx.err;
  EXPECT_NE(FfProbe("x.mov", "stream_tags=timecode").find("timecode=10:00:00:00"), std::string::npos)
      << FfProbe("x.mov", "stream_tags=timecode");
  // A plate sequence whose headers ffmpeg reads no timecode from is refused, not guessed.
  WritePlate("p.0.png", 64, 36, RGBA{1, 2, 3, 255});
  const Result lNone = Tool({"--background", dir + "/plates/p.%d.png", "--character-source", "from-background",
                             "--out", dir + "/x.png"});
  EXPECT_EQ(lNone.status, 1);
  EXPECT_NE(lNone.err.find("--character-source: " + dir + "/plates/p.0.png carries no timecode"),
            std::string::npos)
      << lNone.err;
}

TEST_F(SequenceTest, APlateGivesTheRunItsLengthRateAndTimecodeUnlessTheCommandLineDoes) {
  ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i color=c=0x204060:s=320x180:r=24 -frames:v 24 -timecode "
                    "10:00:00:00 -c:v prores_ks " +
                    Quote(dir + "/take.mov"))
                       .c_str()),
            0);
  // Dailies as a new user runs them: neither --frames nor --fps.
  const Result r = Tool({"--background", dir + "/take.mov", "--out", dir + "/take-hud.mov"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string lVideo = FfProbe("take-hud.mov", "stream=r_frame_rate:stream_tags=timecode");
  EXPECT_NE(lVideo.find("r_frame_rate=24/1"), std::string::npos) << lVideo;
  EXPECT_NE(lVideo.find("timecode=10:00:00:00"), std::string::npos) << lVideo;
  EXPECT_NE(r.out.find("wrote 24 frames"), std::string::npos) << r.out;
  EXPECT_NE(FfProbe("take-hud.mov", "stream=nb_read_packets -count_packets -select_streams v:0")
                .find("nb_read_packets=24"),
            std::string::npos);
  // The camera shows the plate's timecode on its first and last frames, as set by hand would.
  ASSERT_EQ(Tool({"--background", dir + "/take.mov", "--out", dir + "/s.%d.png"}).status, 0);
  EXPECT_FALSE(std::ifstream(dir + "/s.24.png").good()) << "the run goes past the plate";
  for (int f : {0, 23}) {
    SCOPED_TRACE("frame " + std::to_string(f));
    ASSERT_EQ(Tool({"--fps", "24", "--frame", std::to_string(f), "--background", dir + "/take.mov", "--set",
                    "Camera Hour=10", "--set", "Camera Frame=" + std::to_string(f), "--out", dir + "/ref.png"})
                  .status,
              0);
    EXPECT_TRUE(SameField(Png("s." + std::to_string(f) + ".png"), Png("ref.png"), kCameraX));
  }
  // What the command line says wins, and a rate the plate does not run at is refused in one line.
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string says;
  };
  const Case lCases[] = {
      {{"--fps", "30"}, 1, "--fps 30: " + dir + "/take.mov runs at 24/1 frames a second and the scene at 30/1"},
      {{"--fps", "24", "--frames", "0:2", "--out", dir + "/three.mov"}, 0, "wrote 3 frames"},
      // One picture out: the plate's first frame.
      {{"--out", dir + "/one.png"}, 0, "frame 0"},
  };
  for (const Case& c : lCases) {
    std::vector<std::string> lArguments{"--background", dir + "/take.mov", "--out", dir + "/x.mov"};
    lArguments.insert(lArguments.end(), c.arguments.begin(), c.arguments.end());
    const Result lRun = Tool(lArguments);
    EXPECT_EQ(lRun.status, c.status) << lRun.err;
    EXPECT_NE((lRun.status ? lRun.err : lRun.out).find(c.says), std::string::npos) << lRun.err << lRun.out;
    if (lRun.status) EXPECT_EQ(std::count(lRun.err.begin(), lRun.err.end(), '\n'), 1) << lRun.err;
  }
  // A sequence covers its files from the first to the last before a gap.
  for (int f : {1001, 1002, 1003, 1005}) WritePlate("p." + std::to_string(f) + ".png", 64, 36, RGBA{1, 2, 3, 255});
  const Result lSequence = Tool({"--background", dir + "/plates/p.%d.png", "--out", dir + "/q.%d.png"});
  ASSERT_EQ(lSequence.status, 0) << lSequence.err;
  EXPECT_NE(lSequence.out.find("wrote 3 frames to " + dir + "/q.1001.png"), std::string::npos) << lSequence.out;
  EXPECT_FALSE(std::ifstream(dir + "/q.1005.png").good());
}

TEST_F(SequenceTest, PlateSequenceFramesEqualEachPlateBurntInAsAStill) {
  // Plates that differ frame by frame, read by one ffmpeg per run of consecutive frames (here two runs, the
  // second one back in time); each frame must equal, whole, the same plate burnt in as a still picture. The
  // sequence is named relative to a folder whose colon ffmpeg must not take for a protocol.
  ASSERT_EQ(system(("mkdir -p " + Quote(dir + "/shot:a") +
                    " && ffmpeg -v error -f lavfi -i testsrc2=s=1920x1080:r=30 -frames:v 8 -start_number 5 " +
                    Quote(dir + "/shot:a/t.%d.png"))
                       .c_str()),
            0);
  const Result r = Tool({"--draws", R"([{"frame": 10}, {"frame": 11}, {"frame": 12}, {"frame": 5}, {"frame": 6}])",
                         "--background", "shot:a/t.%d.png", "--out", dir + "/s.%d.png"},
                        "cd " + Quote(dir) + " &&");
  ASSERT_EQ(r.status, 0) << r.err;
  for (int f : {10, 11, 12, 5, 6}) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const std::string n = std::to_string(f);
    ASSERT_EQ(
        Tool({"--frame", n, "--background", dir + "/shot:a/t." + n + ".png", "--out", dir + "/one.png"}).status,
        0);
    const FrameDiff lDiff = CompareFrames(Png("s." + n + ".png"), Png("one.png"));
    EXPECT_EQ(lDiff.differing, 0) << vthud_test::ToString(lDiff);
  }
}

TEST_F(SequenceTest, PlatesCrewsShootBurnInFittedAndThroughALut) {
  // 4:3 plates of (48, 96, 160), made by ffmpeg, fill 1440 x 1080 between black bars (DNxHR wants 256 x 120 or
  // more).
  const std::string lColour = "-f lavfi -i color=c=0x3060a0:s=64x48:r=30,format=rgb48le ";
  // Video plates converted and tagged as BT.709, as cameras and editors write HD.
  const std::string lVideo =
      "-f lavfi -i color=c=0x3060a0:s=320x240:r=30,format=rgb48le -vf scale=out_color_matrix=bt709:out_range=tv "
      "-colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv ";
  struct Case {
    const char* kind;
    std::string make, background;
    bool lut;  // also shown through the LUT: a still's road and a video's
  };
  const Case lCases[] = {
      {"EXR half float", lColour + "-frames:v 1 -pix_fmt gbrpf32le -c:v exr -format half -start_number 0 p.%d.exr",
       "p.%d.exr", true},
      {"DPX 10-bit", lColour + "-frames:v 1 -pix_fmt gbrp10le -start_number 0 p.%d.dpx", "p.%d.dpx", false},
      {"TIFF 16-bit", lColour + "-frames:v 1 -pix_fmt rgb48le -start_number 0 p.%d.tif", "p.%d.tif", false},
      // FFmpeg's ProRes encoders leave the frame headers' colour fields to this filter.
      {"ProRes mov",
       lVideo + "-frames:v 1 -c:v prores_ks -pix_fmt yuv422p10le "
                "-bsf:v prores_metadata=color_primaries=bt709:color_trc=bt709:colorspace=bt709 p.mov",
       "p.mov", true},
      {"DNxHR mxf", lVideo + "-frames:v 1 -c:v dnxhd -profile:v dnxhr_hqx -pix_fmt yuv422p10le p.mxf", "p.mxf",
       false},
      // Untagged HD is read as BT.709, as players read it.
      {"untagged HD H.264",
       "-f lavfi -i color=c=0x3060a0:s=1280x960:r=30,format=rgb48le -vf scale=out_color_matrix=bt709:out_range=tv "
       "-frames:v 1 -c:v libx264 -pix_fmt yuv444p p.mp4",
       "p.mp4", false},
  };
  // An inverting LUT: the plate shows as (207, 159, 95).
  std::ofstream(dir + "/invert.cube") << "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n";
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.kind);
    ASSERT_EQ(system(("cd " + Quote(dir) + " && ffmpeg -v error -y " + c.make).c_str()), 0) << c.make;
    for (int lPass = 0; lPass < (c.lut ? 2 : 1); ++lPass) {
      const bool lLut = lPass == 1;
      std::vector<std::string> lArguments{"--background", dir + "/" + c.background, "--out", dir + "/o.png"};
      if (lLut) lArguments.insert(lArguments.end(), {"--background-lut", dir + "/invert.cube"});
      const Result r = Tool(lArguments);
      ASSERT_EQ(r.status, 0) << r.err;
      const vthost::Image lOut = Png("o.png");
      EXPECT_TRUE(Probe(lOut, 700, 600, lLut ? RGBA{207, 159, 95, 255} : RGBA{48, 96, 160, 255}, 4))
          << (lLut ? "through the LUT" : "as stored");
      EXPECT_TRUE(Probe(lOut, 100, 600, RGBA{0, 0, 0, 255}, 0));
    }
  }
  // A plate ffmpeg cannot decode names its frame; the frames before it stay.
  ASSERT_EQ(system(("cd " + Quote(dir) + " && cp p.0.dpx p.1.dpx && head -c 3000 p.0.dpx > p.2.dpx").c_str()), 0);
  const Result lBad = Tool({"--frames", "0:2", "--background", dir + "/p.%d.dpx", "--out", dir + "/b.%d.png"});
  EXPECT_EQ(lBad.status, 1);
  EXPECT_NE(lBad.err.find("the background plate of frame 2: cannot decode " + dir + "/p.2.dpx"), std::string::npos)
      << lBad.err;
  EXPECT_NE(lBad.err.find("2 of 3 frames were written"), std::string::npos) << lBad.err;
  EXPECT_EQ(Png("b.1.png").width, 1920);
}

}  // namespace

// Plates read and videos written in-process: every plate kind decodes to the
// pixels ffmpeg's own command line gives through the same filters, every
// output reads back with the right codec, tags and frame count, bad files and
// URLs are refused in one line, and no run starts an ffmpeg or ffprobe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "background.h"
#include "tool_fixture.h"

using vthud_test::Quote;
using vthud_test::Result;
using vthud_test::Slurp;

namespace {

class MediaTest : public vthud_test::ToolTest {
 protected:
  bool Shell(const std::string& pLine) { return system(("cd " + Quote(dir) + " && " + pLine).c_str()) == 0; }
  // One entry of ffprobe's about pFile's first video stream or its format.
  std::string Probe(const std::string& pFile, const std::string& pEntries) {
    const std::string lOut = dir + "/probe.txt";
    Shell("ffprobe -v error -select_streams v:0 -count_frames -show_entries " + pEntries +
          " -of default=nw=1:nk=1 " + Quote(pFile) + " > " + Quote(lOut));
    std::string lText = Slurp(lOut);
    while (!lText.empty() && lText.back() == '\n') lText.pop_back();
    return lText;
  }
};

// The canvas pixel at (x, y), top row 0, whichever way up the rows lie.
const uint8_t* Pixel(const vthost::Image& pImage, int x, int y) {
  return pImage.At(x, pImage.bottomUp ? pImage.height - 1 - y : y);
}

TEST_F(MediaTest, EveryPlateKindDecodesToWhatFfmpegGivesThroughTheSameFilters) {
  struct Plate {
    std::string name;   // what --background is given
    std::string first;  // its first picture, for ffmpeg
    std::string make;   // ffmpeg's options after a test source
    std::string filter;
  };
  const std::string lPlain = vthud_tool::FitFilter("", "", "");
  const std::string lVideo = vthud_tool::FitFilter("bt709", "tv", "");
  const std::string lTags = " -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv ";
  const Plate kPlates[] = {
      {"rgba.png", "rgba.png", "-frames:v 1 -pix_fmt rgba rgba.png", lPlain},
      {"small.%d.png", "small.0.png", "-frames:v 2 -start_number 0 -s 1280x720 small.%d.png", lPlain},
      // Letterboxed with 277 rows of bars: the odd row falls where the upright chain puts it.
      {"wide.%d.png", "wide.0.png", "-frames:v 2 -start_number 0 -s 1000x418 wide.%d.png", lPlain},
      {"scan.%d.dpx", "scan.0.dpx", "-frames:v 2 -start_number 0 -pix_fmt rgb48le scan.%d.dpx", lPlain},
      {"grade.tif", "grade.tif", "-frames:v 1 -pix_fmt rgb48le grade.tif", lPlain},
      {"p4444.mov", "p4444.mov",
       "-frames:v 2 -c:v prores_ks -profile:v 4 -pix_fmt yuva444p10le" + lTags + "p4444.mov", lVideo},
      {"dnxhr.mov", "dnxhr.mov",
       "-frames:v 2 -c:v dnxhd -profile:v dnxhr_hq -pix_fmt yuv422p" + lTags + "dnxhr.mov", lVideo},
      {"h264.mp4", "h264.mp4", "-frames:v 2 -s 1280x720 -c:v libx264 -pix_fmt yuv420p" + lTags + "h264.mp4",
       lVideo},
  };
  for (const Plate& p : kPlates) {
    SCOPED_TRACE(p.name);
    ASSERT_TRUE(Shell("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=24 " + p.make));
    ASSERT_TRUE(Shell("ffmpeg -v error -y -i " + Quote(p.first) + " -frames:v 1 -vf '" + p.filter +
                      "' -f rawvideo -pix_fmt rgba expected.rgba"));
    const std::string lExpected = Slurp(dir + "/expected.rgba");
    ASSERT_EQ(lExpected.size(), 1920u * 1080 * 4);
    vthud_tool::Background lBackground;
    std::string lError;
    ASSERT_TRUE(lBackground.Open(dir + "/" + p.name, "", lError)) << lError;
    lBackground.PlanDraws({0, 1});
    vthost::Image lImage;
    ASSERT_TRUE(lBackground.ForDraw(0, 0, lImage, lError)) << lError;
    int lWrong = 0;
    for (int y = 0; y < 1080 && lWrong < 3; ++y)
      for (int x = 0; x < 1920 && lWrong < 3; ++x) {
        const uint8_t* lGot = Pixel(lImage, x, y);
        const uint8_t* lWant = reinterpret_cast<const uint8_t*>(lExpected.data()) + (size_t(y) * 1920 + x) * 4;
        if (std::equal(lGot, lGot + 4, lWant)) continue;
        ++lWrong;
        ADD_FAILURE() << "at " << x << ", " << y << ": expected " << int(lWant[0]) << " " << int(lWant[1]) << " "
                      << int(lWant[2]) << " " << int(lWant[3]) << ", observed " << int(lGot[0]) << " "
                      << int(lGot[1]) << " " << int(lGot[2]) << " " << int(lGot[3]);
      }
  }
}

TEST_F(MediaTest, EveryOutputReadsBackWithItsCodecTagsTimecodeAndFrames) {
  ASSERT_TRUE(
      Shell("ffmpeg -v error -f lavfi -i testsrc2=s=640x360:r=24 -frames:v 6 -c:v prores_ks "
            "-timecode 10:00:00:00 plate.mov"));
  struct Output {
    std::string name, codec, pixels, timecode;
  };
  const Output kOutputs[] = {{"hud.mov", "prores", "yuva444p12le", "10:00:00:00"},
                             {"hud.mp4", "h264", "yuv420p", "10:00:00:00"}};
  for (const Output& o : kOutputs) {
    SCOPED_TRACE(o.name);
    const Result r = Tool({"--frames", "0:5", "--fps", "24", "--background", dir + "/plate.mov", "--camera-source",
                           "from-background", "--out", dir + "/" + o.name});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string lFile = dir + "/" + o.name;
    EXPECT_EQ(Probe(lFile, "stream=codec_name,pix_fmt,color_space,color_primaries,color_transfer,color_range"),
              o.codec + "\n" + o.pixels + "\ntv\nbt709\nbt709\nbt709");
    EXPECT_EQ(Probe(lFile, "stream=nb_read_frames"), "6");
    EXPECT_EQ(Probe(lFile, "stream_tags=timecode"), o.timecode);
    EXPECT_EQ(Probe(lFile, "stream=r_frame_rate"), "24/1");
  }
}

TEST_F(MediaTest, BadFilesAndUrlsAreRefusedInOneLineNamingThem) {
  ASSERT_TRUE(
      Shell("echo not a video > junk.mov && ffmpeg -v error -f lavfi -i testsrc2=s=640x360:r=24 "
            "-frames:v 24 -c:v prores_ks good.mov && head -c 3000 good.mov > cut.mov && touch afile"));
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case kCases[] = {
      {{"--background", dir + "/junk.mov", "--out", dir + "/a.png"},
       "cannot read background " + dir + "/junk.mov as an image or a video: "},
      {{"--background", dir + "/cut.mov", "--out", dir + "/b.png"}, dir + "/cut.mov"},
      {{"--frames", "0:2", "--out", dir + "/afile/c.mp4"},
       "cannot write " + dir + "/afile/c.mp4: Not a directory"},
      {{"--frames", "0:2", "--out", "srt://127.0.0.1:1?mode=bogus"}, "srt://127.0.0.1:1?mode=bogus"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    const Result r = Tool(c.arguments);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_FALSE(Shell("test -e a.png || test -e b.png || test -e afile/c.mp4"));
}

// Each road that once ran ffmpeg or ffprobe, run with neither on PATH and
// under strace: nothing is executed but the tool itself.
TEST_F(MediaTest, NoRunExecutesFfmpegOrFfprobe) {
  ASSERT_TRUE(
      Shell("ffmpeg -v error -f lavfi -i testsrc2=s=640x360:r=24 -frames:v 6 -c:v prores_ks "
            "-timecode 10:00:00:00 plate.mov && mkdir slog3 && ffmpeg -v error -f lavfi -i "
            "testsrc2=s=320x180 -frames:v 3 -start_number 0 -pix_fmt rgb48le slog3/plate_slog3.%d.tif && "
            "bash " +
            Quote(std::string(VTHUD_SOURCE_DIR) + "/scripts/show-config.sh") + " > show.ocio"));
  const std::string lTake = dir + "/take.mov";
  const std::vector<std::vector<std::string>> kRuns = {
      {"--frames", "0:5", "--fps", "24", "--background", dir + "/plate.mov", "--out", dir + "/burn.mp4"},
      {"--frames", "0:2", "--background", dir + "/slog3/plate_slog3.%d.tif", "--ocio", dir + "/show.ocio", "--out",
       dir + "/managed.mov"},
      {"--frames", "0:5", "--chunk", "0:5", "--farm-dir", dir + "/parts", "--out", lTake},
      {"--assemble", lTake, dir + "/parts/part.000000-000005.mov"},
      {"--frames", "0:2", "--out", "udp://127.0.0.1:9?pkt_size=1316"},
  };
  const bool lStrace = access("/usr/bin/strace", X_OK) == 0;
  for (const auto& lRun : kRuns) {
    SCOPED_TRACE(lRun.back());
    // LeakSanitizer cannot run under a tracer: off for these runs alone in a sanitized build.
    const std::string lPrefix =
        "PATH=/nonexistent" +
        (lStrace ? " ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" /usr/bin/strace -f -qq -e trace=execve -o " +
                       Quote(dir + "/execve")
                 : std::string());
    const Result r = Tool(lRun, lPrefix);
    ASSERT_EQ(r.status, 0) << r.err;
    if (!lStrace) continue;
    const std::string lCalls = Slurp(dir + "/execve");
    EXPECT_EQ(lCalls.find("ffmpeg"), std::string::npos) << lCalls;
    EXPECT_EQ(lCalls.find("ffprobe"), std::string::npos) << lCalls;
  }
  EXPECT_EQ(Probe(lTake, "stream=nb_read_frames"), "6");
}

}  // namespace

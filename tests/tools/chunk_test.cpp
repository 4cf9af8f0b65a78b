// A run cut into chunks, as a farm draws it: each chunk's frames against the
// same frames of one whole run, video parts joined without re-encoding
// against one continuous video, the farm's refusals, and a real Slurm
// cluster where one answers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "png_image.h"
#include "tool_fixture.h"

namespace {

using vthud_test::Quote;
using vthud_test::Result;
using vthud_test::Slurp;
using vthud_test::ToolTest;

class ChunkTest : public ToolTest {
 protected:
  bool Shell(const std::string& pLine) { return system(("cd " + Quote(dir) + " && " + pLine).c_str()) == 0; }

  // Frames pFirst to pLast of the image sequence pPattern in folder pA
  // against the same files in pB; the first that differs, or "".
  std::string FirstDifference(const std::string& pA, const std::string& pB, long long pFirst, long long pLast) {
    for (long long f = pFirst; f <= pLast; ++f) {
      char lName[32];
      snprintf(lName, sizeof lName, "/h.%04lld.png", f);
      vthost::Image a = Png(pA + lName), b = Png(pB + lName);
      if (a.rgba.empty() || a.rgba != b.rgba) return "frame " + std::to_string(f);
    }
    return std::string();
  }

  // One line of a video's ffprobe entries, "" when absent.
  std::string Probe(const std::string& pFile, const std::string& pEntries) {
    if (!Shell("ffprobe -v error -count_packets -select_streams v:0 -show_entries " + pEntries +
               " -of default=nw=1:nk=1 " + Quote(pFile) + " > probe.txt"))
      return std::string();
    std::string lText = Slurp(dir + "/probe.txt");
    while (!lText.empty() && lText.back() == '\n') lText.pop_back();
    return lText;
  }

  // The frames' presentation times, in order, in thirtieths of a second
  // after the first; -1 for one that falls between.
  std::vector<long long> Spacing(const std::string& pFile) {
    std::vector<double> lTimes;
    std::istringstream lText(Probe(pFile, "packet=pts_time"));
    for (std::string lLine; std::getline(lText, lLine);) lTimes.push_back(atof(lLine.c_str()));
    std::sort(lTimes.begin(), lTimes.end());
    std::vector<long long> lFrames;
    for (double t : lTimes) {
      const double lFrame = (t - lTimes.front()) * 30.0;
      lFrames.push_back(std::fabs(lFrame - std::round(lFrame)) < 1e-3 ? std::llround(lFrame) : -1);
    }
    return lFrames;
  }

  // A recording as a tracker sends it: timecode from 01:00:00:00, a zoom
  // from 24 to 71.5 mm, rolling from frame pRolls.
  void WriteTake(const std::string& pName, int pFrames, int pRolls) {
    std::ofstream lFile(dir + "/" + pName);
    for (int i = 0; i < pFrames; ++i)
      lFile << R"({"timing": {"sampleRate": {"num": 30, "denom": 1}, "timecode": {"hours": 1, "minutes": 0, )"
            << R"("seconds": )" << i / 30 << R"(, "frames": )" << i % 30
            << R"(, "format": {"frameRate": {"num": 30, "denom": 1}}}}, "lens": {"pinholeFocalLength": )"
            << 24 + i * 0.5 << R"(, "fStop": 2.8}, "tracker": {"recording": )" << (i >= pRolls ? "true" : "false")
            << R"(, "slate": "A012_T3"}})"
            << "\n";
  }
};

// Every state a frame carries into the next: a chunk's frames, drawn alone,
// equal the whole run's, whatever the chunk boundary falls on.
TEST_F(ChunkTest, EveryChunkEqualsTheSameFramesOfTheWholeRun) {
  ASSERT_TRUE(
      Shell("mkdir plates && ffmpeg -v error -f lavfi -i testsrc2=s=320x180:r=30 -frames:v 96 "
            "-start_number 0 plates/p.%04d.png"));
  WriteTake("take.jsonl", 96, 40);
  const std::vector<std::string> kShown{"--set", "Show FPS=true",  "--set", "Show F-Stop=true",
                                        "--set", "Show Slate=true"};
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::vector<std::string> chunks;
  };
  const Case kCases[] = {
      {"plates, a tracking recording rolling at 40 with a zoom, a bound character timecode",
       {"--frames", "0:95", "--play", "0:95", "--background", dir + "/plates/p.%04d.png", "--tracking",
        dir + "/take.jsonl", "--character-source", "TimeCode=10:00:00:00"},
       {"0:39", "40:63", "64:95", "41:52"}},
      {"recording from 10 and again from 30, the frame rate's window closing on frame 24",
       {"--frames", "0:59", "--play", "0:59", "--record", "10:20", "--record", "30:59", "--clock-ms", "40"},
       {"0:9", "10:10", "11:24", "25:30", "31:42", "43:59"}},
      {"recording from the first frame, playing only from 120",
       {"--frames", "100:147", "--record", "100:147", "--play", "120:147"},
       {"100:119", "120:120", "121:147"}},
      {"the X bloop on the renderer road, a chunk starting in the flash",
       {"--road", "renderer", "--frames", "0:35", "--play", "0:35", "--record", "10:35", "--set",
        "Use X For Bloop=true"},
       {"0:14", "15:35"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> lWhole = c.arguments;
    lWhole.insert(lWhole.end(), kShown.begin(), kShown.end());
    ASSERT_TRUE(Shell("rm -rf whole chunk*"));
    lWhole.insert(lWhole.end(), {"--out", dir + "/whole/h.%04d.png"});
    const Result lRun = Tool(lWhole);
    ASSERT_EQ(lRun.status, 0) << lRun.err;
    for (size_t i = 0; i < c.chunks.size(); ++i) {
      const std::string lFolder = "chunk" + std::to_string(i);
      std::vector<std::string> lChunk = lWhole;
      lChunk.back() = dir + "/" + lFolder + "/h.%04d.png";
      lChunk.insert(lChunk.end(), {"--chunk", c.chunks[i]});
      const Result lPart = Tool(lChunk);
      ASSERT_EQ(lPart.status, 0) << lPart.err;
      long long lFirst = 0, lLast = 0;
      ASSERT_EQ(sscanf(c.chunks[i].c_str(), "%lld:%lld", &lFirst, &lLast), 2);
      EXPECT_EQ(FirstDifference("whole", lFolder, lFirst, lLast), "") << "chunk " << c.chunks[i];
      // Nothing outside the chunk is written.
      EXPECT_FALSE(Shell("test -e " + lFolder + "/h." + (lFirst > 0 ? "0000" : "9999") + ".png"));
    }
  }
}

// Parts of a ProRes run decode to the one-machine video's frames exactly; H.264
// parts, each starting on an IDR frame, within the encoder's usual error. The
// video plate is read from each chunk's own frame on.
TEST_F(ChunkTest, VideoPartsAssembleIntoTheWholeRunsVideo) {
  ASSERT_TRUE(
      Shell("ffmpeg -v error -f lavfi -i testsrc2=s=320x180:r=30 -frames:v 48 -c:v prores_ks "
            "-timecode 10:00:00:00 plate.mov"));
  const std::vector<std::string> kRun{"--frames",        "0:47",           "--play",       "0:47",
                                      "--record",        "20:47",          "--background", dir + "/plate.mov",
                                      "--camera-source", "from-background"};
  const char* const kChunks[] = {"0:15", "16:31", "32:47"};
  for (const std::string lKind : {"mov", "mp4"}) {
    SCOPED_TRACE(lKind);
    const std::string lOut = dir + "/take." + lKind, lParts = dir + "/parts-" + lKind;
    std::vector<std::string> lWhole = kRun;
    lWhole.insert(lWhole.end(), {"--out", dir + "/whole." + lKind});
    ASSERT_EQ(Tool(lWhole).status, 0);
    std::vector<std::string> lPartPaths;
    for (const char* lChunk : kChunks) {
      std::vector<std::string> lArguments = kRun;
      lArguments.insert(lArguments.end(), {"--out", lOut, "--farm-dir", lParts, "--chunk", lChunk});
      const Result r = Tool(lArguments);
      ASSERT_EQ(r.status, 0) << r.err;
      long long a = 0, b = 0;
      sscanf(lChunk, "%lld:%lld", &a, &b);
      char lName[64];
      snprintf(lName, sizeof lName, "/part.%06lld-%06lld.", a, b);
      lPartPaths.push_back(lParts + lName + lKind);
    }
    ASSERT_FALSE(Shell("ls " + Quote(lParts) + " | grep -q partial"));
    // A part of frames 0 to 15 cut short, as a task killed before the rename would never leave it.
    ASSERT_TRUE(Shell("ffmpeg -v error -i " + Quote(lPartPaths[1]) +
                      " -map 0:v -c copy -frames:v 10 -map_metadata 0 "
                      "-movflags use_metadata_tags " +
                      Quote(lParts + "/short." + lKind)));
    struct Refused {
      std::vector<std::string> parts;
      std::string message;
    };
    const Refused kRefused[] = {
        {{lPartPaths[0], lPartPaths[2]}, "the part of frames 16 to 31 is missing"},
        {{lPartPaths[0], lParts + "/short." + lKind, lPartPaths[2]}, "is short: 10 of its 16 frames (16 to 31)"},
        {{lPartPaths[0], lPartPaths[1]}, "the part of frames 32 to 47 is missing"},
        {{lPartPaths[0], dir + "/none." + lKind, lPartPaths[2]},
         "part 2 of 3: " + std::string(dir) + "/none." + lKind + " is missing"},
    };
    for (const Refused& lCase : kRefused) {
      std::vector<std::string> lArguments{"--assemble", lOut};
      lArguments.insert(lArguments.end(), lCase.parts.begin(), lCase.parts.end());
      const Result r = Tool(lArguments);
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find(lCase.message), std::string::npos) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_FALSE(Shell("test -e " + Quote(lOut)));
    }
    std::vector<std::string> lAssemble{"--assemble", lOut};
    lAssemble.insert(lAssemble.end(), lPartPaths.begin(), lPartPaths.end());
    const Result r = Tool(lAssemble);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Probe(lOut, "stream=nb_read_packets"), "48");
    EXPECT_EQ(Probe(lOut, "stream_tags=timecode"), "10:00:00:00");
    EXPECT_EQ(Probe(lOut, "stream=color_space,color_transfer,color_primaries"), "bt709\nbt709\nbt709");
    // Every frame a thirtieth of a second after the one before, as in the one-machine video.
    EXPECT_EQ(Spacing(lOut), Spacing(dir + "/whole." + lKind));
    EXPECT_EQ(Spacing(lOut).size(), 48u);
    if (lKind == "mov") {
      ASSERT_TRUE(
          Shell("ffmpeg -v error -i take.mov -f framemd5 - | grep -v '^#' | cut -d, -f2- > a.md5 && "
                "ffmpeg -v error -i whole.mov -f framemd5 - | grep -v '^#' | cut -d, -f2- > b.md5"));
      EXPECT_EQ(Slurp(dir + "/a.md5"), Slurp(dir + "/b.md5"));
    } else {
      ASSERT_TRUE(
          Shell("ffmpeg -v error -i take.mp4 -i whole.mp4 -lavfi "
                "'[0]settb=1/30,setpts=N[a];[1]settb=1/30,setpts=N[b];[a][b]psnr=stats_file=psnr.txt' "
                "-f null -"));
      std::ifstream lStats(dir + "/psnr.txt");
      std::string lLine;
      int lFrames = 0;
      while (std::getline(lStats, lLine)) {
        const size_t lAt = lLine.find("psnr_avg:");
        ASSERT_NE(lAt, std::string::npos);
        const double lPsnr = atof(lLine.c_str() + lAt + 9);
        EXPECT_GE(lPsnr, 45.0) << lLine;
        ++lFrames;
      }
      EXPECT_EQ(lFrames, 48);
    }
  }
}

// Writes pName as a program in folder pBin that logs its arguments to
// pBin/pName.log and runs pBody.
void FakeProgram(const std::string& pBin, const std::string& pName, const std::string& pBody) {
  std::ofstream lFile(pBin + "/" + pName);
  lFile << "#!/bin/bash\necho \"$@\" >> " << Quote(pBin + "/" + pName + ".log") << "\n" << pBody << "\n";
  lFile.close();
  chmod((pBin + "/" + pName).c_str(), 0755);
}

// Each refused in one line, nothing left submitted.
TEST_F(ChunkTest, FarmRefusalsAreOneLineAndLeaveNothingSubmitted) {
  ASSERT_TRUE(Shell("mkdir refuses accepts-once empty"));
  FakeProgram(dir + "/refuses", "sbatch", "echo 'sbatch: error: invalid partition specified: nights' >&2; exit 1");
  FakeProgram(dir + "/accepts-once", "sbatch",
              "if [ -e " + Quote(dir + "/accepted") +
                  " ]; then echo 'sbatch: error: QOSMaxSubmitJobPerUserLimit' >&2; "
                  "exit 1; fi; touch " +
                  Quote(dir + "/accepted") + "; echo 4242");
  FakeProgram(dir + "/accepts-once", "scancel", "exit 0");
  const std::string lRun = "--frames 0:9 --out " + dir + "/o/h.%04d.png";
  struct Case {
    std::string path, arguments, message;
  };
  const Case kCases[] = {
      {"", "--frames 0:9 --chunk 5:12", "--chunk 5:12 lies outside --frames 0:9"},
      {"", "--chunk 0:5", "give the whole run's --frames too"},
      {"", "--frames 0:9 --chunk 0:5 --save-layout l.json", "drop --save-scene, --save-layout"},
      {"", "--farm slurm --frame 3", "--farm splits a run: give its --frames"},
      {"", "--frames 0:9 --chunk 0:5 --tracking udp://127.0.0.1:9",
       "a live tracker or stream is drawn as it comes"},
      {"", "--farm condor --frames 0:9", "--farm expects slurm, got 'condor'"},
      {"", "--frames 0:9 --chunk-size 5", "go with --farm slurm"},
      {"", "--farm slurm " + lRun + " --background missing/p.%04d.png",
       "--background missing/p.%04d.png cannot be reached"},
      {"", "--assemble x.mov", "expects the parts to join"},
      // Names too short for the extension they are read by.
      {"", "--assemble a.mp part.mov", "--assemble joins video parts into a .mov or an .mp4, got 'a.mp'"},
      {"", "--frames 0:9 --chunk 0:4 --out a", "--out expects a .png, an image-sequence pattern"},
      {dir + "/empty", "--farm slurm " + lRun, "no sbatch on PATH"},
      {dir + "/refuses:/usr/bin:/bin", "--farm slurm " + lRun + " --farm-option=--partition=nights",
       "sbatch refused the chunks' job: sbatch failed with exit status 1: sbatch: error: invalid partition "
       "specified: "
       "nights"},
      {dir + "/accepts-once:/usr/bin:/bin", "--farm slurm --frames 0:9 --out " + dir + "/o.mov",
       "sbatch refused the assembly job: sbatch failed with exit status 1: sbatch: error: "
       "QOSMaxSubmitJobPerUserLimit; the chunks' job 4242 was cancelled"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.arguments);
    const Result r = Tool({}, (c.path.empty() ? "" : "PATH=" + Quote(c.path)) + " /bin/bash -c " +
                                  Quote("cd " + Quote(dir) + " && exec \"$0\" " + c.arguments));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(Slurp(dir + "/accepts-once/scancel.log"), "4242\n");
  EXPECT_FALSE(Shell("test -e o/h.0000.png"));
  // A dry run writes the scripts and submits nothing.
  const Result r =
      Tool({}, "PATH=" + Quote(dir + "/refuses:/usr/bin:/bin") + " /bin/bash -c " +
                   Quote("cd " + Quote(dir) + " && exec \"$0\" --farm slurm --farm-dry-run --chunk-size 4 " +
                         "--frames 0:9 --out o.mov --farm-option=--partition=nights"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("--partition=nights' '--array=0-2' '" + dir + "/o.mov.farm/chunks.sh'"), std::string::npos)
      << r.out;
  EXPECT_NE(
      r.out.find("'--dependency=afterok:JOBID' '--kill-on-invalid-dep=yes' '" + dir + "/o.mov.farm/assemble.sh'"),
      std::string::npos);
  EXPECT_NE(Slurp(dir + "/o.mov.farm/chunks.sh").find("CHUNKS=( 0:3 4:7 8:9 )"), std::string::npos);
  EXPECT_NE(Slurp(dir + "/o.mov.farm/chunks.sh").find("'--out' '" + dir + "/o.mov'"), std::string::npos);
  // Only the refused submission ever reached sbatch.
  EXPECT_EQ(Slurp(dir + "/refuses/sbatch.log"),
            "--parsable --partition=nights --array=0 " + dir + "/o/h.png.farm/chunks.sh\n");
}

// The job ids a farm run printed ("as job N").
std::vector<std::string> JobIds(const std::string& pOut) {
  std::vector<std::string> lIds;
  for (size_t lAt = pOut.find("as job "); lAt != std::string::npos; lAt = pOut.find("as job ", lAt + 1)) {
    const size_t lStart = lAt + 7;
    lIds.push_back(pOut.substr(lStart, pOut.find_first_not_of("0123456789", lStart) - lStart));
  }
  return lIds;
}

// Waits until Slurm lists none of pIds as pending or running.
bool WaitForJobs(const std::vector<std::string>& pIds) {
  std::string lList;
  for (const std::string& lId : pIds) lList += (lList.empty() ? "" : ",") + lId;
  for (int i = 0; i < 1200; ++i) {
    FILE* lQueue = popen(("squeue -h -o %i -j " + lList + " 2>/dev/null").c_str(), "r");
    char lLine[256];
    const bool lListed = lQueue && fgets(lLine, sizeof lLine, lQueue) != nullptr;
    if (lQueue) pclose(lQueue);
    if (!lListed) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return false;
}

// On a real cluster (CI's one node): a ProRes plate take in chunks of 25
// assembles into the one-machine video; a broken plate keeps the assembly
// from writing, its chunk's log names it, and once it is mended the same
// command redoes that chunk alone.
TEST_F(ChunkTest, SlurmFarmRunEqualsTheOneMachineRunAndResumesAfterABrokenPlate) {
  if (system("timeout 20 sinfo -h -o %a >/dev/null 2>&1") != 0) {
    if (getenv("VTHUD_REQUIRE_SLURM"))
      FAIL() << "no Slurm cluster answers (sinfo), and VTHUD_REQUIRE_SLURM is set";
    GTEST_SKIP() << "no Slurm cluster answers (sinfo); scripts/farm-cluster.sh runs this test on one of its own";
  }
  ASSERT_TRUE(
      Shell("ffmpeg -v error -f lavfi -i testsrc2=s=320x180:r=30 -frames:v 96 -c:v prores_ks "
            "-timecode 10:00:00:00 plate.mov && mkdir plates && ffmpeg -v error -i plate.mov "
            "-start_number 0 plates/p.%04d.png"));
  auto Md5 = [&](const std::string& pVideo) {
    Shell("ffmpeg -v error -i " + Quote(pVideo) + " -f framemd5 - | grep -v '^#' | cut -d, -f2- > md5.txt");
    return Slurp(dir + "/md5.txt");
  };
  const std::vector<std::string> kTake{"--frames", "0:95",  "--play", "0:95",
                                       "--record", "40:95", "--set",  "Show FPS=true"};
  std::vector<std::string> lProRes = kTake;
  lProRes.insert(lProRes.end(), {"--background", dir + "/plate.mov", "--camera-source", "from-background"});
  std::vector<std::string> lWhole = lProRes;
  lWhole.insert(lWhole.end(), {"--out", dir + "/whole.mov"});
  ASSERT_EQ(Tool(lWhole).status, 0);
  lProRes.insert(lProRes.end(), {"--out", dir + "/farm.mov", "--farm", "slurm", "--chunk-size", "25"});
  Result r = Tool(lProRes);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("submitted 4 of 4 chunks"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("squeue -j "), std::string::npos) << r.out;
  ASSERT_EQ(JobIds(r.out).size(), 2u) << r.out;
  ASSERT_TRUE(WaitForJobs(JobIds(r.out)));
  ASSERT_TRUE(Shell("test -e farm.mov")) << Slurp(dir + "/farm.mov.farm/logs/assemble.log");
  EXPECT_EQ(Md5(dir + "/farm.mov"), Md5(dir + "/whole.mov"));
  EXPECT_EQ(Probe(dir + "/farm.mov", "stream_tags=timecode"), "10:00:00:00");

  // Plate 60 broken: its chunk (50 to 74) fails and nothing is assembled.
  ASSERT_TRUE(Shell("cp plates/p.0060.png good.png && head -c 700 /dev/urandom > plates/p.0060.png"));
  std::vector<std::string> lPlates = kTake;
  lPlates.insert(lPlates.end(), {"--background", dir + "/plates/p.%04d.png", "--out", dir + "/plates.mp4"});
  std::vector<std::string> lFarm = lPlates;
  lFarm.insert(lFarm.end(), {"--farm", "slurm", "--chunk-size", "25"});
  r = Tool(lFarm);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(WaitForJobs(JobIds(r.out)));
  EXPECT_FALSE(Shell("test -e plates.mp4"));
  EXPECT_NE(Slurp(dir + "/plates.mp4.farm/logs/chunk-2.log").find("the background plate of frame 60"),
            std::string::npos)
      << Slurp(dir + "/plates.mp4.farm/logs/chunk-2.log");
  ASSERT_TRUE(Shell("mv good.png plates/p.0060.png"));
  r = Tool(lFarm);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("submitted 1 of 4 chunks of frames 0 to 95 as job"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(array 2)"), std::string::npos) << r.out;
  ASSERT_TRUE(WaitForJobs(JobIds(r.out)));
  ASSERT_TRUE(Shell("test -e plates.mp4")) << Slurp(dir + "/plates.mp4.farm/logs/assemble.log");
  EXPECT_EQ(Probe(dir + "/plates.mp4", "stream=nb_read_packets"), "96");
}

}  // namespace

// A 300-frame take (playing, recording from frame 24) rendered by the preview
// tool's loop to an image sequence and to video, side by side in one run
// with the limit of this context: drawing the overlay and reading back
// 1920 x 1080 RGBA, nothing else. The serial case draws, reads and writes in
// turn on one thread, to show what overlapping buys; the premultiplied PNG
// case skips the writers' turn to straight alpha, to show what that costs. Counters: frames per
// second, the ratio to the limit measured first in the same run, and the
// process's CPU time per frame over all its threads (ffmpeg's is its own).
// Last, the tool's command against FFmpeg alone over 120 plates (see
// ToolAgainstFfmpeg).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "background.h"
#include "draw_plan.h"
#include "frame_sink.h"
#include "bench_context.h"
#include "headless_gl.h"
#include "host.h"
#include "options.h"
#include "sequence.h"
#include "straight_alpha.h"

namespace {

const long long kFrames = 300;
double gLimitFps = 0.0;

vthost::HeadlessGL* Context() { return BenchContext(); }

// CPU seconds of this process, every thread: unlike wall time on a shared
// machine, it shows what the writers' own work costs.
double ProcessCpuSeconds() {
  rusage lUsage{};
  getrusage(RUSAGE_SELF, &lUsage);
  return static_cast<double>(lUsage.ru_utime.tv_sec + lUsage.ru_stime.tv_sec) +
         static_cast<double>(lUsage.ru_utime.tv_usec + lUsage.ru_stime.tv_usec) * 1e-6;
}

std::string Scratch() {
  static std::string sDir = [] {
    char lTemplate[] = "/tmp/vthud-sequence-bench-XXXXXX";
    return std::string(mkdtemp(lTemplate) ? lTemplate : "/tmp");
  }();
  return sDir;
}

enum class Output { Limit, Serial, ImageSequence, ImageSequencePremultiplied, Mp4, Mov, Mp4OverPlates };

// 300 plates named take.0000.png to take.0299.png, all the bundled test picture.
std::string Plates() {
  static std::string sPattern = [] {
    const std::string lDir = Scratch() + "/plates";
    mkdir(lDir.c_str(), 0755);
    for (int i = 0; i < kFrames; ++i) {
      char lName[64];
      snprintf(lName, sizeof lName, "/plate.%04d.png", i);
      symlink(VTHUD_RESOURCES_DIR "/quill-hd.png", (lDir + lName).c_str());
    }
    return lDir + "/plate.%04d.png";
  }();
  return sPattern;
}

void RenderTake(benchmark::State& pState, Output pOutput) {
  Context();
  std::vector<std::string> lArguments{"bench", "--frames", "0:299", "--play", "0:299", "--record", "24:299"};
  vthud_tool::Options lOptions;
  std::string lError;
  vthud_tool::DrawPlan lPlan;
  if (!vthud_tool::ParseOptions(lArguments, lOptions, lError) || !lPlan.Build(lOptions, lError)) {
    pState.SkipWithError(lError.c_str());
    return;
  }
  const std::string lOut = Scratch() + (pOutput == Output::Mp4 || pOutput == Output::Mp4OverPlates ? "/take.mp4"
                                        : pOutput == Output::Mov                                   ? "/take.mov"
                                                                 : "/take.%04d.png");
  double lSeconds = 0.0, lCpuSeconds = 0.0;
  for (auto _ : pState) {
    pState.PauseTiming();
    auto lHost = std::make_unique<vthost::Host>();
    lHost->SetTimeMode(lOptions.timeMode);
    if (!lHost->LoadPlugin(VTHUD_PLUGIN_PATH, lError)) {
      pState.SkipWithError(lError.c_str());
      return;
    }
    FBComponent* lElement = lHost->Create("VTHUDElement", "hud", lError);
    vthost::Pane& lPane = lHost->AddPane(1920, 1080, nullptr, false);  // as the tool's
    lHost->DrawPane(lPane);                                            // the first frame builds the glyph textures
    vthud_tool::Background lBackground;
    if (pOutput == Output::Mp4OverPlates && !lBackground.Open(Plates(), "", lError)) {
      pState.SkipWithError(lError.c_str());
      return;
    }
    vthud_tool::VideoSettings lVideo;
    // The same PNGs without the turn to straight alpha, to show what it costs.
    lVideo.straightAlpha = pOutput != Output::ImageSequencePremultiplied;
    std::unique_ptr<vthud_tool::FrameSink> lSink;
    if (pOutput != Output::Limit) {
      lSink = vthud_tool::MakeSink(lOut, kFrames, false, lVideo, lError);
      if (!lSink || !lSink->Open(lError)) {
        pState.SkipWithError(lError.c_str());
        return;
      }
    }
    const auto lStart = std::chrono::steady_clock::now();
    const double lCpuStart = ProcessCpuSeconds();
    pState.ResumeTiming();
    if (pOutput == Output::Serial) {
      // One thread, in turn: set the frame, draw, read back, encode, write.
      for (long long i = 0; i < kFrames; ++i) {
        const vthud_tool::DrawState lState = lPlan.At(i);
        lHost->SetFrame(lState.frame);
        lHost->SetRecording(lState.recording);
        lHost->SetPlaying(lState.playing);
        lHost->SetSystemTimeMs(vthud_tool::ClockAtDraw(i, lOptions.clockNumerator, lOptions.clockDenominator));
        lHost->DrawPane(lPane);
        vthost::Image lFrame = lPane.ReadPixels();
        if (!lSink->Write(lFrame, lState.frame, lError)) break;
      }
      lSink->Close(lError);
    } else {
      vthud_tool::RunSettings lSettings;
      lSettings.clockNumerator = lOptions.clockNumerator;
      lSettings.clockDenominator = lOptions.clockDenominator;
      vthud_tool::RunReport lReport;
      if (!vthud_tool::RunSequence(*lHost, lElement, lPane, lPlan, lBackground, lSink.get(), lSettings, lReport,
                                   lError))
        pState.SkipWithError(lError.c_str());
    }
    pState.PauseTiming();
    lSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count();
    lCpuSeconds += ProcessCpuSeconds() - lCpuStart;
    lSink.reset();
    lHost.reset();
    pState.ResumeTiming();
  }
  const double lFps = static_cast<double>(kFrames * pState.iterations()) / lSeconds;
  pState.counters["fps"] = benchmark::Counter(lFps);
  pState.counters["cpu_ms_per_frame"] =
      benchmark::Counter(1000.0 * lCpuSeconds / static_cast<double>(kFrames * pState.iterations()));
  if (pOutput == Output::Limit)
    gLimitFps = lFps;
  else if (gLimitFps > 0.0)
    pState.counters["x_limit"] = benchmark::Counter(lFps / gLimitFps);
}

void BM_Take300_DrawAndReadBackOnly(benchmark::State& s) { RenderTake(s, Output::Limit); }
void BM_Take300_PngSequenceInSeries(benchmark::State& s) { RenderTake(s, Output::Serial); }
void BM_Take300_PngSequence(benchmark::State& s) { RenderTake(s, Output::ImageSequence); }
void BM_Take300_PngSequencePremultiplied(benchmark::State& s) {
  RenderTake(s, Output::ImageSequencePremultiplied);
}
void BM_Take300_Mp4(benchmark::State& s) { RenderTake(s, Output::Mp4); }
void BM_Take300_MovProRes4444(benchmark::State& s) { RenderTake(s, Output::Mov); }
void BM_Take300_Mp4OverPlateSequence(benchmark::State& s) { RenderTake(s, Output::Mp4OverPlates); }

// The writers' work on one default-overlay frame, alone: the turn to straight
// alpha, and the PNG encoding and file write it precedes. x_png is the turn's
// share of the PNG's cost, what it can take from a writer-bound sequence.
double gPngMs = 0.0;

vthost::Image DefaultOverlayFrame() {
  Context();
  vthost::Host lHost;
  std::string lError;
  vthost::Image lFrame;
  if (!lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError) || !lHost.Create("VTHUDElement", "hud", lError)) return lFrame;
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  lHost.DrawPane(lPane);
  return lPane.ReadPixels();
}

void BM_OneFrame_PngWrite(benchmark::State& pState) {
  const vthost::Image lFrame = DefaultOverlayFrame();
  std::string lError;
  const auto lStart = std::chrono::steady_clock::now();
  for (auto _ : pState)
    if (!vthost::WritePng(Scratch() + "/one.png", lFrame, lError, true)) pState.SkipWithError(lError.c_str());
  gPngMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - lStart).count() /
           static_cast<double>(pState.iterations());
}

void BM_OneFrame_StraightAlpha(benchmark::State& pState) {
  const vthost::Image lFrame = DefaultOverlayFrame();
  vthost::Image lCopy;
  double lMs = 0.0;
  for (auto _ : pState) {
    pState.PauseTiming();
    lCopy = lFrame;
    pState.ResumeTiming();
    const auto lStart = std::chrono::steady_clock::now();
    vthud_tool::ToStraightAlpha(lCopy);
    lMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - lStart).count();
  }
  lMs /= static_cast<double>(pState.iterations());
  if (gPngMs > 0.0) pState.counters["x_png"] = benchmark::Counter(lMs / gPngMs);
}

// The tool against FFmpeg alone, as a TD would compare them: the tool's
// command burning the default overlay over 120 plates (FFmpeg's testsrc2,
// 1920 x 1080), FFmpeg drawing the same fields, captions, mask and status
// with drawtext and drawbox, and FFmpeg only decoding and encoding the
// plates, all three with the tool's own encoder arguments. Each round runs
// the three in turn (rotating which goes first); the counters are medians
// over the rounds (VTHUD_BENCH_PAIRS, at least 3), the ratios the median of
// each round's ratio, and the load average over the run.
const int kPlates = 120;

double Median(std::vector<double> pValues) {
  std::sort(pValues.begin(), pValues.end());
  const size_t n = pValues.size();
  return n == 0 ? 0.0 : n % 2 ? pValues[n / 2] : (pValues[n / 2 - 1] + pValues[n / 2]) / 2;
}

double LoadAverage() {
  double lLoad = 0.0;
  if (FILE* lFile = fopen("/proc/loadavg", "r")) {
    if (fscanf(lFile, "%lf", &lLoad) != 1) lLoad = 0.0;
    fclose(lFile);
  }
  return lLoad;
}

// Wall seconds of one command, its output thrown away; below zero when it fails.
double WallSeconds(const std::vector<std::string>& pCommand) {
  std::string lLine;
  for (const std::string& lPart : pCommand) {
    lLine += " '";
    for (char c : lPart) lLine += c == '\'' ? std::string("'\\''") : std::string(1, c);
    lLine += "'";
  }
  const auto lStart = std::chrono::steady_clock::now();
  const int lStatus = system((lLine + " >/dev/null 2>&1").c_str());
  const double lSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count();
  return lStatus == 0 ? lSeconds : -1.0;
}

// The plates (plates/p.0000.png ...) and, for the video-plate case, the same
// frames as a ProRes 422 HQ .mov tagged BT.709, as cameras write HD.
std::string TestsrcPlates(bool pProResPlate) {
  static const std::string sDir = [] {
    const std::string lDir = Scratch() + "/testsrc";
    mkdir(lDir.c_str(), 0755);
    system(("ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=30 -frames:v " + std::to_string(kPlates) +
            " -start_number 0 '" + lDir + "/p.%04d.png'")
               .c_str());
    system(("ffmpeg -v error -y -framerate 30 -start_number 0 -i '" + lDir +
            "/p.%04d.png' -vf scale=out_color_matrix=bt709:out_range=tv -colorspace bt709 -color_primaries bt709 "
            "-color_trc bt709 -color_range tv -c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le -bsf:v "
            "prores_metadata=color_primaries=bt709:color_trc=bt709:colorspace=bt709 '" +
            lDir + "/plate.mov'")
               .c_str());
    return lDir;
  }();
  return sDir + (pProResPlate ? "/plate.mov" : "/p.%04d.png");
}

// FFmpeg's drawing of the default overlay's fields: the frame number, the
// scene timecode counting, the character and camera timecodes, the record
// status, focal length and take, their captions, the two mask bars and the
// timeline's frame.
std::string DrawtextChain() {
  const std::string lValue =
      "drawtext=fontfile=" VTHUD_RESOURCES_DIR "/OratorStd.otf:fontsize=48:fontcolor=white:";
  const std::string lLabel = "drawtext=fontfile=" VTHUD_RESOURCES_DIR "/Arial.ttf:fontsize=16:fontcolor=white:";
  return "drawbox=x=0:y=0:w=iw:h=130:color=black@0.5:t=fill,drawbox=x=0:y=950:w=iw:h=130:color=black@0.5:t=fill,"
         "drawbox=x=10:y=968:w=1900:h=20:color=white@0.6:t=2," +
         lValue + R"(x=10:y=1020:text='%{eif\:n\:d\:5}',)" + lValue +
         R"(x=200:y=1020:timecode='00\:00\:00\:00':rate=30,)" + lValue + R"(x=500:y=1020:text='00\:00\:00\:00',)" +
         lValue + R"(x=800:y=1020:text='00\:00\:00\:00',)" +
         "drawtext=fontfile=" VTHUD_RESOURCES_DIR
         "/OratorStd.otf:fontsize=48:fontcolor=red:x=1720:y=1020:text='REC'," +
         lValue + "x=10:y=5:text='21.4'," + lValue + "x=760:y=5:text='Take 001'," + lLabel +
         "x=14:y=1062:text='FRAME'," + lLabel + "x=204:y=1062:text='SCENE'," + lLabel +
         "x=504:y=1062:text='CHARACTER'," + lLabel + "x=804:y=1062:text='CAMERA'," + lLabel +
         "x=14:y=50:text='FOCAL LENGTH'," + lLabel + "x=764:y=50:text='FQN'";
}

// ffmpeg's arguments for the encoder the tool's video writer sets up: BT.709
// YUV in limited range, tagged, ProRes 4444 or H.264 at its settings.
std::vector<std::string> EncoderArguments(bool pProRes, int pFps) {
  std::vector<std::string> lArguments{"-vf",
                                      "scale=out_color_matrix=bt709:out_range=tv",
                                      "-colorspace",
                                      "bt709",
                                      "-color_range",
                                      "tv",
                                      "-color_primaries",
                                      "bt709",
                                      "-color_trc",
                                      "bt709"};
  if (pProRes)
    lArguments.insert(lArguments.end(),
                      {"-c:v", "prores_aw", "-profile:v", "4", "-pix_fmt", "yuva444p10le", "-bsf:v",
                       "prores_metadata=color_primaries=bt709:color_trc=bt709:colorspace=bt709"});
  else
    lArguments.insert(lArguments.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt",
                                         "yuv420p", "-g", std::to_string(pFps)});
  lArguments.insert(lArguments.end(), {"-movflags", "+frag_keyframe+empty_moov"});
  return lArguments;
}

void ToolAgainstFfmpeg(benchmark::State& pState, bool pProResPlate, bool pProResOut) {
  const std::string lPlates = TestsrcPlates(pProResPlate);
  const std::string lOut = Scratch() + (pProResOut ? "/vs.mov" : "/vs.mp4");
  const std::vector<std::string> lEncoder = EncoderArguments(pProResOut, 30);
  std::vector<std::string> lInput{"ffmpeg", "-v", "error", "-y"};
  if (pProResPlate)
    lInput.insert(lInput.end(), {"-i", lPlates});
  else
    lInput.insert(lInput.end(), {"-framerate", "30", "-start_number", "0", "-i", lPlates});
  std::vector<std::string> lAlone = lInput, lDrawtext = lInput;
  lAlone.insert(lAlone.end(), lEncoder.begin(), lEncoder.end());
  lAlone.push_back(lOut);
  lDrawtext.insert(lDrawtext.end(), lEncoder.begin(), lEncoder.end());
  lDrawtext.push_back(lOut);
  for (size_t i = 0; i + 1 < lDrawtext.size(); ++i)
    if (lDrawtext[i] == "-vf") lDrawtext[i + 1] = DrawtextChain() + "," + lDrawtext[i + 1];
  const std::string lLast = std::to_string(kPlates - 1);
  // VTHUD_BENCH_TOOL times another build of the tool (an older one, say) the same way.
  const char* const lToolPath = getenv("VTHUD_BENCH_TOOL");
  const std::vector<std::string> lTool{lToolPath ? lToolPath : VTHUD_PREVIEW_TOOL,
                                       "--frames",
                                       "0:" + lLast,
                                       "--play",
                                       "0:" + lLast,
                                       "--record",
                                       "24:" + lLast,
                                       "--background",
                                       lPlates,
                                       "--out",
                                       lOut};
  const std::vector<std::string>* const lCommands[] = {&lTool, &lDrawtext, &lAlone};
  const char* const lEnv = getenv("VTHUD_BENCH_PAIRS");
  const int lRounds = std::max(3, lEnv ? atoi(lEnv) : 3);
  std::vector<double> lSeconds[3], lToDrawtext, lToAlone;
  double lLoad = 0.0;
  for (auto _ : pState) {
    for (int r = 0; r < lRounds; ++r) {
      double lRound[3];
      for (int k = 0; k < 3; ++k) {
        const int c = (r + k) % 3;
        lLoad += LoadAverage();
        lRound[c] = WallSeconds(*lCommands[c]);
        if (lRound[c] < 0) {
          pState.SkipWithError((lCommands[c]->front() + " failed over " + lPlates).c_str());
          return;
        }
        lSeconds[c].push_back(lRound[c]);
      }
      lToDrawtext.push_back(lRound[0] / lRound[1]);
      lToAlone.push_back(lRound[0] / lRound[2]);
      printf("round %d over %s: tool %.2f s, drawtext %.2f s, decode and encode alone %.2f s (load %.1f)\n", r + 1,
             lPlates.c_str(), lRound[0], lRound[1], lRound[2], LoadAverage());
    }
  }
  pState.counters["tool_s"] = Median(lSeconds[0]);
  pState.counters["drawtext_s"] = Median(lSeconds[1]);
  pState.counters["ffmpeg_alone_s"] = Median(lSeconds[2]);
  pState.counters["x_drawtext"] = Median(lToDrawtext);
  pState.counters["x_alone"] = Median(lToAlone);
  pState.counters["load"] = lLoad / (3.0 * lRounds);
}

// Seconds from a command's start until pFile exists and is not empty (its
// first frame written), and until the command ends; below zero when it fails.
std::pair<double, double> FirstFileAndEnd(const std::vector<std::string>& pCommand, const std::string& pFile) {
  unlink(pFile.c_str());
  std::string lLine;
  for (const std::string& lPart : pCommand) lLine += " '" + lPart + "'";
  const auto lStart = std::chrono::steady_clock::now();
  FILE* lRun = popen((lLine + " >/dev/null 2>&1; echo done").c_str(), "r");
  if (!lRun) return {-1.0, -1.0};
  double lFirst = -1.0;
  struct stat lInfo;
  while (lFirst < 0) {
    if (stat(pFile.c_str(), &lInfo) == 0 && lInfo.st_size > 0)
      lFirst = std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count();
    else if (std::chrono::steady_clock::now() - lStart > std::chrono::seconds(120))
      break;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  char lDone[16] = {0};
  const bool lEnded = fgets(lDone, sizeof lDone, lRun) != nullptr;
  pclose(lRun);
  const double lEnd = std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count();
  return {lFirst, lEnded ? lEnd : -1.0};
}

// Short runs, where a run's start is most of its cost: one frame over the
// ProRes plate to an .mp4 against the same frame to a PNG with no plate, and
// a 25-frame chunk at the end of a run over that plate (to PNGs, so that its
// first frame shows on disk as it is written). Rounds rotate the order; the
// counters are medians. VTHUD_BENCH_TOOL times another build the same way.
void BM_ShortRuns_OneFrameAndAChunk(benchmark::State& pState) {
  const std::string lPlate = TestsrcPlates(true);
  const char* const lToolPath = getenv("VTHUD_BENCH_TOOL");
  const std::string lTool = lToolPath ? lToolPath : VTHUD_PREVIEW_TOOL;
  const std::string lLast = std::to_string(kPlates - 1), lChunk = std::to_string(kPlates - 25) + ":" + lLast;
  const std::vector<std::string> lOverPlate{
      lTool, "--frames", "0:0", "--fps", "30", "--background", lPlate, "--out", Scratch() + "/one.mp4"};
  const std::vector<std::string> lNoPlate{lTool, "--frames", "0:0", "--out", Scratch() + "/one-alone.png"};
  const std::vector<std::string> lChunkRun{lTool,
                                           "--frames",
                                           "0:" + lLast,
                                           "--fps",
                                           "30",
                                           "--chunk",
                                           lChunk,
                                           "--background",
                                           lPlate,
                                           "--out",
                                           Scratch() + "/chunk.%04d.png"};
  char lFirstName[64];
  snprintf(lFirstName, sizeof lFirstName, "/chunk.%04d.png", kPlates - 25);
  const char* const lEnv = getenv("VTHUD_BENCH_PAIRS");
  const int lRounds = std::max(3, lEnv ? atoi(lEnv) : 3);
  std::vector<double> lMp4, lPng, lRatio, lChunkFirstFrame, lChunkAll;
  for (auto _ : pState) {
    for (int r = 0; r < lRounds; ++r) {
      const double a = r % 2 ? WallSeconds(lNoPlate) : WallSeconds(lOverPlate);
      const double b = r % 2 ? WallSeconds(lOverPlate) : WallSeconds(lNoPlate);
      const double lMp4Seconds = r % 2 ? b : a, lPngSeconds = r % 2 ? a : b;
      const std::pair<double, double> lChunkSeconds = FirstFileAndEnd(lChunkRun, Scratch() + lFirstName);
      if (lMp4Seconds < 0 || lPngSeconds < 0 || lChunkSeconds.second < 0) {
        pState.SkipWithError("a short run failed");
        return;
      }
      lMp4.push_back(lMp4Seconds);
      lPng.push_back(lPngSeconds);
      lRatio.push_back(lMp4Seconds / lPngSeconds);
      lChunkFirstFrame.push_back(lChunkSeconds.first);
      lChunkAll.push_back(lChunkSeconds.second);
      printf(
          "round %d: one frame over the plate to .mp4 %.2f s, to PNG with no plate %.2f s (%.2fx); 25-frame "
          "chunk: first frame at %.2f s, done at %.2f s (load %.1f)\n",
          r + 1, lMp4Seconds, lPngSeconds, lMp4Seconds / lPngSeconds, lChunkSeconds.first, lChunkSeconds.second,
          LoadAverage());
    }
  }
  pState.counters["one_frame_mp4_s"] = Median(lMp4);
  pState.counters["one_frame_png_s"] = Median(lPng);
  pState.counters["x_png"] = Median(lRatio);
  pState.counters["chunk_first_frame_s"] = Median(lChunkFirstFrame);
  pState.counters["chunk_s"] = Median(lChunkAll);
}

void BM_Plates120_PngToH264_ToolVsFfmpeg(benchmark::State& s) { ToolAgainstFfmpeg(s, false, false); }
void BM_Plates120_PngToProRes4444_ToolVsFfmpeg(benchmark::State& s) { ToolAgainstFfmpeg(s, false, true); }
void BM_Plates120_ProResMovToH264_ToolVsFfmpeg(benchmark::State& s) { ToolAgainstFfmpeg(s, true, false); }

}  // namespace

BENCHMARK(BM_OneFrame_PngWrite)->Unit(benchmark::kMillisecond)->Iterations(50)->UseRealTime();
BENCHMARK(BM_OneFrame_StraightAlpha)->Unit(benchmark::kMillisecond)->Iterations(200)->UseRealTime();
BENCHMARK(BM_Take300_DrawAndReadBackOnly)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Take300_PngSequenceInSeries)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Take300_PngSequence)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Take300_PngSequencePremultiplied)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Take300_Mp4)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Take300_MovProRes4444)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Take300_Mp4OverPlateSequence)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ShortRuns_OneFrameAndAChunk)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Plates120_PngToH264_ToolVsFfmpeg)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Plates120_PngToProRes4444_ToolVsFfmpeg)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Plates120_ProResMovToH264_ToolVsFfmpeg)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  system(("rm -rf '" + Scratch() + "'").c_str());
  return 0;
}

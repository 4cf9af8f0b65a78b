// A 300-frame take (playing, recording from frame 24) rendered by the preview
// tool's loop to an image sequence and to video, side by side in one run
// with the limit of this context: drawing the overlay and reading back
// 1920 x 1080 RGBA, nothing else. The serial case draws, reads and writes in
// turn on one thread, to show what overlapping buys; the premultiplied PNG
// case skips the writers' turn to straight alpha, to show what that costs. Counters: frames per
// second, the ratio to the limit measured first in the same run, and the
// process's CPU time per frame over all its threads (ffmpeg's is its own).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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
    vthost::Pane& lPane = lHost->AddPane(1920, 1080, nullptr);
    lHost->DrawPane(lPane);  // the first frame builds the glyph textures
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

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  system(("rm -rf '" + Scratch() + "'").c_str());
  return 0;
}

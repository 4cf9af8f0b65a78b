// Cost of one overlay frame through the viewer road, side by side on one
// headless context: an empty pane, the status field alone, the default
// overlay, every field, the save veil, 1, 4 and 16 elements, the fill limit
// of the context, and element creation. Ratios to the fill limit and the
// first-frame figures (first_frame.cpp) are printed after the run.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "allocation_count.h"
#include "bench_context.h"
#include "bench_support.h"
#include "hand_drawn_overlay.h"
#include "heap_census_report.h"
#include "headless_gl.h"
#include "host.h"

namespace {

vthost::HeadlessGL* Context() { return BenchContext(); }

double ThreadCpuSeconds() {
  timespec lNow;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &lNow);
  return lNow.tv_sec + lNow.tv_nsec * 1e-9;
}

// Wall and main-thread CPU microseconds per iteration, by benchmark name.
struct PerFrame {
  double wallUs = 0, cpuUs = 0;
};
std::map<std::string, PerFrame>& Results() {
  static std::map<std::string, PerFrame> sResults;
  return sResults;
}

// Times the loop body; the figures of the last (longest) run stand.
template <class Body>
void Timed(benchmark::State& pState, const std::string& pName, Body pBody) {
  const auto lStart = std::chrono::steady_clock::now();
  const double lCpuStart = ThreadCpuSeconds();
  for (auto _ : pState) pBody();
  const double lWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count();
  const double lCpu = ThreadCpuSeconds() - lCpuStart;
  const double n = static_cast<double>(pState.iterations());
  Results()[pName] = {lWall * 1e6 / n, lCpu * 1e6 / n};
}

void DrawFrames(benchmark::State& pState, const std::string& pName, vthud_bench::Overlay pOverlay, int pElements) {
  Context();
  vthost::Host lHost;
  std::string lError;
  vthost::PluginLibrary* lPlugin = lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError);
  if (!lPlugin) {
    pState.SkipWithError(lError.c_str());
    return;
  }
  for (int i = 0; pOverlay != vthud_bench::kNone && i < pElements; ++i) {
    FBComponent* lElement = lHost.Create("VTHUDElement", "hud", lError);
    if (!lElement) {
      pState.SkipWithError(lError.c_str());
      return;
    }
    vthud_bench::Configure(lElement, pOverlay);
  }
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  for (int f = 0; f < 300; f += 7) {  // every glyph the loop shows, drawn once
    lHost.SetFrame(f);
    lHost.DrawPane(lPane);
  }
  long long lFrame = 0;
  Timed(pState, pName, [&] {
    lHost.SetFrame(++lFrame % 300);
    lHost.DrawPane(lPane);
  });

  // Allocations, untimed: who asks for each on a warm redraw.
  const int kCounted = 50;
  vthost::StartAttributingAllocations(lPlugin->Symbol("LIBRARY_INIT"));
  for (int i = 0; i < kCounted; ++i) {
    lHost.SetFrame(++lFrame % 300);
    lHost.DrawPane(lPane);
  }
  const vthost::Allocations lCount = vthost::StopAttributingAllocations();
  pState.counters["plugin allocs/frame"] = static_cast<double>(lCount.plugin) / kCounted;
  pState.counters["host allocs/frame"] = static_cast<double>(lCount.host) / kCounted;

  vthost::StartHeapCensus(lPlugin->Symbol("LIBRARY_INIT"));
  for (int i = 0; i < kCounted; ++i) {
    lHost.SetFrame(++lFrame % 300);
    lHost.DrawPane(lPane);
  }
  const vthost::HeapCensus lCensus = vthost::StopHeapCensus();
  pState.counters["heap blocks/frame"] = static_cast<double>(lCensus.blocks) / kCounted;
  if (getenv("VTHUD_HEAP_CENSUS")) vthud_bench::PrintHeapCensus(pName, lCensus, kCounted);
}

// What the context can do at best per frame: clear the 1920 x 1080 RGBA
// target, blend one full-screen quad, wait for it.
void BM_FillLimit(benchmark::State& pState) {
  Context();
  vthost::Host lHost;
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  glBindFramebuffer(GL_FRAMEBUFFER, lPane.Framebuffer());
  glViewport(0, 0, 1920, 1080);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  Timed(pState, "fill limit", [&] {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glFinish();
  });
  glDisable(GL_BLEND);
}

// Pixels that differ between the element's default overlay and the hand-drawn one, at one frame.
long HandDrawnDifference(vthud_bench::HandDrawnOverlay& pOverlay) {
  vthost::Host lHost;
  std::string lError;
  if (!lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError) || !lHost.Create("VTHUDElement", "hud", lError)) return -1;
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  lHost.SetFrame(123);
  const vthost::Image lElement = lHost.DrawPane(lPane).ReadPixels();
  vthost::Pane& lOther = lHost.AddPane(1920, 1080, nullptr);
  pOverlay.DrawPane(lOther, 123);
  const vthost::Image lHand = lOther.ReadPixels();
  long lDiffering = 0;
  for (size_t i = 0; i + 3 < lHand.rgba.size() && i + 3 < lElement.rgba.size(); i += 4)
    lDiffering += lHand.rgba[i] != lElement.rgba[i] || lHand.rgba[i + 1] != lElement.rgba[i + 1] ||
                  lHand.rgba[i + 2] != lElement.rgba[i + 2] || lHand.rgba[i + 3] != lElement.rgba[i + 3];
  return lDiffering;
}

// The default overlay's pixels drawn by hand, straight GL and FTGL calls over
// fixed values, in the same pane.
void BM_HandDrawnDefaultOverlay(benchmark::State& pState) {
  Context();
  vthost::Host lHost;
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  vthud_bench::HandDrawnOverlay lOverlay;
  if (!lOverlay.Load()) {
    pState.SkipWithError("the bundled fonts did not load");
    return;
  }
  for (int f = 0; f < 300; f += 7) lOverlay.DrawPane(lPane, f);
  pState.counters["pixels unlike the element's"] = static_cast<double>(HandDrawnDifference(lOverlay));
  long long lFrame = 0;
  Timed(pState, "default overlay, hand-drawn", [&] { lOverlay.DrawPane(lPane, ++lFrame % 300); });
  vthost::StartHeapCensus(reinterpret_cast<const void*>(&Context));
  for (int i = 0; i < 50; ++i) lOverlay.DrawPane(lPane, ++lFrame % 300);
  const vthost::HeapCensus lCensus = vthost::StopHeapCensus();
  pState.counters["heap blocks/frame"] = static_cast<double>(lCensus.blocks) / 50;
  if (getenv("VTHUD_HEAP_CENSUS")) vthud_bench::PrintHeapCensus("hand-drawn", lCensus, 50);
}

void BM_CreateElement(benchmark::State& pState) {
  Context();
  vthost::Host lHost;
  std::string lError;
  if (!lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError)) {
    pState.SkipWithError(lError.c_str());
    return;
  }
  for (auto _ : pState) {
    FBComponent* lElement = lHost.Create("VTHUDElement", "hud", lError);
    pState.PauseTiming();
    lHost.Destroy(lElement);
    pState.ResumeTiming();
  }
}

void BM_PaneWithoutHUD(benchmark::State& s) { DrawFrames(s, "no HUD", vthud_bench::kNone, 0); }
void BM_PaneStatusOnly(benchmark::State& s) { DrawFrames(s, "status only", vthud_bench::kStatusOnly, 1); }
void BM_PaneDefaultOverlay(benchmark::State& s) { DrawFrames(s, "default overlay", vthud_bench::kDefault, 1); }
void BM_PaneEveryField(benchmark::State& s) { DrawFrames(s, "every field", vthud_bench::kEverything, 1); }
void BM_PaneSaveVeil(benchmark::State& s) { DrawFrames(s, "save veil", vthud_bench::kSaveVeil, 1); }
void BM_PaneDefaultOverlayElements(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  DrawFrames(s, "default overlay x" + std::to_string(n) + " elements", vthud_bench::kDefault, n);
}

void PrintRatios() {
  const auto& r = Results();
  auto lFill = r.find("fill limit");
  auto lHand = r.find("default overlay, hand-drawn");
  auto lEmpty = r.find("no HUD");
  if (lFill == r.end()) return;
  printf("\nPer frame (wall us, main-thread CPU us) and wall ratio to the fill limit (%.0f us):\n",
         lFill->second.wallUs);
  for (const auto& lEntry : r)
    printf("  %-40s %9.0f %9.0f  %5.2fx\n", lEntry.first.c_str(), lEntry.second.wallUs, lEntry.second.cpuUs,
           lEntry.second.wallUs / lFill->second.wallUs);
  auto lDefault = r.find("default overlay");
  if (lHand != r.end() && lDefault != r.end() && lEmpty != r.end()) {
    const double lOverlayCpu = lDefault->second.cpuUs - lEmpty->second.cpuUs;
    const double lHandCpu = lHand->second.cpuUs - lEmpty->second.cpuUs;
    printf("Main-thread CPU of the default overlay over an empty pane: %.0f us; hand-drawn: %.0f us; %.2fx\n",
           lOverlayCpu, lHandCpu, lOverlayCpu / lHandCpu);
  }
}

}  // namespace

BENCHMARK(BM_FillLimit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneWithoutHUD)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneStatusOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneDefaultOverlay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HandDrawnDefaultOverlay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneEveryField)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneSaveVeil)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneDefaultOverlayElements)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateElement)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // --no_first_frames skips the first-frame table (it takes a while).
  bool lFirstFrames = true;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--no_first_frames") {
      lFirstFrames = false;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Each first frame runs in a process of its own, before this one makes a context.
  if (lFirstFrames) vthud_bench::PrintFirstFrames();
  benchmark::RunSpecifiedBenchmarks();
  PrintRatios();
  benchmark::Shutdown();
  return 0;
}

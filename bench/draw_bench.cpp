// Cost of one overlay frame through the viewer road, side by side with an
// empty pane redraw, on the headless context. Counters: heap allocations per
// frame, across the plug-in and the host.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench_context.h"
#include "headless_gl.h"
#include "host.h"

namespace {
std::atomic<long> gAllocations{0};
}

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t pSize) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(pSize ? pSize : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

vthost::HeadlessGL* Context() { return BenchContext(); }

void Set(FBComponent* pObject, const char* pName, const char* pValue) {
  if (FBProperty* p = pObject->PropertyList.Find(pName)) p->SetString(pValue);
}

enum Overlay { kNone, kStatusOnly, kDefault, kEverything };

void DrawFrames(benchmark::State& pState, Overlay pOverlay) {
  Context();
  vthost::Host lHost;
  std::string lError;
  if (!lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError)) {
    pState.SkipWithError(lError.c_str());
    return;
  }
  FBComponent* lElement = pOverlay == kNone ? nullptr : lHost.Create("VTHUDElement", "hud", lError);
  if (lElement && pOverlay == kStatusOnly) {
    for (const char* lGate : {"Show Labels", "Show Timeline", "Show FQN", "Show Focal Length", "Show Scene Frame",
                              "Show Scene Timecode", "Show Character Timecode", "Show Camera Timecode"})
      Set(lElement, lGate, "false");
    Set(lElement, "Mask Color", "0 0 0 0");
  }
  if (lElement && pOverlay == kEverything) {
    for (const char* lGate : {"Show Slate", "Show FPS", "Show Reticle", "Show F-Stop", "Show Focus Distance",
                              "Show Camera Name", "Show Interoccular", "Show Convergence", "Show Value 1",
                              "Show Value 2", "Show Marker 1", "Show Marker 2", "Show Marker 3"})
      Set(lElement, lGate, "true");
    Set(lElement, "Marker 2 Frame", "100");
    Set(lElement, "Marker 2 Name", "Action");
  }
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  lHost.DrawPane(lPane);  // first frame builds the glyph textures
  long long lFrame = 0;
  const long lAllocationsBefore = gAllocations.load();
  for (auto _ : pState) {
    lHost.SetFrame(++lFrame % 300);
    lHost.DrawPane(lPane);
  }
  pState.counters["allocs/frame"] = benchmark::Counter(
      static_cast<double>(gAllocations.load() - lAllocationsBefore) / static_cast<double>(pState.iterations()));
}

void BM_PaneWithoutHUD(benchmark::State& s) { DrawFrames(s, kNone); }
void BM_PaneStatusOnly(benchmark::State& s) { DrawFrames(s, kStatusOnly); }
void BM_PaneDefaultOverlay(benchmark::State& s) { DrawFrames(s, kDefault); }
void BM_PaneEveryField(benchmark::State& s) { DrawFrames(s, kEverything); }

}  // namespace

BENCHMARK(BM_PaneWithoutHUD)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneStatusOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneDefaultOverlay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneEveryField)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

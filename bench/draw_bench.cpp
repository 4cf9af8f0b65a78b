// Cost of one overlay frame through the viewer road, side by side on one
// headless context: an empty pane, the status field alone, the default
// overlay, every field, the save veil, 1, 4 and 16 elements, the fill limit
// of the context, and element creation. Ratios to the fill limit and the
// first-frame figures (first_frame.cpp) are printed after the run.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
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
#include "heap_census_report.h"
#include "lean_overlay.h"
#include "headless_gl.h"
#include "host.h"
#include "property_edit.h"

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
  auto DrawCounted = [&] {
    for (int i = 0; i < kCounted; ++i) {
      lHost.SetFrame(++lFrame % 300);
      lHost.DrawPane(lPane);
    }
  };
  vthost::StartAttributingAllocations(lPlugin->Symbol("LIBRARY_INIT"));
  DrawCounted();
  const vthost::Allocations lCount = vthost::StopAttributingAllocations();
  pState.counters["plugin allocs/frame"] = static_cast<double>(lCount.plugin) / kCounted;
  pState.counters["host allocs/frame"] = static_cast<double>(lCount.host) / kCounted;

  vthost::StartHeapCensus(lPlugin->Symbol("LIBRARY_INIT"));
  DrawCounted();
  const vthost::HeapCensus lCensus = vthost::StopHeapCensus();
  pState.counters["heap blocks/frame"] = static_cast<double>(lCensus.blocks) / kCounted;
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

// Pixels that differ between two pane images.
long Differing(const vthost::Image& pA, const vthost::Image& pB) {
  if (pA.rgba.size() != pB.rgba.size()) return -1;
  long lDiffering = 0;
  for (size_t i = 0; i + 3 < pA.rgba.size(); i += 4)
    lDiffering += pA.rgba[i] != pB.rgba[i] || pA.rgba[i + 1] != pB.rgba[i + 1] ||
                  pA.rgba[i + 2] != pB.rgba[i + 2] || pA.rgba[i + 3] != pB.rgba[i + 3];
  return lDiffering;
}

// The element against the lean peer of the same pixels, side by side: the
// default overlay and every field on, each drawn by an element through the
// host's pane and by the peer, 30 frames at a time, 7 rounds, the four cases
// in rotated order; then the pixels at one frame and a heap census of each.
struct PeerCase {
  std::string name;
  double cpuUs = 0, wallUs = 0;
  long frames = 0;
  vthost::HeapCensus census;
  long differing = 0;
  std::string table;  // the census by caller, with VTHUD_HEAP_CENSUS set
};
std::vector<PeerCase>& PeerCases() {
  static std::vector<PeerCase> sCases;
  return sCases;
}

// --baseline PATH: another build of the plug-in (an earlier commit's), whose
// element runs beside this one as two more cases.
std::string& BaselinePlugin() {
  static std::string sPath;
  return sPath;
}

void BM_LeanPeer(benchmark::State& pState) {
  Context();
  vthost::Host lHost;
  std::string lError;
  vthost::PluginLibrary* lPlugin = lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError);
  vthost::PluginLibrary* lBaseline = nullptr;
  if (lPlugin && !BaselinePlugin().empty() && !(lBaseline = lHost.LoadPlugin(BaselinePlugin(), lError))) {
    pState.SkipWithError(lError.c_str());
    return;
  }
  // 0 and 1 this element (default, every field), 2 and 3 the baseline's.
  const int lElementCount = lBaseline ? 4 : 2;
  FBHUDElement* lElements[4] = {nullptr, nullptr, nullptr, nullptr};
  for (int i = 0; lPlugin && i < lElementCount; ++i) {
    if (i < 2) {
      lElements[i] = static_cast<FBHUDElement*>(lHost.Create("VTHUDElement", "hud", lError));
    } else {
      // Both libraries register the class under one name: the baseline's own create function.
      for (const auto& lClass : lBaseline->Classes())
        if (lClass.entry == "VTHUDElement") {
          lElements[i] = static_cast<FBHUDElement*>(FBGetFBObject(lClass.create(nullptr, "hud", nullptr)));
          lHost.Adopt(lElements[i]);
        }
    }
    if (lElements[i])
      vthud_bench::Configure(lElements[i], i % 2 ? vthud_bench::kEverything : vthud_bench::kDefault);
  }
  FBCamera* lCamera = lHost.Renderer().CurrentCamera.GetPropertyValue();
  vthud_bench::LeanOverlay lPeers[2];
  if (!lElements[0] || !lElements[1] || (lBaseline && (!lElements[2] || !lElements[3])) ||
      !lPeers[0].Load(false, lCamera, "Take 001") || !lPeers[1].Load(true, lCamera, "Take 001")) {
    pState.SkipWithError(lError.empty() ? "the peer did not load" : lError.c_str());
    return;
  }
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  vthost::Pane& lPeerPane = lHost.AddPane(1920, 1080, nullptr);
  auto Only = [&](int pElement) {
    for (int i = 0; i < lElementCount; ++i) lElements[i]->Show = i == pElement;
  };
  // Case c: 0 and 1 the element (default, every field), 2 and 3 the peer,
  // 4 and 5 the baseline's element.
  const int lCaseCount = lBaseline ? 6 : 4;
  long long lFrame = 0;
  auto Frame = [&](int pCase) {
    lHost.SetFrame(++lFrame % 300);
    if (pCase < 2 || pCase >= 4)
      lHost.DrawPane(lPane);
    else
      lPeers[pCase - 2].DrawPane(lPeerPane, lFrame % 300);
  };
  auto Prepare = [&](int pCase) {
    if (pCase < 2) Only(pCase);
    if (pCase >= 4) Only(pCase - 2);
  };
  std::vector<PeerCase> lCases(lCaseCount);
  lCases[0].name = "default overlay";
  lCases[1].name = "every field";
  lCases[2].name = "default overlay, lean peer";
  lCases[3].name = "every field, lean peer";
  if (lBaseline) {
    lCases[4].name = "default overlay, baseline";
    lCases[5].name = "every field, baseline";
  }
  for (int c = 0; c < lCaseCount; ++c) {  // warm: every glyph the loop shows, drawn once
    Prepare(c);
    for (int f = 0; f < 300; f += 7) Frame(c);
  }
  for (auto _ : pState) {
    for (int lRound = 0; lRound < 15; ++lRound)
      for (int k = 0; k < lCaseCount; ++k) {
        const int c = (lRound + k) % lCaseCount;
        Prepare(c);
        const auto lStart = std::chrono::steady_clock::now();
        const double lCpuStart = ThreadCpuSeconds();
        for (int i = 0; i < 30; ++i) Frame(c);
        lCases[c].cpuUs += (ThreadCpuSeconds() - lCpuStart) * 1e6;
        lCases[c].wallUs += std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count() * 1e6;
        lCases[c].frames += 30;
      }
  }
  for (int c = 0; c < lCaseCount; ++c) {
    Prepare(c);
    vthost::StartHeapCensus((c >= 4 ? lBaseline : lPlugin)->Symbol("LIBRARY_INIT"));
    for (int i = 0; i < 50; ++i) Frame(c);
    lCases[c].census = vthost::StopHeapCensus();
    if (getenv("VTHUD_HEAP_CENSUS"))
      lCases[c].table = vthud_bench::HeapCensusTable(lCases[c].name, lCases[c].census, 50);
  }
  // The pixels of a new element, whose frame-rate readout has not measured anything yet.
  for (int c = 0; c < 2; ++c) {
    Only(-1);
    FBComponent* lFresh = lHost.Create("VTHUDElement", "hud", lError);
    if (!lFresh) break;
    vthud_bench::Configure(lFresh, c ? vthud_bench::kEverything : vthud_bench::kDefault);
    lHost.SetFrame(123);
    const vthost::Image lElement = lHost.DrawPane(lPane).ReadPixels();
    lHost.Destroy(lFresh);
    lPeers[c].DrawPane(lPeerPane, 123);
    const vthost::Image lPeer = lPeerPane.ReadPixels();
    lCases[c].differing = lCases[c + 2].differing = Differing(lElement, lPeer);
    if (const char* lDump = getenv("VTHUD_PEER_DUMP")) {
      std::string lIgnored;
      vthost::WritePng(std::string(lDump) + "/element" + std::to_string(c) + ".png", lElement, lIgnored);
      vthost::WritePng(std::string(lDump) + "/peer" + std::to_string(c) + ".png", lPeer, lIgnored);
    }
    pState.counters[c ? "every field: pixels unlike the peer's" : "default: pixels unlike the peer's"] =
        static_cast<double>(lCases[c].differing);
  }
  PeerCases() = lCases;
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

// The frame lines element against the HUD element's default overlay, side by
// side in one host: each shown alone (and neither, the pane's own cost), 30
// frames at a time, 15 rounds in rotated order, the median round of each. The lines show the sample FDL's
// two decisions with labels, 90% action safe, thirds and the centre mark.
struct LinesCase {
  LinesCase(const char* pName, bool pHud, bool pLines, bool pLabels)
      : name(pName), hud(pHud), lines(pLines), labels(pLabels) {}
  const char* name;
  bool hud, lines, labels;
  double cpuUs = 0, wallUs = 0;
  long frames = 0;
  std::vector<double> roundCpuUs, roundWallUs;  // per frame, each round
  vthost::HeapCensus census;                    // over 50 frames, the lines plug-in's own counted apart
};
// The median of the rounds: a shared machine's bursts land in a few of them.
double Median(std::vector<double> pValues) {
  if (pValues.empty()) return 0;
  std::sort(pValues.begin(), pValues.end());
  return pValues[pValues.size() / 2];
}
std::vector<LinesCase>& LinesCases() {
  static std::vector<LinesCase> sCases;
  return sCases;
}

void BM_FrameLinesAgainstHud(benchmark::State& pState) {
  Context();
  vthost::Host lHost;
  std::string lError;
  FBHUDElement *lHud = nullptr, *lLines = nullptr;
  vthost::PluginLibrary* lLinesPlugin = nullptr;
  if (lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError) &&
      (lLinesPlugin = lHost.LoadPlugin(VTLINES_PLUGIN_PATH, lError)) != nullptr) {
    lHud = static_cast<FBHUDElement*>(lHost.Create("VTHUDElement", "hud", lError));
    lLines = static_cast<FBHUDElement*>(lHost.Create("VTFrameLines", "lines", lError));
  }
  if (!lHud || !lLines) {
    pState.SkipWithError(lError.c_str());
    return;
  }
  vthud_bench::Configure(lHud, vthud_bench::kDefault);
  const std::pair<const char*, const char*> lSettings[] = {{"FDL File", VTLINES_SAMPLE_FDL},
                                                           {"Action Safe %", "90"},
                                                           {"Show Thirds", "true"},
                                                           {"Show Centre Mark", "true"}};
  for (const auto& lSetting : lSettings)
    if (!vthost::SetPropertyFromText(lLines, lSetting.first, lSetting.second, lError)) {
      pState.SkipWithError(lError.c_str());
      return;
    }
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  std::vector<LinesCase>& lCases = LinesCases();
  lCases = {{"HUD default", true, false, false},
            {"frame lines", false, true, true},
            {"lines, no labels", false, true, false},
            {"empty pane", false, false, false}};
  long long lFrame = 0;
  auto Show = [&](const LinesCase& c) {
    lHud->Show = c.hud;
    lLines->Show = c.lines;
    lLines->PropertyList.Find("Show Labels")->SetString(c.labels ? "true" : "false");
  };
  for (const LinesCase& c : lCases) {  // warm: every glyph drawn once
    Show(c);
    for (int f = 0; f < 300; f += 7) {
      lHost.SetFrame(f);
      lHost.DrawPane(lPane);
    }
  }
  for (auto _ : pState)
    for (int lRound = 0; lRound < 15; ++lRound)
      for (size_t k = 0; k < lCases.size(); ++k) {
        LinesCase& c = lCases[(k + static_cast<size_t>(lRound)) % lCases.size()];
        Show(c);
        glFinish();
        const auto lStart = std::chrono::steady_clock::now();
        const double lCpuStart = ThreadCpuSeconds();
        for (int i = 0; i < 30; ++i) {
          lHost.SetFrame(++lFrame % 300);
          lHost.DrawPane(lPane);
        }
        glFinish();
        const double lCpuUs = (ThreadCpuSeconds() - lCpuStart) * 1e6;
        const double lWallUs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - lStart).count() * 1e6;
        c.cpuUs += lCpuUs;
        c.wallUs += lWallUs;
        c.frames += 30;
        c.roundCpuUs.push_back(lCpuUs / 30);
        c.roundWallUs.push_back(lWallUs / 30);
      }
  for (LinesCase& c : lCases) {
    Show(c);
    lHost.DrawPane(lPane);  // a change of labels is made on the first frame after it
    vthost::StartHeapCensus(lLinesPlugin->Symbol("LIBRARY_INIT"));
    for (int i = 0; i < 50; ++i) {
      lHost.SetFrame(++lFrame % 300);
      lHost.DrawPane(lPane);
    }
    c.census = vthost::StopHeapCensus();
    if (getenv("VTHUD_HEAP_CENSUS")) printf("%s", vthud_bench::HeapCensusTable(c.name, c.census, 50).c_str());
  }
}

void PrintRatios() {
  const auto& lLinesCases = LinesCases();
  if (lLinesCases.size() == 4 && lLinesCases[0].frames > 0) {
    printf(
        "\nThe frame lines element against the HUD's default overlay, one host, median of 15 rounds of 30 frames "
        "in rotated order (main-thread CPU and wall per frame; \"less the pane\" takes the empty pane's cost "
        "off):\n");
    auto Per = [](const LinesCase& c, double LinesCase::*pField) {
      return Median(pField == &LinesCase::cpuUs ? c.roundCpuUs : c.roundWallUs);
    };
    const LinesCase &h = lLinesCases[0], &e = lLinesCases[3];
    for (const LinesCase& c : lLinesCases)
      printf("  %-16s %8.0fus CPU %8.0fus wall %7.1f heap blocks (%.1f with the lines plug-in on the stack)\n",
             c.name, Per(c, &LinesCase::cpuUs), Per(c, &LinesCase::wallUs), c.census.blocks / 50.0,
             c.census.pluginBlocks / 50.0);
    for (const LinesCase* l : {&lLinesCases[1], &lLinesCases[2]})
      printf("  %s / HUD: %.2fx CPU, %.2fx wall; less the pane: %.2fx CPU, %.2fx wall\n", l->name,
             Per(*l, &LinesCase::cpuUs) / Per(h, &LinesCase::cpuUs),
             Per(*l, &LinesCase::wallUs) / Per(h, &LinesCase::wallUs),
             (Per(*l, &LinesCase::cpuUs) - Per(e, &LinesCase::cpuUs)) /
                 (Per(h, &LinesCase::cpuUs) - Per(e, &LinesCase::cpuUs)),
             (Per(*l, &LinesCase::wallUs) - Per(e, &LinesCase::wallUs)) /
                 (Per(h, &LinesCase::wallUs) - Per(e, &LinesCase::wallUs)));
  }
  const auto& r = Results();
  auto lFill = r.find("fill limit");
  if (lFill != r.end())
    printf("\nPer frame (wall us, main-thread CPU us) and wall ratio to the fill limit (%.0f us):\n",
           lFill->second.wallUs);
  for (const auto& lEntry : r)
    if (lFill != r.end())
      printf("  %-40s %9.0f %9.0f  %5.2fx\n", lEntry.first.c_str(), lEntry.second.wallUs, lEntry.second.cpuUs,
             lEntry.second.wallUs / lFill->second.wallUs);
  const auto& lCases = PeerCases();
  if (lCases.size() < 4) return;
  printf(
      "\nThe element against the lean peer, one run, 7 rounds of 30 frames in rotated order "
      "(main-thread CPU and wall per frame; heap blocks per warm frame over 50 frames):\n");
  printf("  %-16s %11s %11s %6s %9s %9s %6s %14s %11s %10s %7s\n", "overlay", "element CPU", "peer CPU", "ratio",
         "el. wall", "peer wall", "ratio", "element blocks", "of the host", "peer blocks", "pixels");
  for (int c = 0; c < 2; ++c) {
    const PeerCase& e = lCases[c];
    const PeerCase& p = lCases[c + 2];
    const double lCpu = e.cpuUs / e.frames, lPeerCpu = p.cpuUs / p.frames;
    const double lWall = e.wallUs / e.frames, lPeerWall = p.wallUs / p.frames;
    const long lHostOwn = e.census.blocks - e.census.pluginBlocks;
    printf("  %-16s %9.0fus %9.0fus %5.2fx %7.0fus %7.0fus %5.2fx %14.2f %11.2f %10.2f %7ld\n", e.name.c_str(),
           lCpu, lPeerCpu, lCpu / lPeerCpu, lWall, lPeerWall, lWall / lPeerWall, e.census.blocks / 50.0,
           lHostOwn / 50.0, p.census.blocks / 50.0, e.differing);
  }
  if (lCases.size() == 6) {
    printf("\nThe element against the baseline's (%s), same run:\n", BaselinePlugin().c_str());
    printf("  %-16s %11s %11s %6s %9s %9s %6s %14s %15s\n", "overlay", "element CPU", "base CPU", "ratio",
           "el. wall", "base wall", "ratio", "element blocks", "baseline blocks");
    for (int c = 0; c < 2; ++c) {
      const PeerCase& e = lCases[c];
      const PeerCase& b = lCases[c + 4];
      const double lCpu = e.cpuUs / e.frames, lBaseCpu = b.cpuUs / b.frames;
      const double lWall = e.wallUs / e.frames, lBaseWall = b.wallUs / b.frames;
      printf("  %-16s %9.0fus %9.0fus %5.2fx %7.0fus %7.0fus %5.2fx %14.2f %15.2f\n", e.name.c_str(), lCpu,
             lBaseCpu, lCpu / lBaseCpu, lWall, lBaseWall, lWall / lBaseWall, e.census.blocks / 50.0,
             b.census.blocks / 50.0);
    }
  }
  for (const PeerCase& c : lCases) printf("%s", c.table.c_str());
}

}  // namespace

BENCHMARK(BM_FillLimit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneWithoutHUD)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneStatusOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneDefaultOverlay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LeanPeer)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaneEveryField)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneSaveVeil)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaneDefaultOverlayElements)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateElement)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameLinesAgainstHud)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // --no_first_frames skips the first-frame table (it takes a while).
  bool lFirstFrames = true;
  // --baseline PATH adds an earlier build's element to the peer comparison.
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--baseline" && i + 1 < argc) {
      BaselinePlugin() = argv[i + 1];
      for (int j = i; j + 2 < argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      --i;
      continue;
    }
    if (std::string(argv[i]) == "--no_first_frames") {
      lFirstFrames = false;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      --i;
    }
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

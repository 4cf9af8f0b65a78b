#ifndef VTHUD_TOOLS_SEQUENCE_H
#define VTHUD_TOOLS_SEQUENCE_H
// The drawing loop: one persistent element drawn once per planned draw, the
// host's scene time, transport and system clock set before each, frames read
// back asynchronously and written by writer threads while the next is drawn.
#include <fbsdk/fbsdk.h>

#include <functional>
#include <string>

#include "background.h"
#include "draw_plan.h"
#include "frame_sink.h"
#include "host.h"

namespace vthud_tool {

struct RunSettings {
  // Host clock step per draw in milliseconds, as a fraction.
  long long clockNumerator = 100, clockDenominator = 3;
  int writerThreads = 0;  // 0: one per core
  int readbackDepth = 3;
  bool progress = false;
  // Asked after every draw; false (with a message) stops the run there.
  std::function<bool(std::string&)> checkDraw;
  // Called with the draw's index once the plan has set the host, before drawing.
  std::function<bool(long long, std::string&)> beforeDraw;
  // A chunk: only draws firstDraw to lastDraw (-1: the last) are drawn and
  // written, the element first brought to firstDraw as the whole run leaves it.
  long long firstDraw = 0, lastDraw = -1;
  // Each frame read back and handed to the writers as soon as it is drawn
  // (a live feed's clock: the next draw may be a frame away).
  bool handOffEachDraw = false;
};

struct RunReport {
  long long drawn = 0, written = 0;
  bool interrupted = false;
};

// Runs pPlan. pSink null reads every frame back and drops it (the limit a
// sink is measured against). Stops at the first error, or between frames
// when StopRequested(); in both cases what was written stays and the sink is
// closed. False with a one-line message naming the draw.
bool RunSequence(vthost::Host& pHost, FBComponent* pElement, vthost::Pane& pPane, const DrawPlan& pPlan,
                 Background& pBackground, FrameSink* pSink, const RunSettings& pSettings, RunReport& pReport,
                 std::string& pError);

// Sets the host for draw pIndex of a plan: scene frame, transport, clock,
// the draw's property changes, then pSettings.beforeDraw. False with a
// message naming the draw.
bool PrepareDraw(vthost::Host& pHost, FBComponent* pElement, const DrawState& pState, long long pIndex,
                 const RunSettings& pSettings, std::string& pError);

// The host clock in milliseconds at draw pIndex: one step after the last, the
// first one step after zero, so the first measured interval is a whole step.
long long ClockAtDraw(long long pIndex, long long pNumerator, long long pDenominator);

}  // namespace vthud_tool

#endif

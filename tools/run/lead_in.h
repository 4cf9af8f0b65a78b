#ifndef VTHUD_TOOLS_LEAD_IN_H
#define VTHUD_TOOLS_LEAD_IN_H
// A chunk's lead-in: the element made at the run's first draw is brought to
// the chunk's first draw as the whole run leaves it there, without drawing
// the frames before it, save the few whose drawing leaves something behind.
#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

#include "sequence.h"

namespace vthud_tool {

// The transport as the element reads it on one draw.
struct DrawnTransport {
  long long frame = 0;
  bool recording = false, playing = false;
};

// Which of the draws before a chunk must be drawn for the element to carry
// the whole run's state into it; the others only tick the host's clock.
// Drawing keeps the bloop's state (re-armed at the frame of each draw made
// while not recording, and ended by the first draw recording and playing
// pBloopDuration frames or more after it) and the text layer's strings (left
// by the last draw), so at most three draws are drawn. pDurationKnown false:
// every draw recording and playing since the bloop was last armed is drawn.
std::vector<bool> LeadInDraws(const std::vector<DrawnTransport>& pDraws, long long pBloopDuration,
                              bool pDurationKnown);

// Sets the host for draws 0 to pFirst - 1 of pPlan as the run would, raising
// the render-pipeline event for each (what the frame rate measures) and
// drawing into pPane only the draws LeadInDraws names. False with a message.
bool LeadIn(vthost::Host& pHost, FBComponent* pElement, vthost::Pane& pPane, const DrawPlan& pPlan,
            const RunSettings& pSettings, long long pFirst, std::string& pError);

}  // namespace vthud_tool

#endif

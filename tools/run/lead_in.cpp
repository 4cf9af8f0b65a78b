#include "lead_in.h"

#include <fbsdk_host/host_state.h>

namespace vthud_tool {

std::vector<bool> LeadInDraws(const std::vector<DrawnTransport>& pDraws, long long pBloopDuration,
                              bool pDurationKnown) {
  std::vector<bool> lDrawn(pDraws.size(), false);
  if (pDraws.empty()) return lDrawn;
  // The bloop forgets everything at a draw made while not recording; before
  // the first such draw it counts from frame 0, as the element starts.
  size_t lArmed = 0;
  long long lStart = 0;
  for (size_t i = pDraws.size(); i-- > 0;)
    if (!pDraws[i].recording) {
      lArmed = i;
      lStart = pDraws[i].frame;
      lDrawn[i] = true;
      break;
    }
  // After arming, the draws recording and playing light the flash, and only
  // the first of them at pBloopDuration frames or more ends it: the others
  // leave nothing behind. Without the duration, each is drawn.
  for (size_t i = lArmed; i < pDraws.size(); ++i) {
    if (!pDraws[i].recording || !pDraws[i].playing) continue;
    const bool lEnds = pDraws[i].frame - lStart >= pBloopDuration;
    if (!pDurationKnown || lEnds) lDrawn[i] = true;
    if (pDurationKnown && lEnds) break;
  }
  // The text layer keeps the strings of the last draw.
  lDrawn.back() = true;
  return lDrawn;
}

namespace {

bool BloopDuration(FBComponent* pElement, long long& pDuration) {
  const FBProperty* lProperty = pElement ? pElement->PropertyList.Find("Bloop Light Duration") : nullptr;
  int lValue = 0;
  if (!lProperty || !lProperty->GetData(&lValue, sizeof lValue)) return false;
  pDuration = lValue;
  return true;
}

}  // namespace

bool LeadIn(vthost::Host& pHost, FBComponent* pElement, vthost::Pane& pPane, const DrawPlan& pPlan,
            const RunSettings& pSettings, long long pFirst, std::string& pError) {
  if (pFirst <= 0) return true;
  // The transport each draw would find, after the plan and what drives it
  // (a tracking recording) set the host.
  std::vector<DrawnTransport> lTransport(static_cast<size_t>(pFirst));
  for (long long i = 0; i < pFirst; ++i) {
    const DrawState lState = pPlan.At(i);
    if (!PrepareDraw(pHost, pElement, lState, i, pSettings, pError)) return false;
    const fbsdk_host::HostState& lHost = fbsdk_host::State();
    lTransport[static_cast<size_t>(i)] = DrawnTransport{lState.frame, lHost.recording, lHost.playing};
  }
  long long lDuration = 0;
  const bool lKnown = BloopDuration(pElement, lDuration);
  const std::vector<bool> lDrawn = LeadInDraws(lTransport, lDuration, lKnown);
  for (long long i = 0; i < pFirst; ++i) {
    if (!lDrawn[static_cast<size_t>(i)]) {
      // Only the clock the frame rate measures moves; the pane's draw would raise these two.
      pHost.SetSystemTimeMs(ClockAtDraw(i, pSettings.clockNumerator, pSettings.clockDenominator));
      fbsdk_host::FireRenderPipeline(kFBGlobalEvalCallbackBeforeRender);
      fbsdk_host::FireRenderPipeline(kFBGlobalEvalCallbackAfterRender);
      continue;
    }
    if (!PrepareDraw(pHost, pElement, pPlan.At(i), i, pSettings, pError)) return false;
    pHost.DrawPane(pPane);
    if (pSettings.checkDraw && !pSettings.checkDraw(pError)) return false;
  }
  return true;
}

}  // namespace vthud_tool

#include "fdl_framing.h"

#include "fdl_geometry.h"
#include "mask_geometry.h"
#include "property_edit.h"

#include <QtCore/QString>

#include <algorithm>
#include <cmath>

namespace vthost {

namespace {

std::string Number(double pValue, int pDigits = 6) { return QString::number(pValue, 'g', pDigits).toStdString(); }

struct Bars {
  int side = 0, top = 0, bottom = 0;
  bool operator==(const Bars& o) const { return side == o.side && top == o.top && bottom == o.bottom; }
};

Bars Drawn(int W, int H, double pZoom, double pAspect, double pShare) {
  const vthud::MaskGeometry g = vthud::ComputeMaskGeometry(W, H, pZoom, pAspect, pShare);
  return {g.side, g.top, g.bottom};
}

std::string BarsText(const Bars& b) {
  return "top " + std::to_string(b.top) + ", bottom " + std::to_string(b.bottom) + ", sides " +
         std::to_string(b.side);
}

}  // namespace

bool FindDecision(const vthud::FdlDocument& pDocument, const std::string& pId, const vthud::FdlCanvas*& pCanvas,
                  const vthud::FdlDecision*& pDecision, std::string& pError) {
  pCanvas = nullptr;
  pDecision = nullptr;
  const vthud::FdlCanvas* lFirstCanvas = nullptr;
  const vthud::FdlDecision* lFirst = nullptr;
  std::string lKnown;
  for (const vthud::FdlContext& lContext : pDocument.contexts)
    for (const vthud::FdlCanvas& lCanvas : lContext.canvases)
      for (const vthud::FdlDecision& lDecision : lCanvas.decisions) {
        lKnown += (lKnown.empty() ? "'" : ", '") + lDecision.id + "'";
        if (!lFirst) lFirstCanvas = &lCanvas, lFirst = &lDecision;
        const bool lWanted =
            pId.empty() ? !pDocument.defaultIntent.empty() && lDecision.intentId == pDocument.defaultIntent
                        : lDecision.id == pId;
        if (lWanted && !pDecision) pCanvas = &lCanvas, pDecision = &lDecision;
      }
  if (!pDecision && pId.empty()) pCanvas = lFirstCanvas, pDecision = lFirst;
  if (pDecision) return true;
  pError = lKnown.empty()
               ? "the file holds no framing decision"
               : "the file holds no framing decision '" + vthud::MessageText(pId) + "' (it holds " + lKnown + ")";
  return false;
}

bool FrameDecision(const vthud::FdlCanvas& pCanvas, const vthud::FdlDecision& pDecision, int W, int H,
                   Framing& pFraming, std::string& pError) {
  Framing f;
  f.decisionId = pDecision.id;
  f.decisionLabel = pDecision.label;
  f.canvasId = pCanvas.id;
  const double s = pCanvas.squeeze;
  f.aspect = pDecision.dimensions.width * s / pDecision.dimensions.height;
  if (f.aspect < 1 - 1e-9 || f.aspect > 3 + 1e-9) {
    pError = "framing decision '" + pDecision.id + "' has an aspect of " + Number(f.aspect) +
             ", which the mask cannot frame (its \"Aspect\" runs from 1 to 3)";
    return false;
  }
  f.aspect = std::min(3.0, std::max(1.0, f.aspect));

  const vthud::CanvasRect lShown = vthud::MapToHud(pCanvas, pDecision.dimensions, pDecision.anchor, W, H);
  f.left = lShown.left;
  f.right = lShown.right;
  f.top = lShown.top;
  f.bottom = lShown.bottom;

  // The bars that frame the decision to the nearest pixel.
  // Each edge is rounded where it lies, so a picture keeps its height in pixels.
  const long lLeftBar = std::lround(f.left), lRightBar = W - std::lround(f.right);
  Bars lWanted{static_cast<int>((lLeftBar + lRightBar) / 2), static_cast<int>(H - std::lround(f.top)),
               static_cast<int>(std::lround(f.bottom))};
  if (lLeftBar != lRightBar)
    f.notes.push_back("the decision lies off centre (left bar " + std::to_string(lLeftBar) + ", right bar " +
                      std::to_string(lRightBar) + "); the mask shows it centred, with side bars of " +
                      std::to_string(lWanted.side));
  if (pDecision.hasProtection)
    f.notes.push_back("its protection area (" + Number(pDecision.protectionDimensions.width) + " x " +
                      Number(pDecision.protectionDimensions.height) +
                      ") is not drawn: the mask frames the decision itself");

  // The decision's own numbers first; they frame it exactly in most cases.
  f.zoom = 100 * (1 - (f.right - f.left) / W);
  const double lSpareTop = H - f.top, lSpareBottom = f.bottom;
  f.share = lSpareTop + lSpareBottom > 1e-9 ? lSpareTop / (lSpareTop + lSpareBottom) : 0.5;
  f.share = std::min(1.0, std::max(0.0, f.share));
  f.zoom = std::min(100.0, std::max(0.0, f.zoom));
  Bars lBars = Drawn(W, H, f.zoom, f.aspect, f.share);

  // Where truncation puts an edge a pixel off, move the numbers just enough:
  // the zoom to the middle of the wanted picture width, the share to split
  // the spare height's fraction evenly, and only then the aspect.
  if (lBars.side != lWanted.side) {
    f.zoom = 100 * (1 - (W - 2 * lWanted.side + 0.5) / W);
    lBars = Drawn(W, H, f.zoom, f.aspect, f.share);
  }
  if (!(lBars == lWanted)) {
    const vthud::MaskGeometry g = vthud::ComputeMaskGeometry(W, H, f.zoom, f.aspect, f.share);
    const double lSpare = g.spare, lBarsWanted = lWanted.top + lWanted.bottom;
    // Each bar needs a little of the fraction, or truncation may take a pixel off it.
    if (lSpare - lBarsWanted >= 0.02 && lSpare - lBarsWanted <= 1.98) {
      f.share = (lWanted.top + (lSpare - lBarsWanted) / 2) / lSpare;
    } else {
      const double lAspect = g.pictureWidth / (H - lBarsWanted - 0.5);
      if (lAspect >= 1 && lAspect <= 3) {
        f.aspect = lAspect;
        f.share = (lWanted.top + 0.25) / (lBarsWanted + 0.5);
      }
    }
    lBars = Drawn(W, H, f.zoom, f.aspect, f.share);
  }
  if (!(lBars == lWanted))
    f.notes.push_back("the mask draws bars of " + BarsText(lBars) + " where the decision needs " +
                      BarsText(lWanted));
  f.sideBar = lBars.side;
  f.topBar = lBars.top;
  f.bottomBar = lBars.bottom;
  pFraming = f;
  return true;
}

bool ApplyFdl(FBComponent* pElement, const std::string& pPath, const std::string& pDecisionId, Framing& pFraming,
              std::string& pError) {
  vthud::FdlDocument lDocument;
  const vthud::FdlCanvas* lCanvas = nullptr;
  const vthud::FdlDecision* lDecision = nullptr;
  if (!vthud::ReadFdl(pPath, lDocument, pError)) return false;
  if (!FindDecision(lDocument, pDecisionId, lCanvas, lDecision, pError) ||
      !FrameDecision(*lCanvas, *lDecision, 1920, 1080, pFraming, pError)) {
    pError = pPath + ": " + pError;
    return false;
  }
  const std::pair<const char*, double> lSettings[] = {
      {"Aspect", pFraming.aspect}, {"Aspect Zoom", pFraming.zoom}, {"Aspect Distribution", pFraming.share}};
  // All three exist and take a number before any is set.
  for (const auto& lSetting : lSettings) {
    FBProperty* lProperty = pElement->PropertyList.Find(lSetting.first);
    if (!lProperty || lProperty->GetPropertyType() != kFBPT_double) {
      pError = "cannot apply " + pPath + ": the element has no number property '" + lSetting.first + "'";
      return false;
    }
  }
  for (const auto& lSetting : lSettings)
    if (!SetPropertyFromText(pElement, lSetting.first, Number(lSetting.second, 17), pError)) return false;
  return true;
}

std::string DescribeFraming(const Framing& f) {
  std::string lText = "framing '" + f.decisionId + "'" +
                      (f.decisionLabel.empty() ? "" : " (" + vthud::MessageText(f.decisionLabel) + ")") +
                      " of canvas '" + f.canvasId + "': Aspect " + Number(f.aspect, 8) + ", Aspect Zoom " +
                      Number(f.zoom, 8) + ", Aspect Distribution " + Number(f.share, 8) +
                      " (bars: " + BarsText({f.sideBar, f.topBar, f.bottomBar}) + ")";
  for (const std::string& lNote : f.notes) lText += "\n  note: " + lNote;
  return lText;
}

}  // namespace vthost

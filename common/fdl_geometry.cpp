#include "fdl_geometry.h"

#include <algorithm>

#include "message_text.h"

namespace vthud {

CanvasRect MapToHud(const FdlCanvas& pCanvas, const FdlSize& pDimensions, const FdlPoint& pAnchor, int W, int H) {
  const double s = pCanvas.squeeze;
  const double lShownWidth = pCanvas.dimensions.width * s, lShownHeight = pCanvas.dimensions.height;
  const double k = std::min(W / lShownWidth, H / lShownHeight);
  const double lCanvasLeft = (W - lShownWidth * k) / 2, lCanvasTop = (H - lShownHeight * k) / 2;
  CanvasRect r;
  r.left = lCanvasLeft + pAnchor.x * s * k;
  r.right = r.left + pDimensions.width * s * k;
  r.top = H - (lCanvasTop + pAnchor.y * k);
  r.bottom = r.top - pDimensions.height * k;
  return r;
}

CanvasRect MapCanvas(const FdlCanvas& pCanvas, int pWidth, int pHeight) {
  return MapToHud(pCanvas, pCanvas.dimensions, FdlPoint{}, pWidth, pHeight);
}

namespace {

std::vector<std::string> SplitIds(const std::string& pIds) {
  std::vector<std::string> lIds;
  std::string lId;
  auto lFlush = [&] {
    const size_t a = lId.find_first_not_of(" \t"), b = lId.find_last_not_of(" \t");
    if (a != std::string::npos) lIds.push_back(lId.substr(a, b - a + 1));
    lId.clear();
  };
  for (char c : pIds) {
    if (c == ',')
      lFlush();
    else
      lId += c;
  }
  lFlush();
  return lIds;
}

}  // namespace

bool SelectDecisions(const FdlDocument& pDocument, const std::string& pCanvasId, const std::string& pIds,
                     const FdlCanvas*& pCanvas, std::vector<const FdlDecision*>& pDecisions, std::string& pError) {
  pCanvas = nullptr;
  pDecisions.clear();
  const std::vector<std::string> lIds = SplitIds(pIds);
  for (const FdlContext& lContext : pDocument.contexts)
    for (const FdlCanvas& lCanvas : lContext.canvases) {
      bool lWanted = pCanvasId.empty() ? !pCanvas : lCanvas.id == pCanvasId;
      if (pCanvasId.empty() && !lIds.empty()) {
        lWanted = false;
        for (const FdlDecision& lDecision : lCanvas.decisions) lWanted = lWanted || lDecision.id == lIds[0];
      }
      if (lWanted && !pCanvas) pCanvas = &lCanvas;
    }
  if (!pCanvas) {
    if (!pCanvasId.empty())
      pError = "the file holds no canvas '" + MessageText(pCanvasId) + "'";
    else if (!lIds.empty())
      pError = "the file holds no framing decision '" + MessageText(lIds[0]) + "'";
    else
      pError = "the file holds no canvas";
    return false;
  }
  if (lIds.empty()) {
    for (const FdlDecision& lDecision : pCanvas->decisions) pDecisions.push_back(&lDecision);
    return true;
  }
  for (const std::string& lId : lIds) {
    const FdlDecision* lFound = nullptr;
    for (const FdlDecision& lDecision : pCanvas->decisions)
      if (lDecision.id == lId) lFound = &lDecision;
    if (!lFound) {
      pError = "canvas '" + pCanvas->id + "' holds no framing decision '" + MessageText(lId) + "'";
      pDecisions.clear();
      return false;
    }
    pDecisions.push_back(lFound);
  }
  return true;
}

}  // namespace vthud

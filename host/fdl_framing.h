#ifndef VTHOST_FDL_FRAMING_H
#define VTHOST_FDL_FRAMING_H
// A framing decision of an FDL shown by a HUD element's aspect mask.
//
// The decision's canvas is fitted into the HUD canvas as the preview tool
// fits a plate: whole, centred, letterboxed, with its anamorphic squeeze
// undone. The decision's rectangle, mapped there, becomes the mask's three
// numbers: "Aspect" (its displayed width over its height), "Aspect Zoom"
// (the percent of the canvas width it leaves out) and "Aspect Distribution"
// (the share of the spare height above it). The mask frames a rectangle
// with whole-pixel edges, centred across; where a decision cannot be framed
// exactly that way, a note says what the mask shows instead.
#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

#include "fdl_file.h"

namespace vthost {

struct Framing {
  std::string decisionId, decisionLabel, canvasId;
  // The decision on the HUD canvas, origin bottom left, y up, unrounded.
  double left = 0, right = 0, bottom = 0, top = 0;
  // The mask's numbers, and the bars they draw.
  double aspect = 0, zoom = 0, share = 0;
  int sideBar = 0, topBar = 0, bottomBar = 0;
  // One line for each way in which the mask differs from the decision.
  std::vector<std::string> notes;
};

// The decision named pId (empty: the first decision of the default framing
// intent, else the first decision of the file), with its canvas.
bool FindDecision(const vthud::FdlDocument& pDocument, const std::string& pId, const vthud::FdlCanvas*& pCanvas,
                  const vthud::FdlDecision*& pDecision, std::string& pError);

// The mask numbers for a decision on a pWidth x pHeight HUD canvas. False
// (with the reason) for a decision the mask cannot frame at all: an aspect
// ratio outside the mask's 1 to 3.
bool FrameDecision(const vthud::FdlCanvas& pCanvas, const vthud::FdlDecision& pDecision, int pWidth, int pHeight,
                   Framing& pFraming, std::string& pError);

// Reads pPath, frames the chosen decision on the element's 1920 x 1080
// canvas and sets "Aspect", "Aspect Zoom" and "Aspect Distribution"; on any
// error nothing is set.
bool ApplyFdl(FBComponent* pElement, const std::string& pPath, const std::string& pDecisionId, Framing& pFraming,
              std::string& pError);

// "framing 'CAM-SCOPE' ...: Aspect 2.39, Aspect Zoom 0, Aspect Distribution 0.5
// (bars: top 138, bottom 138, sides 0)".
std::string DescribeFraming(const Framing& pFraming);

}  // namespace vthost

#endif

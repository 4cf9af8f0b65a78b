#ifndef VTHOST_FDL_GEOMETRY_H
#define VTHOST_FDL_GEOMETRY_H
// Where an FDL's rectangles land on a HUD canvas. The canvas is shown as a
// plate is: its anamorphic squeeze undone, fitted whole and centred in the
// W x H canvas. Every drawing of a framing (the HUD's mask, the frame lines)
// maps through this one function.
#include <string>
#include <vector>

#include "fdl_file.h"

namespace vthud {

// A rectangle on the HUD canvas, origin bottom left, y up, unrounded.
struct CanvasRect {
  double left = 0, right = 0, bottom = 0, top = 0;
};

// pDimensions at pAnchor (canvas pixels, origin top left) of pCanvas, on a pWidth x pHeight HUD canvas.
CanvasRect MapToHud(const FdlCanvas& pCanvas, const FdlSize& pDimensions, const FdlPoint& pAnchor, int pWidth,
                    int pHeight);
// The whole canvas so mapped.
CanvasRect MapCanvas(const FdlCanvas& pCanvas, int pWidth, int pHeight);

// The canvas named pCanvasId (empty: the canvas of the first decision named,
// else the file's first canvas) and its decisions named in pIds, ids separated
// by commas (empty: every decision of that canvas), in the order named.
// False with a one-line reason for an id the file or the canvas lacks.
bool SelectDecisions(const FdlDocument& pDocument, const std::string& pCanvasId, const std::string& pIds,
                     const FdlCanvas*& pCanvas, std::vector<const FdlDecision*>& pDecisions, std::string& pError);

}  // namespace vthud

#endif

#ifndef VTLINES_FRAME_LINES_GEOMETRY_H
#define VTLINES_FRAME_LINES_GEOMETRY_H
// The frame lines' shapes on the HUD canvas, as whole-pixel quads: each
// rectangle's edges rounded to the nearest pixel, its line drawn on the
// inside of those edges; protection dashed; the first frame's centre mark,
// safe areas and thirds. Pure arithmetic, so the drawing and its checks share it.
#include <string>
#include <vector>

#include "fdl_geometry.h"

namespace vtlines {

// Pixels [left, right) x [bottom, top) of the canvas, origin bottom left.
struct PixelRect {
  int left = 0, bottom = 0, right = 0, top = 0;
};

struct Quad {
  int left, bottom, right, top;
  bool protection;  // drawn in the protection colour
};

struct Label {
  int x, y;  // the text's baseline origin
  std::string text;
};

// One framing to outline: a decision, or an aspect line.
struct Frame {
  vthud::CanvasRect rect;
  std::string label;
  bool hasProtection = false;
  vthud::CanvasRect protection;
};

struct LineSettings {
  int width = 2;
  bool protection = true, labels = true, centreMark = false, thirds = false;
  double actionSafe = 0, titleSafe = 0;  // percent of the first frame; 0 is off
};

const int kDashOn = 12, kDashOff = 8;        // protection dashes, in pixels
const int kCentreArm = 24;                   // the centre mark reaches this far each way
const int kLabelInset = 6, kLabelSize = 16;  // labels sit inside the top left corner

PixelRect Snap(const vthud::CanvasRect& pRect);
// The rectangle's outline pWidth pixels wide inside its edges, in four quads
// that do not overlap (top, bottom, then the sides between them); dashed
// along each edge for protection. A rectangle too small for two lines is filled.
void Outline(const PixelRect& pRect, int pWidth, bool pDashed, std::vector<Quad>& pQuads);
// Every quad and label of the frames, clipped to the pWidth x pHeight canvas.
void BuildLines(const std::vector<Frame>& pFrames, const LineSettings& pSettings, int pWidth, int pHeight,
                std::vector<Quad>& pQuads, std::vector<Label>& pLabels);

// "2.39, 1.85": ratios of width to height, each from 0.1 to 10. False with a one-line reason.
bool ParseAspectLines(const std::string& pText, std::vector<double>& pRatios, std::string& pError);
// The largest rectangle of pRatio centred in pWithin.
vthud::CanvasRect AspectRect(double pRatio, const vthud::CanvasRect& pWithin);

}  // namespace vtlines

#endif

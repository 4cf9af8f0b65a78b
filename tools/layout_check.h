#ifndef VTHUD_TOOLS_LAYOUT_CHECK_H
#define VTHUD_TOOLS_LAYOUT_CHECK_H
// Where the overlay's text fields land, worked out from outside the plug-in:
// each shown field's text is built from the element's properties and the
// host's state with the overlay's own formatters, placed by the field's
// offsets (value on its row, caption 5 right and 16 below), and measured
// with FTGL's bounding boxes over the bundled faces at the element's sizes
// (value face 48 with 5 pixels less advance per character, label face 16).
#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

namespace vthud_tool {

struct FieldBox {
  std::string field;                     // "F-Stop", "Camera Name", ...
  std::string text;                      // the value as shown
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // canvas pixels, origin bottom left
};

// The boxes of every text field the element shows in the host's current
// state (current camera, take, scene time, transport), plus the status.
// pFrameMs is the interval the FRAMERATE field measures. Needs a current GL
// context (the texture fonts make their glyphs there). pResourcesDir holds the
// bundled faces: a folder, or a Qt resource prefix such as ":/vthud_preview".
// False with a message when a face cannot be read.
bool MeasureFields(FBComponent* pElement, const std::string& pResourcesDir, double pFrameMs,
                   std::vector<FieldBox>& pBoxes, std::string& pError);

// One line per pair of boxes that overlap and per box that leaves the
// pWidth x pHeight canvas; pProblems counts them.
std::string CheckBoxes(const std::vector<FieldBox>& pBoxes, int pWidth, int pHeight, int& pProblems);

}  // namespace vthud_tool

#endif

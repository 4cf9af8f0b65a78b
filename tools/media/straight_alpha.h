#ifndef VTHUD_TOOLS_STRAIGHT_ALPHA_H
#define VTHUD_TOOLS_STRAIGHT_ALPHA_H
// The overlay is blended into a transparent target, so each pixel read back
// holds colour x alpha. PNG and ProRes 4444 store straight colour, and every
// editor and compositor lays them over a picture that way; the writers turn
// the frame straight before it is stored.
#include "png_image.h"

namespace vthud_tool {

// c = round(255 * c_premultiplied / a) for each colour channel, clamped to
// 255; a = 0 gives (0, 0, 0, 0); opaque pixels are left as they are.
void ToStraightAlpha(vthost::Image& pImage);

}  // namespace vthud_tool

#endif

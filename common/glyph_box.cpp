#include "glyph_box.h"

#include <algorithm>
#include <cmath>

namespace vthud {

void GlyphPixels(const double (&o)[4], double pScaleX, double pScaleY, int pWidth, int pHeight, int (&pBox)[4]) {
  // A texture glyph lands on whole pixels, up to one beyond its outline's box.
  const double lMargin = 2.0;
  auto Clamp = [](double v, int pHigh) { return static_cast<int>(std::min(std::max(v, 0.0), double(pHigh))); };
  pBox[0] = Clamp(std::floor((o[0] - lMargin) * pScaleX) - 1, pWidth);
  pBox[1] = Clamp(std::floor((o[1] - lMargin) * pScaleY) - 1, pHeight);
  pBox[2] = Clamp(std::ceil((o[2] + lMargin) * pScaleX) + 1, pWidth);
  pBox[3] = Clamp(std::ceil((o[3] + lMargin) * pScaleY) + 1, pHeight);
}

}  // namespace vthud

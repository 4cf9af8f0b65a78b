#include "mask_geometry.h"

#include "draw_range.h"

namespace vthud {

MaskGeometry ComputeMaskGeometry(int W, int H, double zoom, double aspect, double share) noexcept {
  MaskGeometry g;
  // Single precision on purpose: a 10% zoom gives exactly 1728 this way,
  // where double would land just under and truncate to 1727.
  const float widthScale = static_cast<float>((100 - zoom) / 100);
  // Values outside their ranges (a zero or NaN aspect) clamp to the drawing range; NaN draws no bar.
  g.pictureWidth = DrawCoord(static_cast<double>(widthScale * static_cast<float>(W)));
  g.side = (W - g.pictureWidth) / 2;
  g.spare = static_cast<float>(H) - static_cast<float>(g.pictureWidth / aspect);
  g.top = DrawCoord(share * g.spare);
  g.bottom = DrawCoord(g.spare * (1 - share));
  return g;
}

namespace {

void SetQuad(int quad[4][2], int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3) {
  quad[0][0] = x0;
  quad[0][1] = y0;
  quad[1][0] = x1;
  quad[1][1] = y1;
  quad[2][0] = x2;
  quad[2][1] = y2;
  quad[3][0] = x3;
  quad[3][1] = y3;
}

}  // namespace

void MaskQuads(const MaskGeometry& g, int W, int H, int out[4][4][2]) noexcept {
  const int topEdge = H - g.top;
  SetQuad(out[0], 0, H, 0, topEdge, W, topEdge, W, H);
  SetQuad(out[1], 0, topEdge, 0, g.bottom, g.side, g.bottom, g.side, topEdge);
  SetQuad(out[2], 0, g.bottom, 0, 0, W, 0, W, g.bottom);
  SetQuad(out[3], W - g.side, topEdge, W - g.side, g.bottom, W, g.bottom, W, topEdge);
}

}  // namespace vthud

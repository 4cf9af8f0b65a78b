// Letterbox mask: black bars that frame a picture of a given aspect ratio
// on the canvas, optionally zoomed out so side bars appear too.
#pragma once

namespace vthud {

struct MaskGeometry {
  int pictureWidth;  // width of the framed picture in canvas pixels
  int side;          // width of each side bar
  float spare;       // canvas height left over by the picture; < 0 means no bars
  int top;           // height of the top bar
  int bottom;        // height of the bottom bar
};

// zoom is the percentage of canvas width given up to the side bars, aspect
// the picture's width / height, share the fraction of the spare height that
// goes to the top bar.
MaskGeometry ComputeMaskGeometry(int W, int H, double zoom, double aspect, double share) noexcept;

// Quads in canvas coordinates (origin bottom left), four vertices each, in
// order: top bar, left bar, bottom bar, right bar.
void MaskQuads(const MaskGeometry& g, int W, int H, int out[4][4][2]) noexcept;

}  // namespace vthud

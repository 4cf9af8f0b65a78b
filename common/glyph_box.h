#ifndef VTHUD_GLYPH_BOX_H
#define VTHUD_GLYPH_BOX_H

namespace vthud {

// The pixels a string's texture glyphs can touch: FTGL's box of its outline
// (canvas units, lower x, y, upper x, y) scaled by pScaleX, pScaleY to the
// pixels of a pWidth x pHeight viewport, grown by what a texture glyph can
// land beyond its outline and cut to the viewport. pBox: x0, y0, x1, y1, the
// ends exclusive; empty (x1 <= x0 or y1 <= y0) when it lies outside.
void GlyphPixels(const double (&pOutline)[4], double pScaleX, double pScaleY, int pWidth, int pHeight,
                 int (&pBox)[4]);

}  // namespace vthud

#endif

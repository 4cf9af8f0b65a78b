#ifndef VTHUD_GLYPH_ALPHA_H
#define VTHUD_GLYPH_ALPHA_H
// FTGL's texture font sets glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)
// while it draws, for alpha as for colour, so a glyph edge of coverage a
// would leave a * a + d * (1 - a) in destination alpha. Between these two
// calls the alpha equation is GL_MAX instead, leaving max(a, d): exact over
// transparent and over opaque pixels, and nearer than a squared over
// translucent ones. Colour keeps FTGL's blend.
namespace vthud {

void BeginGlyphAlpha();
// Back to the overlay's own equation, GL_FUNC_ADD.
void EndGlyphAlpha();

}  // namespace vthud

#endif

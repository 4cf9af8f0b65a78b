#ifndef VTHUD_GLYPH_ALPHA_H
#define VTHUD_GLYPH_ALPHA_H
// FTGL's texture font sets glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)
// while it draws, for alpha as for colour, so a glyph edge of coverage a
// would leave a * a + d * (1 - a) in destination alpha. Between these two
// calls the alpha equation is GL_MAX instead, leaving max(a, d): exact over
// transparent and over opaque pixels, and nearer than a squared over
// translucent ones. Colour keeps FTGL's blend.
#include <cstdint>

class FTFont;
class FTPoint;

namespace vthud {

void BeginGlyphAlpha();
// Back to the overlay's own equation, GL_FUNC_ADD.
void EndGlyphAlpha();

// Text laid over the target as "over" in all four channels.
//
// FTGL's colour blend, source x a + destination x (1 - a), is exact "over"
// for a channel whose source is 1: drawn in white into a transparent layer,
// a colour channel accumulates the strings' true coverage, glyph over glyph.
// A run of strings is drawn there (one colour channel per ink, the others
// masked), then each ink is laid over the target as premultiplied colour,
// (ink colour x coverage, coverage) with (GL_ONE, GL_ONE_MINUS_SRC_ALPHA),
// at the run's place in the drawing order. Over an opaque target this is the
// direct blend within rounding; over a translucent one its alpha is exact.
//
// The layer is cleared only where the last run drew (its boxes, from FTGL's
// BBox of each string), and each ink is laid only over its own boxes. A
// string's box is kept, relative to its pen position, in a small cache keyed
// by font, spacing and text: most strings repeat from frame to frame, and a
// box costs as much as drawing the string.
// Without a layer (its GL objects could not be made), or when the viewport
// is larger than the layer, strings blend straight into the target with the
// glyph alpha above.
class TextLayer {
 public:
  static const int kInks = 2;  // inks of their own colour in one run; a later ink lies over an earlier one

  // The layer's GL objects, for a canvas of pWidth x pHeight; false, and one
  // line on stderr, when the context cannot make them.
  bool Create(int pWidth, int pHeight);
  // Without a current context nothing is deleted (the context's objects go with it).
  void Release();
  bool Ready() const { return mFramebuffer != 0; }

  // A run of strings over a canvas of pCanvasWidth x pCanvasHeight, mapped
  // onto the current viewport by the caller's projection.
  void Begin(int pCanvasWidth, int pCanvasHeight);
  // The colour of the strings that follow (alpha included), in ink pInk.
  void Colour(int pInk, float pRed, float pGreen, float pBlue, float pAlpha);
  void Colour(int pInk, const double (&pRGBA)[4]);
  // One string, drawn by FTGL's Render (length -1, RENDER_ALL).
  void Render(FTFont& pFont, const char* pText, const FTPoint& pPosition, const FTPoint& pSpacing);
  // Lays the run's inks over the target; the target, viewport, scissor,
  // colour mask and blend function are as Begin found them, and the current
  // colour is the last one given.
  void End();

  // Pixels the layer cleared and laid over the target in the last run.
  int64_t LastFill() const { return mLastFill; }

  // FTGL's BBox of pText drawn at the origin, from the cache when the same
  // font, spacing and text were measured lately (whether or not a run is on).
  void Bounds(FTFont& pFont, const char* pText, const FTPoint& pSpacing, double (&pBox)[4]);

 private:
  struct Box {
    int x0, y0, x1, y1;  // layer pixels, end exclusive
  };
  static const int kBoxes = 8;
  struct Boxes {
    Box box[kBoxes];
    int count = 0;
    void Add(const Box& pBox);
    void Merge();  // until no two share a row, so none overlap
  };

  // Strings measured lately: texts longer than the key are measured each time.
  static const int kCached = 64, kKey = 48;
  struct Measured {
    const FTFont* font = nullptr;
    double spacing = 0;
    char text[kKey] = {};
    double box[4] = {};  // lower x, y, upper x, y
    uint32_t used = 0;   // the count of lookups at its last use
  };
  Measured mMeasured[kCached];
  uint32_t mLookups = 0;

  uint32_t mTexture = 0, mView = 0, mFramebuffer = 0;
  int mWidth = 0, mHeight = 0;
  // The run in progress.
  bool mActive = false;
  int mInk = 0;
  float mScaleX = 1, mScaleY = 1;  // layer pixels per canvas unit
  float mColour[kInks][3] = {};
  float mLast[4] = {1, 1, 1, 1};
  Boxes mInkBoxes[kInks];
  int mViewport[4] = {};
  int mTarget = 0;
  int mScissorBox[4] = {};
  bool mScissor = false;
  unsigned char mMask[4] = {};
  int mBlend[4] = {};
  // Where the last run drew: cleared by the next.
  Boxes mDirty;
  int64_t mLastFill = 0;
};

}  // namespace vthud

#endif

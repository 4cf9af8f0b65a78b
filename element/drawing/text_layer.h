#ifndef VTHUD_TEXT_LAYER_H
#define VTHUD_TEXT_LAYER_H
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
// The layer keeps what it holds from one frame to the next. A run's strings
// are gathered until End, then compared with the strings the same run left
// in the layer: only the boxes of strings that changed, came or went are
// cleared (a box from FTGL's BBox of the string, with a margin), and only
// the strings that reach into those boxes are drawn again, each clipped to
// them, so every pixel holds the coverage of the strings that cover it now,
// in the order a fresh layer would have drawn them. A frame whose text is
// unchanged draws no glyph and never leaves the target; a playing take draws
// its counters alone. The colour of an ink is applied as it is laid, so a
// new colour draws nothing again; a new alpha does.
//
// Runs of one frame (pRun of Begin) keep their strings apart. A run whose
// boxes reach another run's ink clears that ink and has the other run draw
// all of its strings afresh the next time.
//
// A string's box is kept, relative to its pen position, in a small cache
// keyed by font, spacing and text: a box costs as much as drawing the string.
// Without a layer (its GL objects could not be made), or when the viewport
// is larger than the layer, strings blend straight into the target with the
// glyph alpha above.
class TextLayer {
 public:
  static const int kInks = 2;  // inks of their own colour in one run; a later ink lies over an earlier one
  static const int kRuns = 3;  // runs of one frame, each with strings of its own in the layer

  // The layer's GL objects, for a canvas of pWidth x pHeight; false, and one
  // line on stderr, when the context cannot make them.
  bool Create(int pWidth, int pHeight);
  // Without a current context nothing is deleted (the context's objects go with it).
  void Release();
  bool Ready() const { return mFramebuffer != 0; }

  // A run of strings over a canvas of pCanvasWidth x pCanvasHeight, mapped
  // onto the current viewport by the caller's projection; pRun says which of
  // the frame's runs it is (0 to kRuns - 1).
  void Begin(int pCanvasWidth, int pCanvasHeight, int pRun = 0);
  // The colour of the strings that follow (alpha included), in ink pInk.
  void Colour(int pInk, float pRed, float pGreen, float pBlue, float pAlpha);
  void Colour(int pInk, const double (&pRGBA)[4]);
  // One string, drawn by FTGL's Render (length -1, RENDER_ALL) by End or,
  // without a layer, at once.
  void Render(FTFont& pFont, const char* pText, const FTPoint& pPosition, const FTPoint& pSpacing);
  // Draws what changed into the layer and lays the run's inks over the
  // target; the target, viewport, scissor, colour mask and blend function
  // are as Begin found them, and the current colour is the last one given.
  void End();

  // Pixels the layer cleared and laid over the target in the last run.
  int64_t LastFill() const { return mLastFill; }

  // FTGL's BBox of pText drawn at the origin, from the cache when the same
  // font, spacing and text were measured lately (whether or not a run is on).
  void Bounds(FTFont& pFont, const char* pText, const FTPoint& pSpacing, double (&pBox)[4]);

 private:
  struct Box {
    int x0, y0, x1, y1;  // layer pixels, end exclusive
    bool Meets(const Box& b) const { return x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1; }
  };
  static const int kBoxes = 8;
  struct Boxes {
    Box box[kBoxes];
    int count = 0;
    void Add(const Box& pBox);
    void Merge();  // until no two share a row, so none overlap
    bool Meets(const Box& pBox) const;
  };
  // Boxes to clear and draw again: joined only where they meet, so that
  // none overlaps another and none grows over more than it must.
  static const int kDamage = 32;
  struct Damage {
    Box box[kDamage];
    int count = 0;
    void Add(Box pBox);
    void Add(const Boxes& pBoxes);
    bool Meets(const Box& pBox) const;
  };

  // A run's strings, their texts one after another in one buffer.
  static const int kStrings = 48, kText = 4096;
  struct String {
    FTFont* font;
    float x, y, spacing, rise, alpha;  // rise: the spacing's y
    int ink;
    Box box;
    int text, length;  // in Strings::text, terminated
  };
  struct Strings {
    String item[kStrings];
    int count = 0;
    char text[kText];
    int used = 0;
    bool Add(const String& pString, const char* pText, int pLength);
    bool Holds(const Strings& pOther, int pIndex) const;  // pOther's string pIndex, the same where it was
  };
  struct Run {
    bool valid = false;  // the run's strings in mStrings hold what it left in the layer
    Boxes ink;           // where this run's ink lies in the layer
  };

  void Clear(const Box& pBox);
  void Draw(const String& pString, const Box& pClip, int& pInk, float& pAlpha);
  void OpenLayer();   // binds the layer with the state strings are drawn in
  void CloseLayer();  // back to the target as Begin found it
  void Forget();      // the layer made transparent, every run drawn afresh

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
  Run mRuns[kRuns];
  // The run in progress.
  bool mActive = false;
  int mRun = 0;
  bool mDirect = false;  // its strings outgrew the buffer: drawn as they come, the layer opened early
  bool mOpen = false;    // the layer is the draw target
  int mInk = 0;
  float mAlpha = 1;
  float mScaleX = 1, mScaleY = 1;  // layer pixels per canvas unit
  float mColour[kInks][3] = {};
  float mLast[4] = {1, 1, 1, 1};
  // Each run's strings, and the run in progress's: the two trade places at its end.
  Strings mStrings[kRuns + 1];
  int mKept[kRuns] = {0, 1, 2}, mPending = kRuns;
  Boxes mInkBoxes[kInks];
  int mViewport[4] = {};
  int mTarget = 0;
  int mScissorBox[4] = {};
  bool mScissor = false;
  unsigned char mMask[4] = {};
  int64_t mLastFill = 0;
};

}  // namespace vthud

#endif

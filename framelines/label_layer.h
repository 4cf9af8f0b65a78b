#ifndef VTLINES_LABEL_LAYER_H
#define VTLINES_LABEL_LAYER_H
// The labels and the message line change only with the settings, yet FTGL
// saves and restores GL state around every string it draws, and each restore
// costs the software rasteriser a batch of its own. So FTGL draws them once
// per change, in white, into a small coverage texture of the element's own:
// one row band per string, holding the pixels of the string's box on the
// target. Each frame lays those bands back over their boxes, texel for pixel,
// in the lines' colour and with the lines' blend, as FTGL would have drawn
// them, without a call to FTGL. The texture's first texel is fully covered: the
// lines sample it, so lines and labels go to the rasteriser as one draw.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FTFont;

namespace vtlines {

struct Text {
  std::string text;
  int x = 0, y = 0;  // pen position on the canvas
  bool operator==(const Text& o) const { return x == o.x && y == o.y && text == o.text; }
};

class LabelLayer {
 public:
  // Makes the layer ready for pTexts on the current target, whose projection
  // maps a pCanvasWidth x pCanvasHeight canvas onto the viewport: FTGL draws
  // them into it when they or the viewport's size changed since last time.
  // Runs inside the caller's saved enable, colour-buffer and current state
  // (blending on, depth test off); leaves the draw framebuffer, viewport,
  // scissor and blend function as it found them. False when the layer cannot
  // hold them (its GL objects could not be made, or the viewport is too
  // large): the caller draws the texts itself.
  bool Prepare(FTFont& pFont, const std::vector<Text>& pTexts, int pCanvasWidth, int pCanvasHeight);
  // After Prepare: turns texturing on with the layer bound and opens one
  // draw of quads (glBegin); what is drawn before End, in the current blend,
  // samples the fully covered texel and so keeps its colour as it is.
  void Begin();
  // The texts' boxes in pColour, then the draw is closed (glEnd).
  void End(const float (&pColour)[4]);
  // Without a current context nothing is deleted (the context's objects go with it).
  void Release();

 private:
  struct Band {
    int x0, y0, x1, y1;  // the string's box on the target, viewport pixels, end exclusive
    int row;             // the band's first row in the texture
    size_t text;         // which of mTexts
  };
  bool create();
  bool render(FTFont& pFont);

  uint32_t mTexture = 0, mFramebuffer = 0;
  int mTextureWidth = 0, mTextureHeight = 0;
  bool mFailed = false;  // the GL objects could not be made; said once
  // What the texture holds.
  bool mValid = false;
  std::vector<Text> mTexts;
  int mViewWidth = 0, mViewHeight = 0, mCanvasWidth = 0, mCanvasHeight = 0;
  std::vector<Band> mBands;
};

}  // namespace vtlines

#endif

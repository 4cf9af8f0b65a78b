#ifndef VTLINES_LABEL_LAYER_H
#define VTLINES_LABEL_LAYER_H
// The labels and the message line change only with the settings, yet FTGL
// saves and restores GL state around every string it draws, and each restore
// costs the software rasteriser a batch of its own. So FTGL draws them once
// per change, in white, into a small coverage texture of the element's own:
// one row band per string, holding the pixels of the string's box on the
// target. Each frame lays those bands back over their boxes, texel for pixel,
// as premultiplied colour (colour x coverage, coverage): one draw and no FTGL
// call. Over a translucent target this is exact "over" in alpha as well.
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
  // Lays pTexts in pColour over the current target, whose projection maps a
  // pCanvasWidth x pCanvasHeight canvas onto the viewport; FTGL draws them
  // into the layer first when they, the colour's alpha or the viewport's size
  // changed. Runs inside the caller's saved enable, colour-buffer and current
  // state (blending on, depth test off); leaves the draw framebuffer,
  // viewport and scissor box as it found them, and binds its texture.
  // False when the layer cannot hold them (its GL objects could not be made,
  // or the viewport is too large): the caller draws the texts itself.
  bool Draw(FTFont& pFont, const std::vector<Text>& pTexts, const float (&pColour)[4], int pCanvasWidth,
            int pCanvasHeight);
  // Without a current context nothing is deleted (the context's objects go with it).
  void Release();

 private:
  struct Band {
    int x0, y0, x1, y1;  // the string's box on the target, viewport pixels, end exclusive
    int row;             // the band's first row in the texture
    size_t text;         // which of mTexts
  };
  bool create();
  bool render(FTFont& pFont, int pViewWidth, int pViewHeight, int pCanvasWidth, int pCanvasHeight, float pAlpha);

  uint32_t mTexture = 0, mFramebuffer = 0;
  int mTextureWidth = 0, mTextureHeight = 0;
  bool mFailed = false;  // the GL objects could not be made; said once
  // What the texture holds.
  bool mValid = false;
  std::vector<Text> mTexts;
  float mAlpha = 0;
  int mViewWidth = 0, mViewHeight = 0, mCanvasWidth = 0, mCanvasHeight = 0;
  std::vector<Band> mBands;
};

}  // namespace vtlines

#endif

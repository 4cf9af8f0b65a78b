#include "label_layer.h"

#include <FTGL/ftgl.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>

#include "glyph_box.h"

namespace vtlines {

bool LabelLayer::create() {
  if (mFramebuffer != 0) return true;
  if (mFailed) return false;
  GLuint lTexture = 0, lFramebuffer = 0;
  glGenTextures(1, &lTexture);
  glBindTexture(GL_TEXTURE_2D, lTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // Coverage in red, read as alpha over white: modulated by the colour, it
  // is the colour FTGL gives a glyph's pixel. (RGBA: under the fixed-function
  // modulate a red texture's alpha would come from the colour.)
  const GLint lCoverage[4] = {GL_ONE, GL_ONE, GL_ONE, GL_RED};
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, lCoverage);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glCreateFramebuffers(1, &lFramebuffer);
  GLenum lStatus = 0;
  if (lFramebuffer && lTexture && glIsTexture(lTexture)) {
    glNamedFramebufferTexture(lFramebuffer, GL_COLOR_ATTACHMENT0, lTexture, 0);
    lStatus = glCheckNamedFramebufferStatus(lFramebuffer, GL_DRAW_FRAMEBUFFER);
  }
  if (lStatus != GL_FRAMEBUFFER_COMPLETE) {
    if (glIsFramebuffer(lFramebuffer)) glDeleteFramebuffers(1, &lFramebuffer);
    if (glIsTexture(lTexture)) glDeleteTextures(1, &lTexture);
    fprintf(stderr, "VT Frame Lines: no label layer (framebuffer status 0x%x); labels are drawn straight\n",
            lStatus);
    fflush(stderr);
    mFailed = true;
    return false;
  }
  mTexture = lTexture;
  mFramebuffer = lFramebuffer;
  mTextureWidth = mTextureHeight = 1;
  return true;
}

void LabelLayer::Release() {
  if (glIsFramebuffer(mFramebuffer)) glDeleteFramebuffers(1, &mFramebuffer);
  if (glIsTexture(mTexture)) glDeleteTextures(1, &mTexture);
  mFramebuffer = mTexture = 0;
  mTextureWidth = mTextureHeight = 0;
  mValid = false;
  mBands.clear();
}

bool LabelLayer::render(FTFont& pFont) {
  // Each string's box on the target: the pixels its glyphs can touch, cut to
  // the viewport (what lies outside is never seen).
  const double lScaleX = static_cast<double>(mViewWidth) / mCanvasWidth;
  const double lScaleY = static_cast<double>(mViewHeight) / mCanvasHeight;
  mBands.clear();
  int lWidth = 1, lHeight = 1;  // row 0 holds the fully covered texel
  for (size_t i = 0; i < mTexts.size(); ++i) {
    const Text& t = mTexts[i];
    const FTBBox lBox = pFont.BBox(t.text.c_str(), -1, FTPoint(t.x, t.y, 0));
    if (!(lBox.Upper().X() > lBox.Lower().X())) continue;
    const double lOutline[4] = {lBox.Lower().X(), lBox.Lower().Y(), lBox.Upper().X(), lBox.Upper().Y()};
    int p[4];
    vthud::GlyphPixels(lOutline, lScaleX, lScaleY, mViewWidth, mViewHeight, p);
    const Band b{p[0], p[1], p[2], p[3], lHeight, i};
    if (b.x1 <= b.x0 || b.y1 <= b.y0) continue;
    mBands.push_back(b);
    lWidth = std::max(lWidth, b.x1 - b.x0);
    lHeight += b.y1 - b.y0;
  }
  GLint lMaxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &lMaxSize);
  if (lWidth > lMaxSize || lHeight > lMaxSize) return false;
  if (lWidth > mTextureWidth || lHeight > mTextureHeight) {
    mTextureWidth = std::max(lWidth, mTextureWidth);
    mTextureHeight = std::max(lHeight, mTextureHeight);
    glBindTexture(GL_TEXTURE_2D, mTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, mTextureWidth, mTextureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }

  GLint lTarget = 0, lViewport[4], lScissor[4];
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &lTarget);
  glGetIntegerv(GL_VIEWPORT, lViewport);
  glGetIntegerv(GL_SCISSOR_BOX, lScissor);
  const bool lScissoring = glIsEnabled(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mFramebuffer);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_SCISSOR_TEST);
  const GLfloat lClear[4] = {0, 0, 0, 0}, lCovered[4] = {1, 1, 1, 1};
  glClearBufferfv(GL_COLOR, 0, lClear);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 1, 1);
  glClearBufferfv(GL_COLOR, 0, lCovered);
  // White and opaque: FTGL's blend, source x a + destination x (1 - a), then
  // leaves the strings' true coverage in red, glyph over glyph.
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBlendEquation(GL_FUNC_ADD);
  for (const Band& b : mBands) {
    // The target's own viewport moved by whole pixels: the string lands on
    // the same pixels of its band as it would on the target.
    glViewport(-b.x0, b.row - b.y0, mViewWidth, mViewHeight);
    glScissor(0, b.row, b.x1 - b.x0, b.y1 - b.y0);
    const Text& t = mTexts[b.text];
    pFont.Render(t.text.c_str(), -1, FTPoint(t.x, t.y, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(lTarget));
  glViewport(lViewport[0], lViewport[1], lViewport[2], lViewport[3]);
  glScissor(lScissor[0], lScissor[1], lScissor[2], lScissor[3]);
  if (!lScissoring) glDisable(GL_SCISSOR_TEST);
  return true;
}

bool LabelLayer::Prepare(FTFont& pFont, const std::vector<Text>& pTexts, int pCanvasWidth, int pCanvasHeight) {
  GLint lViewport[4];
  glGetIntegerv(GL_VIEWPORT, lViewport);
  if (lViewport[2] <= 0 || lViewport[3] <= 0 || pCanvasWidth <= 0 || pCanvasHeight <= 0) return false;
  if (!create()) return false;
  if (mValid && mViewWidth == lViewport[2] && mViewHeight == lViewport[3] && mCanvasWidth == pCanvasWidth &&
      mCanvasHeight == pCanvasHeight && mTexts == pTexts)
    return true;
  mTexts = pTexts;
  mViewWidth = lViewport[2];
  mViewHeight = lViewport[3];
  mCanvasWidth = pCanvasWidth;
  mCanvasHeight = pCanvasHeight;
  mValid = render(pFont);
  return mValid;
}

void LabelLayer::Begin() {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, mTexture);
  glBegin(GL_QUADS);
  glTexCoord2f(0.5f / static_cast<float>(mTextureWidth), 0.5f / static_cast<float>(mTextureHeight));
}

void LabelLayer::End(const float (&pColour)[4]) {
  if (!mBands.empty()) glColor4f(pColour[0], pColour[1], pColour[2], pColour[3]);
  const float lU = 1.0f / static_cast<float>(mTextureWidth), lV = 1.0f / static_cast<float>(mTextureHeight);
  const float lX = static_cast<float>(mCanvasWidth) / static_cast<float>(mViewWidth);
  const float lY = static_cast<float>(mCanvasHeight) / static_cast<float>(mViewHeight);
  for (const Band& b : mBands) {
    const int w = b.x1 - b.x0, h = b.y1 - b.y0;
    const int px[4] = {0, w, w, 0}, py[4] = {0, 0, h, h};
    for (int k = 0; k < 4; ++k) {
      glTexCoord2f(static_cast<float>(px[k]) * lU, static_cast<float>(b.row + py[k]) * lV);
      glVertex2f(static_cast<float>(b.x0 + px[k]) * lX, static_cast<float>(b.y0 + py[k]) * lY);
    }
  }
  glEnd();
}

}  // namespace vtlines

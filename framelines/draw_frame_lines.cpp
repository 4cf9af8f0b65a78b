// One frame of the lines: whole-pixel quads in the line and protection
// colours and the labels (or the one line that says why there are none)
// laid from the label layer, in one draw inside saved and restored GL state.
#include "vtframelines_element.h"

#include <FTGL/ftgl.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "utf8_text.h"

namespace {

void SetColour(const FBColorAndAlpha& pColor) {
  glColor4f(static_cast<float>(pColor[0]), static_cast<float>(pColor[1]), static_cast<float>(pColor[2]),
            static_cast<float>(pColor[3]));
}

bool SameColour(const FBColorAndAlpha& a, const FBColorAndAlpha& b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

}  // namespace

void VTFrameLines::drawText(const std::string& pText, int pX, int pY) {
  // The glyph set is the bundled face's; characters it lacks draw nothing.
  mFont->Render(pText.c_str(), -1, FTPoint(pX, pY, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
}

void VTFrameLines::compileTextList() {
  // FTGL makes a glyph's texture the first time it meets the glyph; measuring
  // first does that here, so the list holds the drawing alone and not the uploads.
  for (const vtlines::Text& t : mTexts) mFont->Advance(t.text.c_str());
  mTextList = glGenLists(1);
  glNewList(mTextList, GL_COMPILE);
  for (const vtlines::Text& t : mTexts) drawText(t.text, t.x, t.y);
  glEndList();
}

void VTFrameLines::emitShapes(const FBColorAndAlpha& pLine, const FBColorAndAlpha& pProtection) {
  // Both colours are set even when one has no quads: under Mesa 22 the
  // attribute pop after the drawing did not bring the current colour back
  // when the text's colour was the only colour set since the push.
  for (int lPass = 0; lPass < 2; ++lPass) {
    const bool lProtection = lPass == 1;
    SetColour(lProtection ? pProtection : pLine);
    for (const vtlines::Quad& q : mQuads)
      if (q.protection == lProtection) {
        glVertex2i(q.left, q.bottom);
        glVertex2i(q.right, q.bottom);
        glVertex2i(q.right, q.top);
        glVertex2i(q.left, q.top);
      }
  }
}

void VTFrameLines::compileShapeList(const FBColorAndAlpha& pLine, const FBColorAndAlpha& pProtection) {
  mListLine = pLine;
  mListProtection = pProtection;
  mShapeList = glGenLists(1);
  glNewList(mShapeList, GL_COMPILE);
  glBegin(GL_QUADS);
  emitShapes(pLine, pProtection);
  glEnd();
  glEndList();
}

void VTFrameLines::releaseList(uint32_t& pList) {
  if (pList != 0 && glIsList(pList)) glDeleteLists(pList, 1);
  pList = 0;
}

void VTFrameLines::DrawLines() {
  // FTGL binds its glyphs' textures when it first measures them, as below.
  GLint lTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &lTexture);
  // Read into the same strings every frame: they keep their buffers.
  Inputs& lInputs = mReading;
  lInputs.decisions = static_cast<const char*>(FramingDecisions.GetPropertyValue());
  lInputs.canvas = static_cast<const char*>(Canvas.GetPropertyValue());
  lInputs.aspectLines = static_cast<const char*>(AspectLines.GetPropertyValue());
  lInputs.settings.width = LineWidth;
  lInputs.settings.protection = ShowProtection;
  lInputs.settings.labels = ShowLabels;
  lInputs.settings.centreMark = ShowCentreMark;
  lInputs.settings.thirds = ShowThirds;
  lInputs.settings.actionSafe = ActionSafe;
  lInputs.settings.titleSafe = TitleSafe;
  lInputs.fdlGeneration = mFdlGeneration;
  if (!mBuiltValid || !(lInputs == mBuilt)) {
    mBuilt = lInputs;
    std::vector<vtlines::Frame> lFrames;
    collectFrames(lFrames, mProblem);
    vtlines::BuildLines(lFrames, mBuilt.settings, mWidth, mHeight, mQuads, mLabels);
    // FTGL indexes its glyphs with whatever it decodes: ill-formed text is repaired once, here.
    char lScratch[vthud::kDrawableTextSize];
    for (vtlines::Label& lLabel : mLabels) lLabel.text = vthud::DrawableText(lLabel.text.c_str(), lScratch);
    mProblem = vthud::DrawableText(mProblem.c_str(), lScratch);
    mTexts.clear();
    for (const vtlines::Label& lLabel : mLabels) mTexts.push_back({lLabel.text, lLabel.x, lLabel.y});
    if (!mProblem.empty()) {
      const int lAdvance = static_cast<int>(mFont->Advance(mProblem.c_str()));
      mTexts.push_back({mProblem, std::max(8, (mWidth - lAdvance) / 2), mHeight / 2});
    }
    mBuiltValid = true;
    releaseList(mShapeList);
    releaseList(mTextList);
  }
  if (mQuads.empty() && mTexts.empty()) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lTexture));
    return;
  }

  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  // Colour over the target, and alpha as "over" too, as the HUD element blends.
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glBlendEquation(GL_FUNC_ADD);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, mWidth, 0, mHeight, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);

  const FBColorAndAlpha lLine = LineColor, lProtection = ProtectionColor;
  if (!mTexts.empty() && mLabelLayer.Prepare(*mFont, mTexts, mWidth, mHeight)) {
    // The lines and the labels in one draw: each draw costs the software
    // rasteriser more than its few vertices do.
    const float lColour[4] = {static_cast<float>(lLine[0]), static_cast<float>(lLine[1]),
                              static_cast<float>(lLine[2]), static_cast<float>(lLine[3])};
    mLabelLayer.Begin();
    emitShapes(lLine, lProtection);
    mLabelLayer.End(lColour);
  } else {
    if (mShapeList != 0 && !(SameColour(lLine, mListLine) && SameColour(lProtection, mListProtection)))
      releaseList(mShapeList);
    if (mShapeList == 0) compileShapeList(lLine, lProtection);
    glCallList(mShapeList);
    if (!mTexts.empty()) {
      // Without the layer, straight into the target.
      SetColour(lLine);
      glEnable(GL_TEXTURE_2D);
      // FTGL blends alpha as it does colour; the larger alpha keeps an edge
      // exact over transparent and over opaque pixels of the target.
      glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
      if (mTextList == 0) compileTextList();
      glCallList(mTextList);
      glBlendEquation(GL_FUNC_ADD);
    }
  }

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lTexture));
}

#include "hand_drawn_overlay.h"

#define GL_GLEXT_PROTOTYPES 1
#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

#include "mask_geometry.h"
#include "readouts.h"

namespace vthud_bench {

HandDrawnOverlay::HandDrawnOverlay() = default;
HandDrawnOverlay::~HandDrawnOverlay() = default;

bool HandDrawnOverlay::Load() {
  mValueFont.reset(new FTTextureFont(VTHUD_RESOURCES_DIR "/OratorStd.otf"));
  mLabelFont.reset(new FTTextureFont(VTHUD_RESOURCES_DIR "/Arial.ttf"));
  if (mValueFont->Error() || mLabelFont->Error()) return false;
  mValueFont->FaceSize(48, 72);
  mLabelFont->FaceSize(16, 72);
  return true;
}

void HandDrawnOverlay::DrawPane(vthost::Pane& pPane, long long pFrame) {
  glBindFramebuffer(GL_FRAMEBUFFER, pPane.Framebuffer());
  glViewport(0, 0, 1920, 1080);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Draw(pFrame);
  glFinish();
}

void HandDrawnOverlay::Draw(long long pFrame) {
  const int W = 1920, H = 1080;
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glBlendEquation(GL_FUNC_ADD);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, W, 0, H, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_TRANSFORM_BIT | GL_LIST_BIT);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);

  // Mask: 2.35 framed centred on the canvas.
  int lQuads[4][4][2];
  vthud::MaskQuads(vthud::ComputeMaskGeometry(W, H, 0.0, 2.35, 0.5), W, H, lQuads);
  glColor4f(0.0f, 0.0f, 0.0f, 0.75f);
  glBegin(GL_QUADS);
  for (const auto& lQuad : lQuads)
    for (const auto& lVertex : lQuad) glVertex2i(lVertex[0], lVertex[1]);
  glEnd();

  // Timeline over frames 0 to 300, no in/out band width, no markers.
  const int lT = 90;
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_LINE_LOOP);
  glVertex2i(10, lT + 20);
  glVertex2i(10, lT);
  glVertex2i(W - 10, lT);
  glVertex2i(W - 10, lT + 20);
  glEnd();
  auto X = [&](long long pAt) { return static_cast<int>(static_cast<float>(pAt) / 300.0f * (W - 20) + 10.0f); };
  const float lShift = 0.55f;
  glColor4f(-lShift, lShift, -lShift, 0.25f);
  glBegin(GL_QUADS);
  glVertex2i(X(0), lT + 19);
  glVertex2i(X(0), lT + 1);
  glVertex2i(X(0), lT + 1);
  glVertex2i(X(0), lT + 19);
  glEnd();
  glColor4f(lShift, -lShift, -lShift, 1.0f);
  const int lCursor = X(pFrame);
  glBegin(GL_QUADS);
  glVertex2i(lCursor - 2, lT + 19);
  glVertex2i(lCursor - 2, lT + 1);
  glVertex2i(lCursor + 2, lT + 1);
  glVertex2i(lCursor + 2, lT + 19);
  glEnd();

  // Text: values 5 pixels tighter, captions 5 right and 16 below.
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);  // glyph edges keep the coverage already there
  char lText[64];
  auto Field = [&](const char* pValue, int pX, int pY, const char* pLabel) {
    mValueFont->Render(pValue, -1, FTPoint(pX, pY, 0), FTPoint(-5, 0, 0), FTGL::RENDER_ALL);
    if (pLabel) mLabelFont->Render(pLabel, -1, FTPoint(pX + 5, pY - 16, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
  };
  const int lTop = H - 48, lBottom = 24;
  Field(vthud::FormatSceneFrame(pFrame, lText, sizeof lText), 10, lBottom, "FRAME");
  Field(vthud::FormatTimecode(0, 0, static_cast<int>(pFrame / 30), static_cast<int>(pFrame % 30), lText,
                              sizeof lText),
        200, lBottom, "SCENE");
  Field("00:00:00:00", 500, lBottom, "CHARACTER");
  Field("00:00:00:00", 800, lBottom, "CAMERA");
  const double lFocal = vthud::FocalLengthMm(0, 0.816, 0.612, 40.0, 40.0, 35.0);
  Field(vthud::FormatFocalLength(lFocal, lText, sizeof lText), 10, lTop, "FOCAL LENGTH");
  Field("Take 001", 760, lTop, "FQN");
  glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
  Field("READY", 1700, lBottom, nullptr);
  glBlendEquation(GL_FUNC_ADD);

  glPopAttrib();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

}  // namespace vthud_bench

#include "lean_overlay.h"

#define GL_GLEXT_PROTOTYPES 1
#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "mask_geometry.h"
#include "png_image.h"
#include "readouts.h"

namespace vthud_bench {
namespace {

const int W = 1920, H = 1080, kTop = H - 48, kBottom = 24, kTimeline = 90;

// The loop range of a new scene, 0 to 300, across the bar.
int TimelineX(long long pFrame) {
  return static_cast<int>(static_cast<float>(pFrame) / 300.0f * (W - 20) + 10.0f);
}

}  // namespace

LeanOverlay::LeanOverlay() = default;
LeanOverlay::~LeanOverlay() {
  if (mReticleTexture) glDeleteTextures(1, &mReticleTexture);
  if (mLayerFramebuffer) glDeleteFramebuffers(1, &mLayerFramebuffer);
  const GLuint lTextures[2] = {mGreen, mLayer};
  if (mLayer) glDeleteTextures(2, lTextures);
}

namespace {

// A row of text: the union of its strings' boxes, 4 pixels wider each way.
void AddToRow(std::vector<LeanOverlay::Box>& pRows, const FTBBox& pBox) {
  const LeanOverlay::Box b{static_cast<int>(pBox.Lower().X()) - 4, static_cast<int>(pBox.Lower().Y()) - 4,
                           static_cast<int>(pBox.Upper().X()) + 5, static_cast<int>(pBox.Upper().Y()) + 5};
  for (LeanOverlay::Box& r : pRows)
    if (b.y0 < r.y1 && r.y0 < b.y1) {
      r = {std::min(r.x0, b.x0), std::min(r.y0, b.y0), std::max(r.x1, b.x1), std::max(r.y1, b.y1)};
      return;
    }
  pRows.push_back(b);
}

void Quads(const LeanOverlay::Box* pBoxes, size_t pCount) {
  for (size_t i = 0; i < pCount; ++i) {
    const LeanOverlay::Box& b = pBoxes[i];
    glTexCoord2f(b.x0 / float(W), b.y0 / float(H));
    glVertex2i(b.x0, b.y0);
    glTexCoord2f(b.x1 / float(W), b.y0 / float(H));
    glVertex2i(b.x1, b.y0);
    glTexCoord2f(b.x1 / float(W), b.y1 / float(H));
    glVertex2i(b.x1, b.y1);
    glTexCoord2f(b.x0 / float(W), b.y1 / float(H));
    glVertex2i(b.x0, b.y1);
  }
}

}  // namespace

void LeanOverlay::BeginText(const std::vector<Box>& pBoxes) {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mLayerFramebuffer);
  glEnable(GL_SCISSOR_TEST);
  const GLfloat lClear[4] = {0, 0, 0, 0};
  for (const Box& b : pBoxes) {
    glScissor(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
    glClearBufferfv(GL_COLOR, 0, lClear);
  }
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_FALSE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void LeanOverlay::EndText(const std::vector<Box>& pWhite, const Box* pStatus) {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, mTarget);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glBindTexture(GL_TEXTURE_2D, mLayer);
  glBegin(GL_QUADS);
  Quads(pWhite.data(), pWhite.size());
  glEnd();
  if (pStatus) {
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, mGreen);
    glBegin(GL_QUADS);
    Quads(pStatus, 1);
    glEnd();
  }
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void LeanOverlay::AddField(const std::string& pValue, int pX, int pY, const char* pLabel) {
  mFixed.push_back({mValueFont.get(), pValue, static_cast<float>(pX), static_cast<float>(pY), -5.0f});
  if (pLabel)
    mFixed.push_back({mLabelFont.get(), pLabel, static_cast<float>(pX + 5), static_cast<float>(pY - 16), 0.0f});
}

bool LeanOverlay::Load(bool pEveryField, FBCamera* pCamera, const std::string& pTake) {
  mValueFont.reset(new FTTextureFont(VTHUD_RESOURCES_DIR "/OratorStd.otf"));
  mLabelFont.reset(new FTTextureFont(VTHUD_RESOURCES_DIR "/Arial.ttf"));
  if (mValueFont->Error() || mLabelFont->Error() || !pCamera) return false;
  mValueFont->FaceSize(48, 72);
  mLabelFont->FaceSize(16, 72);
  mEveryField = pEveryField;
  mFixed.clear();
  char lText[256];
  AddField("00:00:00:00", 500, kBottom, "CHARACTER");
  AddField("00:00:00:00", 800, kBottom, "CAMERA");
  const double lFocal =
      vthud::FocalLengthMm(pCamera->ApertureMode, pCamera->FilmSizeWidth, pCamera->FilmSizeHeight,
                           pCamera->FieldOfView, pCamera->FieldOfViewX, pCamera->FocalLength);
  AddField(vthud::FormatFocalLength(lFocal, lText, sizeof lText), 10, kTop, "FOCAL LENGTH");
  if (pEveryField) {
    AddField(vthud::FormatFStop(pCamera->FStop, lText, sizeof lText), 175, kTop, "F-STOP");
    AddField(vthud::FormatFocusDistance(pCamera->FocusSpecificDistance, false, lText, sizeof lText), 310, kTop,
             "FOCUS DIST");
    AddField(pCamera->Name.GetPropertyValue().Buffer(), 200, kTop, "CAMERA");
    AddField(vthud::FormatInterocular(0.0, false, lText, sizeof lText), 515, kTop, "IO");
    AddField(vthud::FormatConvergence(0.0, false, lText, sizeof lText), 610, kTop, "CONVERGENCE");
  }
  AddField(pTake, 760, kTop, "FQN");
  if (pEveryField) {
    AddField("999A1", 1400, kTop, "SLATE");
    AddField(vthud::FormatFramesPerSecond(0.0, lText, sizeof lText), 1600, kTop, "FRAMERATE");
    AddField(vthud::FormatValue(0.0, lText, sizeof lText), 1200, kBottom, "Value 1");
    AddField(vthud::FormatValue(0.0, lText, sizeof lText), 1450, kBottom, "Value 2");
  }

  // The layer and the rows its text lies in: the scene frame and timecode
  // at their widest, the fixed fields, the status.
  glCreateTextures(GL_TEXTURE_2D, 1, &mLayer);
  glTextureStorage2D(mLayer, 1, GL_RGBA8, W, H);
  glGenTextures(1, &mGreen);
  glTextureView(mGreen, GL_TEXTURE_2D, mLayer, GL_RGBA8, 0, 1, 0, 1);
  const GLint lRed[4] = {GL_RED, GL_RED, GL_RED, GL_RED}, lGreen[4] = {GL_GREEN, GL_GREEN, GL_GREEN, GL_GREEN};
  for (GLuint lName : {mLayer, mGreen}) {
    glTextureParameteri(lName, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTextureParameteri(lName, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTextureParameteriv(lName, GL_TEXTURE_SWIZZLE_RGBA, lName == mLayer ? lRed : lGreen);
  }
  glClearTexImage(mLayer, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glCreateFramebuffers(1, &mLayerFramebuffer);
  glNamedFramebufferTexture(mLayerFramebuffer, GL_COLOR_ATTACHMENT0, mLayer, 0);
  mFieldBoxes.clear();
  AddToRow(mFieldBoxes, mValueFont->BBox("00000", -1, FTPoint(10, kBottom, 0), FTPoint(-5, 0, 0)));
  AddToRow(mFieldBoxes, mLabelFont->BBox("FRAME", -1, FTPoint(15, kBottom - 16, 0)));
  AddToRow(mFieldBoxes, mValueFont->BBox("00:00:00:00", -1, FTPoint(200, kBottom, 0), FTPoint(-5, 0, 0)));
  for (const Text& t : mFixed)
    AddToRow(mFieldBoxes, t.font->BBox(t.text.c_str(), -1, FTPoint(t.x, t.y, 0), FTPoint(t.spacing, 0, 0)));
  std::vector<Box> lStatus;
  AddToRow(lStatus, mValueFont->BBox("READY", -1, FTPoint(1700, kBottom, 0), FTPoint(-5, 0, 0)));
  mStatusBox = lStatus[0];

  // Markers 1 to 3: frames 0, 100 and 0; only the second has a name. Names
  // are measured once, here.
  mMarkerNames.clear();
  mMarkerX.clear();
  if (pEveryField) {
    const std::pair<long long, const char*> lMarkers[] = {{0, ""}, {100, "Action"}, {0, ""}};
    for (const auto& lMarker : lMarkers) {
      const int lX = TimelineX(lMarker.first);
      const FTPoint lUpper = mLabelFont->BBox(lMarker.second, -1).Upper();
      mMarkerX.push_back(lX);
      mMarkerNames.push_back({mLabelFont.get(), lMarker.second, static_cast<float>(lX - 0.5 * lUpper.X()),
                              static_cast<float>(kTimeline - lUpper.Y() - 5), 0.0f});
      const Text& t = mMarkerNames.back();
      if (*lMarker.second) AddToRow(mFieldBoxes, t.font->BBox(t.text.c_str(), -1, FTPoint(t.x, t.y, 0)));
    }
  }
  mClearedBoxes = mFieldBoxes;
  mClearedBoxes.push_back(mStatusBox);
  if (pEveryField) {
    // The reticle image as the element uploads it: bottom row first, RGBA.
    vthost::Image lImage;
    std::string lError;
    if (!vthost::ReadPng(VTHUD_RESOURCES_DIR "/reticle-15-circle.png", lImage, lError)) return false;
    std::vector<uint8_t> lBottomUp(lImage.rgba.size());
    const size_t lRow = static_cast<size_t>(lImage.width) * 4;
    for (int y = 0; y < lImage.height; ++y)
      std::copy(lImage.rgba.begin() + y * lRow, lImage.rgba.begin() + (y + 1) * lRow,
                lBottomUp.begin() + (lImage.height - 1 - y) * lRow);
    glGenTextures(1, &mReticleTexture);
    glBindTexture(GL_TEXTURE_2D, mReticleTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, lImage.width, lImage.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 lBottomUp.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  return true;
}

void LeanOverlay::DrawPane(vthost::Pane& pPane, long long pFrame, const vthost::Image* pBackground) {
  mTarget = pPane.Framebuffer();
  glBindFramebuffer(GL_FRAMEBUFFER, mTarget);
  glViewport(0, 0, W, H);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (pBackground && pBackground->width == W && pBackground->height == H) {
    glPixelZoom(1.0f, -1.0f);
    glWindowPos2i(0, H);
    glDrawPixels(W, H, GL_RGBA, GL_UNSIGNED_BYTE, pBackground->rgba.data());
    glPixelZoom(1.0f, 1.0f);
  }
  Draw(pFrame);
  glFinish();
}

void LeanOverlay::Draw(long long pFrame) {
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, W, 0, H, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glBlendEquation(GL_FUNC_ADD);

  // Mask: 2.35 framed centred on the canvas.
  int lQuads[4][4][2];
  vthud::MaskQuads(vthud::ComputeMaskGeometry(W, H, 0.0, 2.35, 0.5), W, H, lQuads);
  glColor4f(0.0f, 0.0f, 0.0f, 0.75f);
  glBegin(GL_QUADS);
  for (const auto& lQuad : lQuads)
    for (const auto& lVertex : lQuad) glVertex2i(lVertex[0], lVertex[1]);
  glEnd();

  // Timeline: outline, an empty in/out band, the markers, their names, the cursor.
  const int lT = kTimeline;
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_LINE_LOOP);
  glVertex2i(10, lT + 20);
  glVertex2i(10, lT);
  glVertex2i(W - 10, lT);
  glVertex2i(W - 10, lT + 20);
  glEnd();
  const float lShift = 0.55f;
  glColor4f(-lShift, lShift, -lShift, 0.25f);
  glBegin(GL_QUADS);
  glVertex2i(TimelineX(0), lT + 19);
  glVertex2i(TimelineX(0), lT + 1);
  glVertex2i(TimelineX(0), lT + 1);
  glVertex2i(TimelineX(0), lT + 19);
  glEnd();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  for (int lX : mMarkerX) {
    glBegin(GL_POLYGON);
    glVertex2i(lX, lT + 11);
    glVertex2i(lX - 10, lT + 1);
    glVertex2i(lX + 10, lT + 1);
    glEnd();
  }
  glColor4f(lShift, -lShift, -lShift, 1.0f);
  const int lCursor = TimelineX(pFrame);
  glBegin(GL_QUADS);
  glVertex2i(lCursor - 2, lT + 19);
  glVertex2i(lCursor - 2, lT + 1);
  glVertex2i(lCursor + 2, lT + 1);
  glVertex2i(lCursor + 2, lT + 19);
  glEnd();

  glEnable(GL_TEXTURE_2D);
  if (mEveryField) {
    // The reticle: 50 pixels square at the centre, tinted.
    glColor4f(1.0f, 0.0f, 0.0f, 0.9f);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, mReticleTexture);
    glBegin(GL_QUADS);
    glTexCoord2i(0, 0);
    glVertex2i(935, 565);
    glTexCoord2i(0, 1);
    glVertex2i(935, 515);
    glTexCoord2i(1, 1);
    glVertex2i(985, 515);
    glTexCoord2i(1, 0);
    glVertex2i(985, 565);
    glEnd();
  }

  // Text: values 5 pixels tighter, captions 5 right and 16 below, into the
  // layer's red channel; the status into its green.
  BeginText(mClearedBoxes);
  for (const Text& lName : mMarkerNames)  // the timeline's, in the fields' run as the element draws them
    lName.font->Render(lName.text.c_str(), -1, FTPoint(lName.x, lName.y, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
  char lText[64];
  mValueFont->Render(vthud::FormatSceneFrame(pFrame, lText, sizeof lText), -1, FTPoint(10, kBottom, 0),
                     FTPoint(-5, 0, 0), FTGL::RENDER_ALL);
  mLabelFont->Render("FRAME", -1, FTPoint(15, kBottom - 16, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
  mValueFont->Render(vthud::FormatTimecode(0, 0, static_cast<int>(pFrame / 30), static_cast<int>(pFrame % 30),
                                           lText, sizeof lText),
                     -1, FTPoint(200, kBottom, 0), FTPoint(-5, 0, 0), FTGL::RENDER_ALL);
  mLabelFont->Render("SCENE", -1, FTPoint(205, kBottom - 16, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
  for (const Text& lText : mFixed)
    lText.font->Render(lText.text.c_str(), -1, FTPoint(lText.x, lText.y, 0), FTPoint(lText.spacing, 0, 0),
                       FTGL::RENDER_ALL);
  glColorMask(GL_FALSE, GL_TRUE, GL_FALSE, GL_FALSE);
  mValueFont->Render("READY", -1, FTPoint(1700, kBottom, 0), FTPoint(-5, 0, 0), FTGL::RENDER_ALL);
  EndText(mFieldBoxes, &mStatusBox);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace vthud_bench

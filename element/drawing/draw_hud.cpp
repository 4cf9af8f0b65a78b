// One frame of the overlay: mask, timeline, bloop, reticle, the text fields,
// the record status and the save veil, inside saved and restored GL state.
#include "vshudelement_element.h"

#include <FTGL/ftgl.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

#include "draw_range.h"
#include "gl_colour.h"
#include "mask_geometry.h"
#include "readouts.h"
#include "utf8_text.h"

namespace {

void Copy(const FBColorAndAlpha& pColor, double (&pOut)[4]) {
  for (int i = 0; i < 4; ++i) pOut[i] = pColor[i];
}

void DrawMask(const vthud::MaskGeometry& pGeometry, int pWidth, int pHeight) {
  int lQuads[4][4][2];
  vthud::MaskQuads(pGeometry, pWidth, pHeight, lQuads);
  glBegin(GL_QUADS);
  for (const auto& lQuad : lQuads)
    for (const auto& lVertex : lQuad) glVertex2i(lVertex[0], lVertex[1]);
  glEnd();
}

}  // namespace

void VTHUDElement::DrawHUD() {
  _updateTimecodeProperties();

  const int W = mWidth, H = mHeight;
  const vthud::MaskGeometry lMask = vthud::ComputeMaskGeometry(W, H, AspectZoom, Aspect, AspectDistribution);

  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  // The fonts and the reticle bind their textures. Mesa 22 does not bring a
  // binding back through nested attribute pops, so it is saved by hand.
  GLint lTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &lTexture);
  glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  // The blend function belongs to the outer push; set before the inner push,
  // because some drivers (Mesa 22) skip restoring state of an outer group that
  // was only changed while an inner push was open.
  // Colour blends as source over destination; alpha composites as "over" too,
  // so an offscreen target holds the overlay's true coverage (not alpha squared)
  // and an opaque background stays opaque.
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

  // Everything the sub-drawings share is read once, here. The lens fields and
  // the camera name need a current camera; without one they are skipped.
  FBRenderer* lRenderer = mSystem.Renderer;
  FBCamera* lCamera = lRenderer ? lRenderer->CurrentCamera.GetPropertyValue() : nullptr;
  const FBTime lSceneTime = mSystem.LocalTime;
  {
    FBPlayerControl lPlayer;
    mFrame.recording = lPlayer.IsRecording;
    mFrame.playing = lPlayer.IsPlaying;
    mFrame.loopStart = lPlayer.LoopStart.GetPropertyValue().GetFrame(kFBTimeModeDefault);
    mFrame.loopStop = lPlayer.LoopStop.GetPropertyValue().GetFrame(kFBTimeModeDefault);
  }
  mFrame.sceneFrame = lSceneTime.GetFrame(kFBTimeModeDefault);
  mFrame.bloopUnderMask = UseXForBloop;
  mFrame.showLabels = ShowLabels;
  mFrame.timelineY = vthud::DrawCoord(static_cast<long long>(TimelineOffset));
  Copy(MaskColor, mFrame.maskColor);
  Copy(FontColor, mFrame.fontColor);
  mFrame.camera = lCamera;
  mFrame.markerCount = 0;
  mFrame.namesWithFields = false;
  if (lCamera) {
    // Kept when unchanged, so the element's own copy costs nothing per frame.
    const FBString lName = lCamera->Name;
    if (!(mCameraName == lName)) mCameraName = lName;
  }

  if (mFrame.bloopUnderMask) RenderBloop(W, H);
  vthud::SetColour(mFrame.maskColor);
  DrawMask(lMask, W, H);
  RenderTimeline(W, H);
  if (!mFrame.bloopUnderMask) RenderBloop(W, H);
  RenderReticle(W, H);

  // Every string from here to the status is glyphs, one run of the text
  // layer: texturing is set once for all of them. FTGL's Render enables
  // texturing itself and its own attribute pop leaves it as found, so with it
  // already on, one string after another is no state change for the driver.
  glEnable(GL_TEXTURE_2D);
  mTextLayer.Begin(W, H);
  mTextLayer.Colour(0, mFrame.fontColor);
  if (mFrame.namesWithFields) RenderMarkerNames();  // the timeline's, in the same colour

  const long long lSceneFrame = mFrame.sceneFrame;
  int lHour, lMinute, lSecond, lFrame, lField, lMilli;
  lSceneTime.GetTime(lHour, lMinute, lSecond, lFrame, lField, lMilli, kFBTimeModeDefault);

  const int lTop = H - 48, lBottom = 24;
  const bool lMetric = MetricUnits;
  char lText[256];

  if (ShowSceneFrame)
    RenderText(vthud::FormatSceneFrame(lSceneFrame, lText, sizeof lText), FrameOffset, lBottom, "FRAME");
  if (ShowSceneTimecode)
    RenderText(vthud::FormatTimecode(lHour, lMinute, lSecond, lFrame, lText, sizeof lText), SceneTCOffset, lBottom,
               "SCENE");
  if (ShowCharacterTimecode)
    RenderText(vthud::FormatTimecode(CharacterHour, CharacterMinute, CharacterSecond, CharacterFrame, lText,
                                     sizeof lText),
               CharacterTCOffset, lBottom, "CHARACTER");
  if (ShowCameraTimecode)
    RenderText(vthud::FormatTimecode(CameraHour, CameraMinute, CameraSecond, CameraFrame, lText, sizeof lText),
               CameraTCOffset, lBottom, "CAMERA");
  if (lCamera) {
    if (ShowFocalLength) {
      const double lFocal =
          vthud::FocalLengthMm(lCamera->ApertureMode, lCamera->FilmSizeWidth, lCamera->FilmSizeHeight,
                               lCamera->FieldOfView, lCamera->FieldOfViewX, lCamera->FocalLength);
      RenderText(vthud::FormatFocalLength(lFocal, lText, sizeof lText), FocalLengthOffset, lTop, "FOCAL LENGTH");
    }
    if (ShowFStop)
      RenderText(vthud::FormatFStop(lCamera->FStop, lText, sizeof lText), FStopOffset, lTop, "F-STOP");
    if (ShowFocusDistance)
      RenderText(vthud::FormatFocusDistance(lCamera->FocusSpecificDistance, lMetric, lText, sizeof lText),
                 FocusDistanceOffset, lTop, "FOCUS DIST");
    if (ShowCameraName) {
      vthud::CopyWholeCharacters(mCameraName.Buffer(), lText, sizeof lText);
      RenderText(lText, CameraNameOffset, lTop, "CAMERA");
    }
  }
  if (ShowInteroccular)
    RenderText(vthud::FormatInterocular(Interoccular, lMetric, lText, sizeof lText), InteroccularOffset, lTop,
               "IO");
  if (ShowConvergence)
    RenderText(vthud::FormatConvergence(Convergence, lMetric, lText, sizeof lText), ConvergenceOffset, lTop,
               "CONVERGENCE");
  if (ShowFQN) {
    // Without a current take the FQN text stands.
    FBTake* lTake = UseTakeforFQN ? mSystem.CurrentTake.GetPropertyValue() : nullptr;
    const FBString lFQN = lTake ? lTake->Name.GetPropertyValue() : FQN.GetPropertyValue();
    RenderText(lFQN, FQNOffset, lTop, "FQN");
  }
  if (ShowSlate) {
    const FBString lSlate = Slate;
    RenderText(lSlate, SlateOffset, lTop, "SLATE");
  }
  if (ShowFPS)
    RenderText(vthud::FormatFramesPerSecond(mAverageFrameMs, lText, sizeof lText), FPSOffset, lTop, "FRAMERATE");
  if (ShowValue1) {
    const FBString lLabel = Value1Label;
    RenderText(vthud::FormatValue(Value1, lText, sizeof lText), Value1OffsetX, Value1OffsetY, lLabel);
  }
  if (ShowValue2) {
    const FBString lLabel = Value2Label;
    RenderText(vthud::FormatValue(Value2, lText, sizeof lText), Value2OffsetX, Value2OffsetY, lLabel);
  }

  // Status: recording wins over standby.
  const float lAlpha = static_cast<float>(mFrame.fontColor[3]);
  // Its own ink: its colour differs from the fields'.
  if (mFrame.recording) {
    mTextLayer.Colour(1, 1.0f, 0.0f, 0.0f, lAlpha);
    RenderText(" REC ", StatusOffset, lBottom, nullptr);
  } else if (Standby) {
    mTextLayer.Colour(1, 1.0f, 1.0f, 0.0f, lAlpha);
    RenderText("STDBY", StatusOffset, lBottom, nullptr);
  } else {
    mTextLayer.Colour(1, 0.0f, 1.0f, 0.0f, lAlpha);
    RenderText("READY", StatusOffset, lBottom, nullptr);
  }

  mTextLayer.End();
  glDisable(GL_TEXTURE_2D);

  if (Saving) {
    glColor4f(0.0f, 0.0f, 0.0f, 0.85f);
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(W, 0);
    glVertex2i(W, H);
    glVertex2i(0, H);
    glEnd();
    const FBString lMessageText = SaveMessage;
    char lScratch[vthud::kDrawableTextSize];
    const char* lMessage = vthud::DrawableText(lMessageText, lScratch);
    double lBounds[4];
    mTextLayer.Bounds(*mArialLargeFont, lMessage, FTPoint(0, 0, 0), lBounds);
    mTextLayer.Begin(W, H, 2);  // a run of its own, over the veil
    mTextLayer.Colour(0, 1.0f, 1.0f, 1.0f, 1.0f);
    mTextLayer.Render(*mArialLargeFont, lMessage, FTPoint(W / 2 - 0.5 * lBounds[2], H / 2 - 0.5 * lBounds[3], 0),
                      FTPoint(0, 0, 0));
    mTextLayer.End();
  }

  glPopAttrib();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lTexture));
}

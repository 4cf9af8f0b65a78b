// The overlay's layout read back as pixels: the aspect mask's bars, the record
// status, the save veil, the default overlay and the GL state left behind.
#define GL_GLEXT_PROTOTYPES 1
#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include "hud_support.h"

using namespace vthud_test;

namespace {
const RGBA kRed{255, 0, 0, 255};

// The most opaque pixel of a region: the solid core of a glyph.
RGBA Core(const vthost::Image& pImage, int pX0, int pY0, int pX1, int pY1) {
  RGBA lBest{0, 0, 0, -1};
  for (int y = pY0; y < pY1; ++y)
    for (int x = pX0; x < pX1; ++x) {
      const uint8_t* p = pImage.At(x, pImage.height - 1 - y);
      if (p[3] > lBest.a) lBest = {p[0], p[1], p[2], p[3]};
    }
  return lBest;
}
}  // namespace

class Layout : public QuietHudTest {};

// Bars in an opaque colour; probes just inside and just outside each edge,
// away from the status field.
TEST_F(Layout, MaskBarsFrameThePictureForEachAspectDistributionAndZoom) {
  struct Case {
    double aspect, share, zoom;
    int top, bottom, side;
  };
  const Case kCases[] = {
      {2.35, 0.5, 0, 131, 131, 0},   {1.85, 0.5, 0, 21, 21, 0}, {3.0, 0.25, 0, 110, 330, 0},
      {2.35, 0.0, 0, 0, 262, 0},     {2.35, 1.0, 0, 262, 0, 0}, {2.35, 0.5, 50, 335, 335, 480},
      {2.35, 0.5, 10, 172, 172, 96}, {1.5, 0.5, 0, 0, 0, 0},
  };
  Set(element, "Mask Color", "1 0 0 1");
  for (const Case& c : kCases) {
    SCOPED_TRACE("aspect " + std::to_string(c.aspect) + " share " + std::to_string(c.share) + " zoom " +
                 std::to_string(c.zoom));
    Set(element, "Aspect", std::to_string(c.aspect));
    Set(element, "Aspect Distribution", std::to_string(c.share));
    Set(element, "Aspect Zoom", std::to_string(c.zoom));
    const vthost::Image lImage = Draw();
    const int H = 1080, W = 1920, x = 1300;
    if (c.top > 0) {
      EXPECT_TRUE(Probe(lImage, x, H - c.top, kRed)) << "top bar's lower edge";
    }
    EXPECT_TRUE(Probe(lImage, x, H - c.top - 1, kClear)) << "below the top bar";
    if (c.bottom > 0) {
      EXPECT_TRUE(Probe(lImage, x, c.bottom - 1, kRed)) << "bottom bar's upper edge";
    }
    EXPECT_TRUE(Probe(lImage, x, c.bottom, kClear)) << "above the bottom bar";
    if (c.side > 0) {
      EXPECT_TRUE(Probe(lImage, c.side - 1, 540, kRed)) << "left bar's right edge";
      EXPECT_TRUE(Probe(lImage, W - c.side, 540, kRed)) << "right bar's left edge";
    }
    EXPECT_TRUE(Probe(lImage, c.side, 540, kClear)) << "picture's left edge";
    EXPECT_TRUE(Probe(lImage, W - c.side - 1, 540, kClear)) << "picture's right edge";
  }
  Set(element, "Aspect Zoom", "100");
  const vthost::Image lCovered = Draw();
  for (int y : {0, 540, 1079}) EXPECT_TRUE(Probe(lCovered, 960, y, kRed)) << "zoom 100 covers the canvas";
}

TEST_F(Layout, MaskBlendsItsColourWithItsAlpha) {
  Set(element, "Mask Color", "0 0 0 0.75");
  const vthost::Image lImage = Draw();
  // Over transparent black the bars keep the mask's own alpha, 0.75.
  EXPECT_TRUE(Probe(lImage, 1300, 5, {0, 0, 0, 191}));
  EXPECT_TRUE(Probe(lImage, 1300, 1075, {0, 0, 0, 191}));
  EXPECT_TRUE(Probe(lImage, 1300, 540, kClear));
}

TEST_F(Layout, StatusShowsRecordingOverStandbyOverReady) {
  struct Case {
    bool recording, standby;
    RGBA colour;
  };
  const Case kCases[] = {{false, false, {0, 255, 0, 255}},
                         {false, true, {255, 255, 0, 255}},
                         {true, false, {255, 0, 0, 255}},
                         {true, true, {255, 0, 0, 255}}};
  for (const Case& c : kCases) {
    host->SetRecording(c.recording);
    Set(element, "Standby", c.standby ? "true" : "false");
    const RGBA lCore = Core(Draw(), 1690, 0, 1920, 100);
    EXPECT_NEAR(lCore.r, c.colour.r, 2) << "recording " << c.recording << " standby " << c.standby;
    EXPECT_NEAR(lCore.g, c.colour.g, 2) << "recording " << c.recording << " standby " << c.standby;
    EXPECT_NEAR(lCore.b, c.colour.b, 2) << "recording " << c.recording << " standby " << c.standby;
    EXPECT_GE(lCore.a, 250);
  }
}

TEST_F(Layout, SaveVeilDarkensTheCanvasAndCentresItsMessage) {
  Set(element, "Saving", "true");
  Set(element, "Save Message", "");
  vthost::Image lImage = Draw();
  // 0.85 black over transparent keeps its alpha.
  for (int y : {540, 300, 900}) EXPECT_TRUE(Probe(lImage, 960, y, {0, 0, 0, 217}));
  EXPECT_TRUE(LitBox(lImage, 100, 150, 1800, 950, 230).empty) << "an empty message draws no text";

  Set(element, "Save Message", "Saving...");
  lImage = Draw();
  FTTextureFont lFont((std::string(VTHUD_RESOURCES_DIR) + "/Arial.ttf").c_str());
  lFont.FaceSize(256, 72);
  const FTBBox lBox = lFont.BBox("Saving...", -1, FTPoint(), FTPoint());
  const double lX = 960 - 0.5 * lBox.Upper().X(), lY = 540 - 0.5 * lBox.Upper().Y();
  const Box lText = LitBox(lImage, 0, 150, 1920, 950, 230);
  ASSERT_FALSE(lText.empty);
  EXPECT_NEAR(lText.x0, lX + lBox.Lower().X(), 3);
  EXPECT_NEAR(lText.x1, lX + lBox.Upper().X(), 3);
  EXPECT_NEAR(lText.y0, lY + lBox.Lower().Y(), 3);
  EXPECT_NEAR(lText.y1, lY + lBox.Upper().Y(), 3);
}

// The default overlay: fields at their offsets on both rows, white, inside the bars.
TEST(LayoutDefaults, DefaultOverlayPlacesEveryFieldAtItsOffset) {
  ASSERT_TRUE(EnsureGL());
  vthost::Host lHost;
  std::string lError;
  ASSERT_NE(lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError), nullptr) << lError;
  ASSERT_NE(lHost.Create("VTHUDElement", "hud", lError), nullptr) << lError;
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, nullptr);
  lHost.DrawPane(lPane);
  const vthost::Image lImage = lPane.ReadPixels();

  struct Field {
    const char* what;
    int x, y;   // pen origin
    int right;  // the next field's start
  };
  const Field kFields[] = {{"focal length", 10, 1032, 700},
                           {"FQN", 760, 1032, 1920},
                           {"frame", 10, 24, 190},
                           {"scene timecode", 200, 24, 490},
                           {"character timecode", 500, 24, 790},
                           {"camera timecode", 800, 24, 1100},
                           {"status", 1700, 24, 1920}};
  for (const Field& f : kFields) {
    // Bright pixels only: the bars themselves are dark.
    const Box lBox = LitBox(lImage, f.x - 5, f.y - 30, f.right, f.y + 45, 200);
    ASSERT_FALSE(lBox.empty) << f.what;
    EXPECT_NEAR(lBox.x0, f.x + 2, 4) << f.what << " " << ToString(lBox);
    const RGBA lCore = Core(lImage, lBox.x0, lBox.y0, lBox.x1, lBox.y1);
    if (f.x != 1700) {
      EXPECT_GE(std::min({lCore.r, lCore.g, lCore.b}), 250) << f.what << " is white";
    }
  }
  EXPECT_TRUE(Probe(lImage, 1300, 130, {0, 0, 0, 191})) << "bottom bar";
  EXPECT_TRUE(Probe(lImage, 1300, 131, kClear));
  EXPECT_TRUE(Probe(lImage, 1300, 949, {0, 0, 0, 191})) << "top bar";
  EXPECT_TRUE(Probe(lImage, 1300, 948, kClear));
}

TEST_F(Layout, DrawingLeavesTheGLStateAsItFoundItButTheTextureMatrix) {
  glBindFramebuffer(GL_FRAMEBUFFER, pane->Framebuffer());
  glViewport(0, 0, 1920, 1080);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1, 1, -2, 2, -3, 3);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glScalef(2, 2, 2);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1, 2, 3);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  GLfloat lProjection[16], lModelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, lProjection);
  glGetFloatv(GL_MODELVIEW_MATRIX, lModelview);

  Set(element, "Show Reticle", "true");
  Set(element, "Show Timeline", "true");
  Set(element, "Saving", "true");
  FBViewingOptions lOptions(pane->Camera(), 0);
  FBHUDElement::Rect lRect{0, 0, 1920, 1080, 1, 1};
  element->DrawElement(&lOptions, lRect);

  GLint lMode = 0, lSrc = 0, lDst = 0, lStack = 0;
  glGetIntegerv(GL_MATRIX_MODE, &lMode);
  EXPECT_EQ(lMode, GL_MODELVIEW);
  GLfloat lNow[16], lTexture[16], lColour[4];
  glGetFloatv(GL_PROJECTION_MATRIX, lNow);
  EXPECT_TRUE(std::equal(lNow, lNow + 16, lProjection)) << "projection";
  glGetFloatv(GL_MODELVIEW_MATRIX, lNow);
  EXPECT_TRUE(std::equal(lNow, lNow + 16, lModelview)) << "modelview";
  glGetFloatv(GL_TEXTURE_MATRIX, lTexture);
  const GLfloat kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_TRUE(std::equal(lTexture, lTexture + 16, kIdentity)) << "texture matrix left as the identity";
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  glGetIntegerv(GL_BLEND_SRC_ALPHA, &lSrc);
  glGetIntegerv(GL_BLEND_DST_ALPHA, &lDst);
  EXPECT_EQ(lSrc, GL_ONE);
  EXPECT_EQ(lDst, GL_ZERO);
  GLint lEquation[2] = {};
  glGetIntegerv(GL_BLEND_EQUATION_RGB, &lEquation[0]);
  glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &lEquation[1]);
  EXPECT_EQ(lEquation[0], GL_FUNC_REVERSE_SUBTRACT);
  EXPECT_EQ(lEquation[1], GL_FUNC_REVERSE_SUBTRACT);
  glBlendEquation(GL_FUNC_ADD);
  glGetFloatv(GL_CURRENT_COLOR, lColour);
  EXPECT_FLOAT_EQ(lColour[2], 0.75f);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &lStack);
  EXPECT_EQ(lStack, 1);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &lStack);
  EXPECT_EQ(lStack, 1);
  glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &lStack);
  EXPECT_EQ(lStack, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A host without a current renderer, camera or take still gets an overlay:
// the lens fields and camera name are skipped and the FQN text stands in for
// the take's name.
TEST_F(Layout, MissingRendererCameraOrTakeSkipsLensFieldsAndKeepsTheFQNText) {
  Set(element, "Show Labels", "true");
  Set(element, "Show Focal Length", "true");
  Set(element, "Show Camera Name", "true");
  Set(element, "Show FQN", "true");
  Set(element, "Use Take for FQN", "false");
  const vthost::Image lFQNText = Draw();
  Set(element, "Use Take for FQN", "true");

  struct Case {
    const char* what;
    bool renderer, camera, take;
  };
  for (const Case& c : {Case{"no renderer", false, true, true}, Case{"no camera", true, false, true},
                        Case{"no take", true, true, false}}) {
    host->SetRendererPresent(c.renderer);
    FBCamera* lCamera = host->Renderer().CurrentCamera;
    if (!c.camera) host->Renderer().CurrentCamera = nullptr;
    FBTake* lTake = fbsdk_host::State().currentTake;
    if (!c.take) host->SetCurrentTake(nullptr);
    const vthost::Image lImage = Draw();
    if (!c.renderer || !c.camera) {
      EXPECT_TRUE(LitBox(lImage, 0, 990, 700, 1080).empty) << c.what << ": lens fields and camera name skipped";
    }
    if (!c.take) {
      EXPECT_TRUE(DiffBox(lFQNText, lImage, 700, 990, 1920, 1080).empty) << c.what << ": the FQN text stands in";
    }
    EXPECT_FALSE(LitBox(lImage, 1690, 0, 1920, 80).empty) << c.what << ": the status is drawn";
    host->SetRendererPresent(true);
    host->Renderer().CurrentCamera = lCamera;
    host->SetCurrentTake(lTake);
  }
}

TEST_F(Layout, OverlongCameraNameIsCutToTheTextBuffer) {
  Set(element, "Show Camera Name", "true");
  host->Renderer().CurrentCamera.GetPropertyValue()->Name = std::string(4000, 'W').c_str();
  const vthost::Image lImage = Draw();
  // Cut at 255 characters, the name still runs off the right edge of the canvas.
  EXPECT_FALSE(LitBox(lImage, 1900, 1000, 1920, 1080).empty);
}

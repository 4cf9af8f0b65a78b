// The reticle: its texture tinted in a square of "Reticle Size" at the canvas
// centre, gated by a switch of the current camera.
#include <EGL/egl.h>
#include <GL/gl.h>

#include "hud_support.h"

using namespace vthud_test;

class Reticle : public QuietHudTest {
 protected:
  void Arrange() override {
    Set(element, "Show Reticle", "true");
    camera = host->Renderer().CurrentCamera.GetPropertyValue();
    ASSERT_NE(camera, nullptr);
  }
  Box Lit() { return LitBox(Draw(), 860, 440, 1060, 640); }
  FBCamera* camera = nullptr;
};

// The texture's outer texels are transparent; its ticks reach to within 6/512 of
// the edge, so the lit box is the square less any column or row sampled there.
TEST_F(Reticle, SquareOfReticleSizeSitsAtTheCentre) {
  struct Case {
    int size;
    Box square;  // x0 = int(W/2 - size/2), x1 = x0 + size; same in y
    Box lit;
  };
  const Case kCases[] = {{50, {935, 515, 985, 565, false}, {936, 516, 984, 564, false}},
                         {15, {952, 532, 967, 547, false}, {952, 532, 967, 547, false}}};
  for (const Case& c : kCases) {
    SCOPED_TRACE("size " + std::to_string(c.size));
    Set(element, "Reticle Size", std::to_string(c.size));
    const vthost::Image lImage = Draw();
    EXPECT_EQ(ToString(LitBox(lImage, 860, 440, 1060, 640)), ToString(c.lit));
    const Box& s = c.square;
    for (auto [x, y] : {std::pair<int, int>{s.x0 - 1, 540}, {s.x1, 540}, {960, s.y0 - 1}, {960, s.y1}})
      EXPECT_TRUE(Probe(lImage, x, y, kClear)) << "outside the square";
  }
  // Size 50: the solid ring at radius 187..207 texels is 18.3..20.2 px out; the
  // default tint (1, 0, 0, 0.9) over transparent.
  Set(element, "Reticle Size", "50");
  const vthost::Image lImage = Draw();
  for (auto [x, y] : {std::pair<int, int>{973, 553}, {946, 526}, {946, 553}, {973, 526}})
    EXPECT_TRUE(Probe(lImage, x, y, {230, 0, 0, 230}, 3)) << "on the ring";
  Set(element, "Reticle Color", "0 0 1 1");
  EXPECT_TRUE(Probe(Draw(), 973, 553, {0, 0, 255, 255}, 3)) << "tinted by Reticle Color";
}

TEST_F(Reticle, CurrentCameraSwitchGatesTheReticle) {
  struct Case {
    bool show;
    const char* bound;
    bool crosshair, opticalCentre;
    bool shown;
  };
  const Case kCases[] = {
      {false, "ShowCrosshair", true, true, false},  {true, "ShowCrosshair", true, true, true},
      {true, "ShowCrosshair", false, true, false},  {true, "NoSuchProperty", false, true, true},
      {true, "NoSuchProperty", true, false, false}, {true, "ShowOpticalCenter", true, false, false},
      {true, "FStop", false, false, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.bound) + " crosshair " + std::to_string(c.crosshair) + " optical centre " +
                 std::to_string(c.opticalCentre) + " show " + std::to_string(c.show));
    Set(element, "Show Reticle", c.show ? "true" : "false");
    Set(element, "Reticle Bound Property", c.bound);
    camera->ShowCrosshair = c.crosshair;
    camera->ShowOpticalCenter = c.opticalCentre;
    EXPECT_EQ(Lit().empty, !c.shown);
  }
}

// The textures alive in the context among the first names it hands out.
int LiveTextures(unsigned pUpTo) {
  int lCount = 0;
  for (unsigned lName = 1; lName <= pUpTo; ++lName) lCount += glIsTexture(lName) ? 1 : 0;
  return lCount;
}

TEST_F(Reticle, ThousandCreateDestroyCyclesLeaveNoTextureBehind) {
  Draw();  // the glyph atlases of this element exist too
  GLuint lFirst = 0;
  glGenTextures(1, &lFirst);
  glDeleteTextures(1, &lFirst);
  const unsigned kRange = lFirst + 4000;
  const int lBefore = LiveTextures(kRange);
  std::string lError;
  for (int i = 0; i < 1000; ++i) {
    FBComponent* lElement = host->Create("VTHUDElement", "cycle", lError);
    ASSERT_NE(lElement, nullptr) << lError;
    host->Destroy(lElement);
  }
  EXPECT_EQ(LiveTextures(kRange), lBefore);
  host->Destroy(element);
  element = nullptr;
  EXPECT_LT(LiveTextures(kRange), lBefore) << "the drawn element's textures go with it";
}

// With no context current there is nothing to delete the texture from: the
// element is destroyed without a GL call that could touch another context.
TEST_F(Reticle, DestroyWithNoContextCurrentForgetsTheTextureSafely) {
  Draw();
  const EGLDisplay lDisplay = eglGetCurrentDisplay();
  const EGLContext lContext = eglGetCurrentContext();
  const EGLSurface lDraw = eglGetCurrentSurface(EGL_DRAW), lRead = eglGetCurrentSurface(EGL_READ);
  ASSERT_NE(lContext, EGL_NO_CONTEXT);
  ASSERT_TRUE(eglMakeCurrent(lDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT));
  host->Destroy(element);
  element = nullptr;
  ASSERT_TRUE(eglMakeCurrent(lDisplay, lDraw, lRead, lContext));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  std::string lError;
  element = static_cast<FBHUDElement*>(host->Create("VTHUDElement", "after", lError));
  ASSERT_NE(element, nullptr) << lError;
  EXPECT_FALSE(LitBox(Draw(), 0, 0, 1920, 1080).empty) << "a new element draws in the context afterwards";
}

// The element's life in the host and with the renderer: its size, the viewer
// drawing road, which of the viewer and the renderer draws the overlay, the
// renderer-side objects and leaving the renderer's scene.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "hud_support.h"
#include "vantor.h"

using namespace vthud_test;

namespace {
// The status field ("READY" at x 1700 on the bottom row) is always drawn, so
// its pixels tell whether the overlay reached an image.
bool StatusDrawn(const vthost::Image& pImage) { return !LitBox(pImage, 1690, 0, 1920, 80).empty; }

vthost::Image ImageFromTexture(const std::vector<uint8_t>& pBottomUp) {
  return FromBottomUp(pBottomUp, 1920, 1080);
}
}  // namespace

class Lifecycle : public HudTest {
 protected:
  void Attach() {
    std::string lError;
    ASSERT_TRUE(renderer.attach(plugin->Handle(), "libvthudelement", &lError)) << lError;
  }
  vantor::Renderer renderer;
};

TEST_F(Lifecycle, IntrinsicSizeIsTheCameraResolutionTruncated) {
  FBCamera* lCamera = pane->Camera();
  lCamera->ResolutionWidth = 1919.7;
  lCamera->ResolutionHeight = 1080.2;
  Draw();
  ASSERT_EQ(pane->LastIntrinsicSizes().size(), 1u);
  EXPECT_EQ(pane->LastIntrinsicSizes()[0], std::make_pair(1919, 1080));
}

TEST_F(Lifecycle, CreatedElementIsShownAndDrawsIntoTheViewer) {
  EXPECT_TRUE(element->Show);
  EXPECT_TRUE(StatusDrawn(Draw()));
}

TEST_F(Lifecycle, DrawElementLeavesTheViewportAsItFoundIt) {
  glBindFramebuffer(GL_FRAMEBUFFER, pane->Framebuffer());
  glViewport(7, 9, 300, 200);
  FBViewingOptions lOptions(pane->Camera(), 0);
  FBHUDElement::Rect lRect{0, 0, 300, 200, 1, 1};
  element->DrawElement(&lOptions, lRect);
  GLint lViewport[4];
  glGetIntegerv(GL_VIEWPORT, lViewport);
  EXPECT_EQ(lViewport[0], 7);
  EXPECT_EQ(lViewport[1], 9);
  EXPECT_EQ(lViewport[2], 300);
  EXPECT_EQ(lViewport[3], 200);
}

// Once connected, the viewer skips only the pane that the renderer's own
// callback draws; every failed test of that leads to drawing.
TEST_F(Lifecycle, ConnectedElementSkipsOnlyTheRendererPane) {
  host->AddRendererCallback("Viewer");
  host->AddRendererCallback("VantorRendererCallback");
  host->AddRendererCallback("VantorRendererCallbackX");
  host->AddRendererCallback("VantorRenderer");
  Attach();
  host->SetCurrentPaneCallbackIndex(1);
  EXPECT_TRUE(StatusDrawn(Draw())) << "not connected yet: the viewer draws";
  renderer.connect();

  struct Case {
    const char* what;
    bool rendererPresent;
    int index;
    bool drawn;
  };
  const Case kCases[] = {
      {"exact name at a valid index", true, 1, false},
      {"no current renderer", false, 1, true},
      {"index -1", true, -1, true},
      {"index equal to its bound", true, 4, true},
      {"a longer name", true, 2, true},
      {"a shorter name", true, 3, true},
      {"another callback", true, 0, true},
  };
  for (const Case& c : kCases) {
    host->SetRendererPresent(c.rendererPresent);
    host->SetCurrentPaneCallbackIndex(c.index);
    EXPECT_EQ(StatusDrawn(Draw()), c.drawn) << c.what;
  }
  host->SetRendererPresent(true);
  host->SetCurrentPaneCallbackIndex(1);
  renderer.disconnect();
  EXPECT_TRUE(StatusDrawn(Draw())) << "after a disconnect the viewer draws again";
}

TEST_F(Lifecycle, FirstUpdateBuildsTheRendererObjectsAndRenderFillsTheSharedTexture) {
  host->AddRendererCallback("VantorRendererCallback");
  host->SetCurrentPaneCallbackIndex(0);
  Attach();
  renderer.connect();
  renderer.update();
  ASSERT_EQ(renderer.handles(vantor::Kind::PolygonMesh).size(), 1u);
  const vantor::Entity* lMesh = renderer.find(renderer.handles(vantor::Kind::PolygonMesh)[0]);
  EXPECT_EQ(lMesh->annotatedName, "koHUD::mesh");
  EXPECT_EQ(lMesh->indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(lMesh->positions, (std::vector<float>{-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}));
  EXPECT_EQ(lMesh->texCoords, (std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1}));
  ASSERT_EQ(renderer.handles(vantor::Kind::Transform).size(), 1u);
  const vantor::Entity* lTransform = renderer.find(renderer.handles(vantor::Kind::Transform)[0]);
  EXPECT_EQ(lTransform->annotatedName, "koHUD::transform");
  EXPECT_EQ(lTransform->category, 18);
  const vantor::Entity* lMaterial = renderer.find(lTransform->material);
  ASSERT_NE(lMaterial, nullptr);
  EXPECT_EQ(lMaterial->document.size(), 756u);
  EXPECT_EQ(std::count(lMaterial->document.begin(), lMaterial->document.end(), '\n'), 27);
  EXPECT_EQ(lMaterial->properties.at(0x5000), 0x401);
  ASSERT_EQ(lMaterial->materialProperties.size(), 1u);
  const uint64_t lTexture = lMaterial->materialProperties[0].texture;
  const vantor::Entity* lTextureEntity = renderer.find(lTexture);
  ASSERT_NE(lTextureEntity, nullptr);
  EXPECT_EQ(lTextureEntity->width, 1920);
  EXPECT_EQ(lTextureEntity->height, 1080);
  EXPECT_TRUE(glIsTexture(static_cast<GLuint>(lTextureEntity->glTexture)));

  const size_t lEntities = renderer.entityCount();
  renderer.update();
  EXPECT_EQ(renderer.entityCount(), lEntities) << "a second update creates nothing";

  // The renderer's pane: the viewer skips, the render callback draws into the texture.
  EXPECT_FALSE(StatusDrawn(Draw()));
  glViewport(3, 4, 50, 60);
  renderer.render();
  GLint lViewport[4], lFramebuffer = -1;
  glGetIntegerv(GL_VIEWPORT, lViewport);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &lFramebuffer);
  EXPECT_EQ(lViewport[2], 50);
  EXPECT_EQ(lFramebuffer, static_cast<GLint>(pane->Framebuffer())) << "the pane's framebuffer is bound again";
  std::vector<uint8_t> lPixels;
  std::string lError;
  ASSERT_TRUE(renderer.readTexture(lTexture, &lPixels, &lError)) << lError;
  EXPECT_TRUE(StatusDrawn(ImageFromTexture(lPixels)));

  renderer.disconnect();
  EXPECT_EQ(renderer.entityCount(), lEntities - 5) << "mesh, transform, material, texture and layout are released";
  EXPECT_EQ(renderer.entityCount(), 0u);
}

TEST_F(Lifecycle, HiddenOrUndoOwnedElementLeavesTheRendererSceneAndComesBack) {
  Attach();
  renderer.connect();
  renderer.update();
  // The vertex layout goes with the mesh, so nothing stays behind.
  auto lOwned = [&] { return renderer.entityCount(); };
  const size_t lEntities = lOwned();
  ASSERT_EQ(lEntities, 5u);

  struct Case {
    const char* what;
    bool show;
    bool undo;
  };
  for (const Case& c : {Case{"hidden", false, false}, Case{"owned by undo", true, true}}) {
    element->Show = c.show;
    element->SetStatusFlag(kFBStatusOwnedByUndo, c.undo);
    renderer.update();
    EXPECT_EQ(lOwned(), 0u) << c.what;
    renderer.update();
    EXPECT_EQ(lOwned(), 0u) << c.what << ": released once";
    element->Show = true;
    element->SetStatusFlag(kFBStatusOwnedByUndo, false);
    renderer.update();
    EXPECT_EQ(lOwned(), lEntities) << c.what << ": back in the scene";
  }
}

// The frame-rate field reads exactly as the same text drawn by another field
// at the same place would.
TEST_F(Lifecycle, FrameRateAveragesTheRenderPipelineOverAboutOneSecond) {
  Quiet();
  Set(element, "FPS Offset", "100");
  Set(element, "FQN Offset", "100");
  Set(element, "Use Take for FQN", "false");
  auto lReference = [&](const char* pText) {
    Set(element, "Show FPS", "false");
    Set(element, "Show FQN", "true");
    Set(element, "FQN", pText);
    const vthost::Image lImage = Draw();
    Set(element, "Show FQN", "false");
    Set(element, "Show FPS", "true");
    return lImage;
  };
  const vthost::Image lZeroText = lReference("0.0");
  const vthost::Image l25Text = lReference("25.0");

  host->SetSystemTimeMs(5000);
  Set(element, "Show FPS", "true");
  const vthost::Image lBeforeAnyWindow = Draw();
  for (int i = 1; i <= 60; ++i) {
    host->SetSystemTimeMs(5000 + 40 * i);
    Draw();
  }
  const vthost::Image lSteady = Draw();
  EXPECT_TRUE(DiffBox(lZeroText, lBeforeAnyWindow, 0, 900, 1920, 1080).empty) << "a new element reads 0.0";
  EXPECT_TRUE(DiffBox(l25Text, lSteady, 0, 900, 1920, 1080).empty) << "40 ms a frame reads 25.0";
}

// A host whose pane draws into a framebuffer of its own: after one element
// drew into its offscreen target, the next element still lands in the pane.
TEST_F(Lifecycle, SecondElementDrawsIntoThePaneFramebufferAfterTheFirstUsedItsTarget) {
  Quiet();
  Attach();
  renderer.connect();
  renderer.update();  // the first element now has its offscreen target
  std::string lError;
  FBComponent* lSecond = host->Create("VTHUDElement", "VT HUD Element 2", lError);
  ASSERT_NE(lSecond, nullptr) << lError;
  Set(lSecond, "Show Labels", "false");
  Set(lSecond, "Show Timeline", "false");
  Set(lSecond, "Mask Color", "0 0 0 0");
  Set(lSecond, "Status Offset", "100");
  Set(lSecond, "Show Scene Frame", "false");

  const vthost::Image lImage = Draw();
  EXPECT_FALSE(StatusDrawn(lImage)) << "the first element drew into its own target";
  EXPECT_FALSE(LitBox(lImage, 90, 0, 320, 80).empty) << "the second element's status reached the pane";
  GLint lDraw = 0, lRead = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &lDraw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lRead);
  EXPECT_EQ(lDraw, static_cast<GLint>(pane->Framebuffer()));
  EXPECT_EQ(lRead, static_cast<GLint>(pane->Framebuffer()));

  // Separate read and draw bindings come back as they were.
  GLuint lOther = 0;
  glGenFramebuffers(1, &lOther);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, lOther);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, pane->Framebuffer());
  FBViewingOptions lOptions(pane->Camera(), 0);
  FBHUDElement::Rect lRect{0, 0, 1920, 1080, 1, 1};
  element->DrawElement(&lOptions, lRect);
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &lDraw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lRead);
  EXPECT_EQ(lDraw, static_cast<GLint>(pane->Framebuffer()));
  EXPECT_EQ(lRead, static_cast<GLint>(lOther));
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &lOther);
  renderer.disconnect();
}

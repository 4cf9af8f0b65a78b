// The element's whole frame against the lean drawing of the same overlay
// (every value fixed, the GL state set once, the same strings and shapes in
// the same order): they must agree in every pixel, over a transparent canvas
// and over the test picture, for the default overlay and with every field on.
#include <GL/gl.h>

#include "hud_support.h"
#include "lean_overlay.h"
#include "png_image.h"

using namespace vthud_test;

namespace {

struct LeanCase {
  const char* name;
  bool everyField;
  bool overPicture;
};

class LeanFrames : public HudTest, public ::testing::WithParamInterface<LeanCase> {};

TEST_P(LeanFrames, ElementDrawsEveryPixelAsTheLeanDrawing) {
  const LeanCase& lCase = GetParam();
  // The lean drawing shows FRAMERATE 0.0; a still clock keeps the element's
  // one-second window from closing however slowly the frames are drawn.
  host->SetSystemTimeMs(0);
  if (lCase.everyField) EveryFieldOn(element);
  vthost::Image lPicture;
  if (lCase.overPicture) {
    std::string lError;
    ASSERT_TRUE(vthost::ReadPng(VTHUD_RESOURCES_DIR "/quill-hd.png", lPicture, lError)) << lError;
    pane->SetBackground(lPicture);
  }
  vthud_bench::LeanOverlay lLean;
  ASSERT_TRUE(lLean.Load(lCase.everyField, host->Renderer().CurrentCamera.GetPropertyValue(), "Take 001"));
  vthost::Pane& lLeanPane = host->AddPane(1920, 1080, nullptr);
  for (const long long lFrame : {0LL, 123LL, 299LL}) {
    host->SetFrame(lFrame);
    const vthost::Image lElement = Draw();
    lLean.DrawPane(lLeanPane, lFrame, lCase.overPicture ? &lPicture : nullptr);
    const FrameDiff lDiff = CompareFrames(lElement, lLeanPane.ReadPixels());
    EXPECT_EQ(lDiff.differing, 0) << "frame " << lFrame << ": " << ToString(lDiff);
  }
}

INSTANTIATE_TEST_SUITE_P(Overlays, LeanFrames,
                         ::testing::Values(LeanCase{"default", false, false},
                                           LeanCase{"defaultoverpicture", false, true},
                                           LeanCase{"everyfield", true, false},
                                           LeanCase{"everyfieldoverpicture", true, true}),
                         [](const ::testing::TestParamInfo<LeanCase>& pInfo) { return pInfo.param.name; });

}  // namespace

namespace {

// The tool's pane keeps no depth. A host may leave depth testing on with a
// function that passes nothing: the element switches it off, so a pane with
// depth and one without show the same frame, over nothing and over a picture.
TEST_F(HudTest, APaneWithoutDepthShowsTheFrameOfOneWithDepth) {
  host->SetSystemTimeMs(0);
  EveryFieldOn(element);
  Set(element, "Show Reticle", "true");
  Set(element, "Saving", "true");
  vthost::Image lPicture;
  std::string lError;
  ASSERT_TRUE(vthost::ReadPng(VTHUD_RESOURCES_DIR "/quill-hd.png", lPicture, lError)) << lError;
  vthost::Pane& lFlat = host->AddPane(1920, 1080, nullptr, false);
  for (const bool lOverPicture : {false, true}) {
    SCOPED_TRACE(lOverPicture ? "over a picture" : "over nothing");
    vthost::Image lFrames[2];
    vthost::Pane* const lPanes[] = {pane, &lFlat};
    for (int i = 0; i < 2; ++i) {
      lPanes[i]->SetBackground(lOverPicture ? lPicture : vthost::Image());
      glEnable(GL_DEPTH_TEST);
      glDepthFunc(GL_NEVER);
      host->DrawPane(*lPanes[i]);
      lFrames[i] = lPanes[i]->ReadPixels();
      glDepthFunc(GL_LESS);
      glDisable(GL_DEPTH_TEST);
    }
    const FrameDiff lDiff = CompareFrames(lFrames[1], lFrames[0]);
    EXPECT_EQ(lDiff.differing, 0) << ToString(lDiff);
  }
}

}  // namespace

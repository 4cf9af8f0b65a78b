// The two roads of the overlay compared as whole frames: the host's viewer
// drawing the element, and the stand-in renderer sampling the element's
// shared texture on its quad, over the same opaque picture.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "hud_support.h"
#include "vantor.h"

using namespace vthud_test;

namespace {

vthost::Image TestPicture() {
  vthost::Image lImage;
  std::string lError;
  EXPECT_TRUE(vthost::ReadPng(std::string(VTHUD_RESOURCES_DIR) + "/quill-hd.png", lImage, lError)) << lError;
  return lImage;
}

int LeastAlpha(const vthost::Image& pImage) {
  int lLeast = 255;
  for (size_t i = 3; i < pImage.rgba.size(); i += 4) lLeast = std::min<int>(lLeast, pImage.rgba[i]);
  return lLeast;
}

// Pixels within one pixel of any pixel that differs between two frames.
std::vector<bool> Near(const vthost::Image& pA, const vthost::Image& pB) {
  const int W = pA.width, H = pA.height;
  std::vector<bool> lNear(static_cast<size_t>(W) * H, false);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      if (std::equal(pA.At(x, y), pA.At(x, y) + 4, pB.At(x, y))) continue;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < W && ny < H) lNear[static_cast<size_t>(ny) * W + nx] = true;
        }
    }
  return lNear;
}

struct State {
  const char* what;
  std::vector<std::pair<const char*, const char*>> settings;
  bool recording;
};

const State kStates[] = {
    {"default overlay", {}, false},
    {"every field on",
     {{"Show Slate", "true"},
      {"Slate", "A012"},
      {"Show FPS", "true"},
      {"Show F-Stop", "true"},
      {"Show Focus Distance", "true"},
      {"Show Camera Name", "true"},
      {"Show Interoccular", "true"},
      {"Show Convergence", "true"},
      {"Show Value 1", "true"},
      {"Show Value 2", "true"},
      {"Show Marker 1", "true"},
      {"Marker 1 Frame", "40"},
      {"Marker 1 Name", "Hit"},
      {"Show Reticle", "true"}},
     false},
    {"save veil", {{"Saving", "true"}}, false},
    {"X bloop", {{"Use X For Bloop", "true"}, {"Bloop Light Duration", "10"}}, true},
    {"reticle", {{"Show Reticle", "true"}, {"Reticle Size", "300"}}, false},
};

}  // namespace

class Roads : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    std::string lError;
    ASSERT_TRUE(host->Road().Open(*plugin, lError)) << lError;
  }
  // While the element has its shared texture, the viewer draws into that too;
  // so the viewer's frame is taken with the renderer disconnected.
  vthost::Image Viewer() {
    host->Road().Close();
    return Draw();
  }
  vthost::Image Renderer() {
    if (!host->Road().Connected()) host->Road().Connect();
    host->Road().SelectRendererCallback();
    vthost::Image lImage = Draw();
    EXPECT_EQ(host->Road().LastFrameError(), "");
    return lImage;
  }
  void Apply(const State& pState) {
    host->Renderer().CurrentCamera.GetPropertyValue()->ShowCrosshair = true;  // the reticle's switch
    for (const auto& lSetting : pState.settings) Set(element, lSetting.first, lSetting.second);
    host->SetFrame(0);
    host->SetRecording(false);
    if (pState.recording) {
      Draw();  // arms the bloop
      host->SetRecording(true);
      host->SetPlaying(true);
      host->SetFrame(1);
    }
  }
  // The same state with every piece of text taken away.
  void RemoveText() {
    for (const char* lGate : {"Show Labels", "Show FQN", "Show Slate", "Show FPS", "Show Focal Length",
                              "Show F-Stop", "Show Focus Distance", "Show Camera Name", "Show Interoccular",
                              "Show Convergence", "Show Scene Frame", "Show Scene Timecode",
                              "Show Character Timecode", "Show Camera Timecode", "Show Value 1", "Show Value 2"})
      Set(element, lGate, "false");
    Set(element, "Status Offset", "4000");
    Set(element, "Save Message", "");
    Set(element, "Marker 1 Name", "");
  }
};

class RoadStates : public Roads, public ::testing::WithParamInterface<State> {};

// Over the test picture, both roads give the same frame within 2/255 per
// channel everywhere but at the anti-aliased edges of text; without text,
// everywhere. The figures for the text edges are printed.
TEST_P(RoadStates, ViewerAndRendererAgreeOverTheWholeFrameButAtTextEdges) {
  const State& s = GetParam();
  pane->SetBackground(TestPicture());
  Apply(s);
  const vthost::Image lViewer = Viewer();
  const vthost::Image lRenderer = Renderer();
  EXPECT_EQ(LeastAlpha(lViewer), 255) << "over an opaque picture the viewer's pane stays opaque";
  EXPECT_EQ(LeastAlpha(lRenderer), 255) << "and so does the renderer's frame";
  const FrameDiff lBeyond = CompareFrames(lViewer, lRenderer, 2);
  const FrameDiff lAny = CompareFrames(lViewer, lRenderer, 0);

  RemoveText();
  const vthost::Image lTextless = Viewer();
  const FrameDiff lTextlessDiff = CompareFrames(lTextless, Renderer(), 2);
  EXPECT_EQ(lTextlessDiff.differing, 0) << "without text: " << ToString(lTextlessDiff);
  const std::vector<bool> lText = Near(lViewer, lTextless);
  const FrameDiff lOutside = CompareFrames(lViewer, lRenderer, 2, &lText);
  EXPECT_EQ(lOutside.differing, 0) << "away from text: " << ToString(lOutside);
  std::cout << "[ roads    ] " << s.what << ": " << lBeyond.differing << " pixels beyond 2/255, " << lAny.differing
            << " differ at all, largest difference " << lAny.largest << "/255" << std::endl;
  RecordProperty("beyond_2", static_cast<int>(lBeyond.differing));
  RecordProperty("largest", lAny.largest);
}

INSTANTIATE_TEST_SUITE_P(Overlay, RoadStates, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<State>& pInfo) {
                           std::string lName;
                           for (const char* c = pInfo.param.what; *c; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c))) lName += *c;
                           return lName;
                         });

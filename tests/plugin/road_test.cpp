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

using Settings = std::vector<std::pair<const char*, const char*>>;

struct State {
  const char* what;
  Settings settings;
  bool recording;
};

// Every field of the top row and both free values, with the text they show.
Settings EveryField(Settings pMore) {
  Settings lSettings = {{"Show Slate", "true"},
                        {"Slate", "A012"},
                        {"Show FPS", "true"},
                        {"Show F-Stop", "true"},
                        {"Show Focus Distance", "true"},
                        {"Show Camera Name", "true"},
                        {"Show Interoccular", "true"},
                        {"Show Convergence", "true"},
                        {"Show Value 1", "true"},
                        {"Show Value 2", "true"}};
  lSettings.insert(lSettings.end(), pMore.begin(), pMore.end());
  return lSettings;
}

const State kStates[] = {
    {"default overlay", {}, false},
    {"every field on",
     EveryField({{"Show Marker 1", "true"},
                 {"Marker 1 Frame", "40"},
                 {"Marker 1 Name", "Hit"},
                 {"Show Reticle", "true"}}),
     false},
    {"save veil", {{"Saving", "true"}}, false},
    {"X bloop", {{"Use X For Bloop", "true"}, {"Bloop Light Duration", "10"}}, true},
    {"reticle", {{"Show Reticle", "true"}, {"Reticle Size", "300"}}, false},
    {"every field over a clear mask", EveryField({{"Mask Color", "0 0 0 0"}}), false},
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
    // A still clock: FRAMERATE reads the same on both roads, however long a
    // loaded machine takes over the draws between them.
    host->SetSystemTimeMs(0);
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

namespace {
// The shared texture as an image, top row first; GL gives the bottom row first.
vthost::Image SharedTexture(vantor::Renderer& pRenderer) {
  vthost::Image lImage;
  const std::vector<uint64_t> lTextures = pRenderer.handles(vantor::Kind::Texture);
  EXPECT_EQ(lTextures.size(), 1u);
  if (lTextures.size() != 1) return lImage;
  std::vector<uint8_t> lBottomUp;
  std::string lError;
  EXPECT_TRUE(pRenderer.readTexture(lTextures[0], &lBottomUp, &lError)) << lError;
  lImage.width = 1920;
  lImage.height = 1080;
  lImage.rgba.resize(lBottomUp.size());
  const size_t lRow = 1920 * 4;
  for (int y = 0; y < 1080 && !lBottomUp.empty(); ++y)
    std::copy_n(&lBottomUp[static_cast<size_t>(1079 - y) * lRow], lRow,
                &lImage.rgba[static_cast<size_t>(y) * lRow]);
  return lImage;
}
}  // namespace

class QuietRoads : public Roads {
 protected:
  void SetUp() override {
    Roads::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    Quiet();
  }
};

// A marker near the left end of the timeline, at the bottom of the canvas,
// lands at the same place in the texture (canvas bottom left at texture
// coordinate (0, 0)) and in the renderer's frame as in the viewer's.
TEST_F(QuietRoads, TextureIsUprightAndUnmirroredAsShownByALeftMarker) {
  Set(element, "Show Timeline", "true");
  Set(element, "Show Marker 1", "true");
  Set(element, "Marker 1 Frame", "15");
  const vthost::Image lViewer = Viewer();
  Set(element, "Show Marker 1", "false");
  const vthost::Image lViewerWithout = Viewer();
  const Box lMarker = DiffBox(lViewer, lViewerWithout, 0, 0, 1920, 1080);
  ASSERT_FALSE(lMarker.empty);
  EXPECT_LT(lMarker.x1, 200) << ToString(lMarker);
  EXPECT_LT(lMarker.y1, 150) << ToString(lMarker);

  Set(element, "Show Marker 1", "true");
  const vthost::Image lRenderer = Renderer();
  const vthost::Image lTexture = SharedTexture(host->Road().Renderer());
  Set(element, "Show Marker 1", "false");
  const vthost::Image lRendererWithout = Renderer();
  const vthost::Image lTextureWithout = SharedTexture(host->Road().Renderer());
  EXPECT_EQ(ToString(DiffBox(lTexture, lTextureWithout, 0, 0, 1920, 1080)), ToString(lMarker)) << "in the texture";
  EXPECT_EQ(ToString(DiffBox(lRenderer, lRendererWithout, 0, 0, 1920, 1080)), ToString(lMarker))
      << "in the renderer's frame";
  EXPECT_EQ(CompareFrames(lViewer, lRenderer, 2).differing, 0) << ToString(CompareFrames(lViewer, lRenderer, 2));
}

// The mask's alpha reaches the texture as drawn: 0.75 is 191, not 0.75 squared.
TEST_F(QuietRoads, MaskLandsInTheTextureAtItsOwnAlpha) {
  Set(element, "Mask Color", "0 0 0 0.75");
  Renderer();
  const vthost::Image lTexture = SharedTexture(host->Road().Renderer());
  EXPECT_TRUE(Probe(lTexture, 1300, 5, {0, 0, 0, 191})) << "bottom bar";
  EXPECT_TRUE(Probe(lTexture, 1300, 1075, {0, 0, 0, 191})) << "top bar";
  EXPECT_TRUE(Probe(lTexture, 1300, 540, kClear)) << "picture";
  // Over a white picture the renderer shows a quarter of it under the bars.
  vthost::Image lWhite;
  lWhite.width = 1920;
  lWhite.height = 1080;
  lWhite.rgba.assign(1920u * 1080u * 4u, 255);
  pane->SetBackground(lWhite);
  const vthost::Image lFrame = Renderer();
  EXPECT_TRUE(Probe(lFrame, 1300, 5, {64, 64, 64, 255}));
  EXPECT_TRUE(Probe(lFrame, 1300, 540, {255, 255, 255, 255}));
}

// The frame that follows a property change shows it: the render callback
// redraws the texture before the renderer samples it.
TEST_F(QuietRoads, PropertyChangeShowsOnTheNextRendererFrame) {
  Renderer();
  Set(element, "Mask Color", "1 0 0 1");
  EXPECT_TRUE(Probe(Renderer(), 1300, 5, {255, 0, 0, 255}));
  Set(element, "Mask Color", "0 0 1 1");
  EXPECT_TRUE(Probe(Renderer(), 1300, 5, {0, 0, 255, 255}));
}

// The host draws through the renderer only while it is connected and its
// callback draws the current pane; in every other state the viewer draws.
TEST_F(QuietRoads, PaneGoesThroughTheRendererOnlyWhenConnectedAndItsCallbackIsCurrent) {
  vthost::RendererRoad& lRoad = host->Road();
  host->AddRendererCallback("Viewer");  // after the renderer's, which Open added
  struct Case {
    const char* what;
    bool connected, rendererPresent;
    int callback;  // -1 the host's own, 0 the renderer's, 1 "Viewer"
    bool throughRenderer;
  };
  const Case kCases[] = {
      {"connected, the renderer's callback", true, true, 0, true},
      {"connected, the host's own viewer", true, true, -1, false},
      {"connected, another callback", true, true, 1, false},
      {"connected, no current renderer", true, false, 0, false},
      {"disconnected, the renderer's callback", false, true, 0, false},
  };
  for (const Case& c : kCases) {
    if (c.connected != lRoad.Connected()) c.connected ? lRoad.Connect() : lRoad.Disconnect();
    host->SetCurrentPaneCallbackIndex(c.callback);
    host->SetRendererPresent(c.rendererPresent);
    const int lBefore = lRoad.Renderer().drawCount();
    EXPECT_EQ(lRoad.DrawsPanes(), c.throughRenderer) << c.what;
    Draw();
    EXPECT_EQ(lRoad.Renderer().drawCount() - lBefore, c.throughRenderer ? 1 : 0) << c.what;
    host->SetRendererPresent(true);
  }
}

// A redraw through the renderer still asks each shown element its size and
// calls DrawElement (which skips), inside the render-pipeline events.
class PipelineCounter : public ICallback {
 public:
  void OnEvent(HISender, HKEvent pEvent) {
    FBEventEvalGlobalCallback lEvent(pEvent);
    timings.push_back(lEvent.GetTiming());
  }
  std::vector<int> timings;
};

TEST_F(QuietRoads, RendererRedrawRaisesThePipelineEventsAndAsksTheElements) {
  PipelineCounter lCounter;
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(&lCounter, (FBCallback)&PipelineCounter::OnEvent);
  Renderer();
  EXPECT_EQ(lCounter.timings,
            (std::vector<int>{kFBGlobalEvalCallbackBeforeRender, kFBGlobalEvalCallbackAfterRender}));
  EXPECT_EQ(pane->LastIntrinsicSizes().size(), 1u);
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(&lCounter, (FBCallback)&PipelineCounter::OnEvent);
}

// Without a "hudTexture" input to bind, the element says so and the renderer
// shows the sampler's default, magenta, over the whole quad.
TEST_F(QuietRoads, MissingHudTextureInputShowsMagentaAndTheMessage) {
  host->Road().Renderer().injectFault("MfiGetMaterialPropertyIdByName", vantor::kUnknownProperty);
  testing::internal::CaptureStderr();
  const vthost::Image lFrame = Renderer();
  const std::string lErrors = testing::internal::GetCapturedStderr();
  EXPECT_NE(lErrors.find("Error : koHUD - property \"hudTexture\" not found in shader\n"), std::string::npos)
      << lErrors;
  vthost::Image lMagenta;
  lMagenta.width = 1920;
  lMagenta.height = 1080;
  lMagenta.rgba.resize(1920u * 1080u * 4u);
  for (size_t i = 0; i < lMagenta.rgba.size(); i += 4) {
    lMagenta.rgba[i] = lMagenta.rgba[i + 2] = lMagenta.rgba[i + 3] = 255;
    lMagenta.rgba[i + 1] = 0;
  }
  EXPECT_EQ(CompareFrames(lFrame, lMagenta).differing, 0) << ToString(CompareFrames(lFrame, lMagenta));
}

namespace {
int CountNames(GLboolean (*pIs)(GLuint)) {
  int lCount = 0;
  for (GLuint lName = 1; lName < 4096; ++lName) lCount += pIs(lName) ? 1 : 0;
  return lCount;
}
GLboolean IsTexture(GLuint n) { return glIsTexture(n); }
GLboolean IsFramebuffer(GLuint n) { return glIsFramebuffer(n); }
GLboolean IsProgram(GLuint n) { return glIsProgram(n); }
GLboolean IsBuffer(GLuint n) { return glIsBuffer(n); }
}  // namespace

// Connect, render, leave through purgatory and come back, disconnect: the
// frame shows the overlay exactly while the element is attached, and nothing
// is left behind in GL or in the renderer's scene.
TEST_F(QuietRoads, HundredConnectionCyclesShowTheOverlayOnlyWhileAttachedAndLeakNothing) {
  // A small pane over an opaque colour keeps the hundred cycles quick; the
  // renderer scales the quad, and with it the overlay, to the pane.
  Set(element, "Mask Color", "0 0 0 0.75");
  vthost::Image lPicture;
  lPicture.width = 480;
  lPicture.height = 270;
  lPicture.rgba.assign(480u * 270u * 4u, 255);
  pane = &host->AddPane(480, 270, nullptr);
  pane->SetBackground(lPicture);
  const vthost::Image lWith = Renderer();  // the overlay as the renderer shows it
  ASSERT_GT(CompareFrames(lWith, lPicture).differing, 0);
  ASSERT_TRUE(host->Road().Disconnect());
  const int lTextures = CountNames(IsTexture), lFramebuffers = CountNames(IsFramebuffer);
  const int lPrograms = CountNames(IsProgram), lBuffers = CountNames(IsBuffer);
  vantor::Renderer& lRenderer = host->Road().Renderer();

  for (int i = 0; i < 100; ++i) {
    SCOPED_TRACE("cycle " + std::to_string(i));
    ASSERT_TRUE(host->Road().Connect());
    ASSERT_EQ(CompareFrames(Renderer(), lWith).differing, 0) << "attached";
    element->Show = false;  // purgatory: the next update detaches it
    ASSERT_EQ(CompareFrames(Renderer(), lPicture, 0).differing, 0) << "in purgatory";
    ASSERT_EQ(lRenderer.entityCount(), 0u);
    element->Show = true;
    ASSERT_EQ(CompareFrames(Renderer(), lWith).differing, 0) << "back from purgatory";
    ASSERT_TRUE(host->Road().Disconnect());
    ASSERT_EQ(lRenderer.entityCount(), 0u) << "after disconnect";
  }
  EXPECT_EQ(CountNames(IsTexture), lTextures);
  EXPECT_EQ(CountNames(IsFramebuffer), lFramebuffers);
  EXPECT_EQ(CountNames(IsProgram), lPrograms);
  EXPECT_EQ(CountNames(IsBuffer), lBuffers);
}

// A picture given bottom row first (as the tool's plate decoder sends it)
// shows exactly as the same picture given top row first, on both roads, and
// stays so on the next draw.
TEST_F(Roads, PictureGivenBottomRowFirstShowsAsGivenTopRowFirst) {
  const vthost::Image lUpright = TestPicture();
  vthost::Image lBottomUp = lUpright;
  const size_t lRow = static_cast<size_t>(lUpright.width) * 4;
  for (int y = 0; y < lUpright.height; ++y)
    std::copy_n(&lUpright.rgba[static_cast<size_t>(lUpright.height - 1 - y) * lRow], lRow,
                &lBottomUp.rgba[static_cast<size_t>(y) * lRow]);
  lBottomUp.bottomUp = true;
  for (bool lRenderer : {false, true}) {
    SCOPED_TRACE(lRenderer ? "renderer" : "viewer");
    pane->SetBackground(lUpright);
    const vthost::Image lExpected = lRenderer ? Renderer() : Viewer();
    pane->SetBackground(lBottomUp);
    for (int lDraw = 0; lDraw < 2; ++lDraw) {
      const vthost::Image lFrame = lRenderer ? Renderer() : Viewer();
      EXPECT_EQ(CompareFrames(lExpected, lFrame, 0).differing, 0) << "draw " << lDraw + 1;
    }
  }
}

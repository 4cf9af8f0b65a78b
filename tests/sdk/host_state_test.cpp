// The transport, system and renderer show the application's one shared state.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

namespace {

class HostState : public ::testing::Test {
 protected:
  void SetUp() override { fbsdk_host::ResetState(); }
};

class TestCallback : public FBRendererCallback {
 public:
  explicit TestCallback(const char* pName) : FBRendererCallback(pName) {}
  const char* GetCallbackName() const override { return "Test"; }
  const char* GetCallbackDesc() const override { return "Test renderer callback"; }
};

TEST_F(HostState, PlayerControlReadsAndWritesTheSharedTransport) {
  auto& lState = fbsdk_host::State();
  lState.loopStart = FBTime(0, 0, 2);
  lState.loopStop = FBTime(0, 0, 8);
  lState.recording = true;
  lState.playing = true;
  FBPlayerControl lFirst, lSecond;
  EXPECT_EQ(FBTime(0, 0, 2), static_cast<FBTime>(lFirst.LoopStart));
  EXPECT_EQ(FBTime(0, 0, 8), static_cast<FBTime>(lFirst.LoopStop));
  EXPECT_TRUE(static_cast<bool>(lFirst.IsRecording));
  EXPECT_TRUE(static_cast<bool>(lFirst.IsPlaying));

  lFirst.LoopStop = FBTime(0, 0, 20);
  lFirst.IsPlaying = false;
  EXPECT_EQ(FBTime(0, 0, 20), lState.loopStop);
  EXPECT_EQ(FBTime(0, 0, 20), static_cast<FBTime>(lSecond.LoopStop));
  EXPECT_FALSE(static_cast<bool>(lSecond.IsPlaying));

  lSecond.Play();
  EXPECT_TRUE(static_cast<bool>(lFirst.IsPlaying));
  lSecond.Stop();
  EXPECT_FALSE(static_cast<bool>(lFirst.IsPlaying));
  EXPECT_FALSE(static_cast<bool>(lFirst.IsRecording));
  lSecond.Goto(FBTime(0, 0, 3));
  EXPECT_EQ(FBTime(0, 0, 3), static_cast<FBTime>(FBSystem::TheOne().LocalTime));
}

TEST_F(HostState, SystemShowsSceneTimeClockTakeAndRenderer) {
  auto& lState = fbsdk_host::State();
  FBSystem lSystem;
  lState.sceneTime = FBTime(0, 0, 5, 7);
  EXPECT_EQ(lState.sceneTime, static_cast<FBTime>(lSystem.LocalTime));
  EXPECT_EQ(lState.sceneTime, static_cast<FBTime>(FBSystem::TheOne().LocalTime));
  lSystem.LocalTime = FBTime(0, 0, 1);
  EXPECT_EQ(FBTime(0, 0, 1), lState.sceneTime);

  lState.manualClock = true;
  lState.manualSystemTime = FBTime(12345);
  EXPECT_EQ(FBTime(12345), static_cast<FBTime>(lSystem.SystemTime));

  FBTake lTake("Take 001");
  FBRenderer lRenderer;
  lState.currentTake = &lTake;
  lState.renderer = &lRenderer;
  EXPECT_EQ(&lTake, static_cast<FBTake*>(lSystem.CurrentTake));
  EXPECT_EQ(&lRenderer, static_cast<FBRenderer*>(FBSystem::TheOne().Renderer));
  lState.renderer = nullptr;
  EXPECT_EQ(nullptr, static_cast<FBRenderer*>(lSystem.Renderer));
}

TEST_F(HostState, RendererCallbackIndexAndCount) {
  FBRenderer lRenderer;
  EXPECT_EQ(-1, static_cast<int>(lRenderer.CurrentPaneCallbackIndex));
  EXPECT_EQ(0, static_cast<int>(lRenderer.CurrentPaneCallbackPrefIndex));
  EXPECT_EQ(0, lRenderer.RendererCallbacks.GetCount());

  TestCallback lFirst("First"), lSecond("Second");
  EXPECT_EQ(0, lRenderer.RendererCallbacks.Add(&lFirst));
  EXPECT_EQ(1, lRenderer.RendererCallbacks.Add(&lSecond));
  EXPECT_EQ(2, lRenderer.RendererCallbacks.GetCount());
  EXPECT_EQ(&lSecond, lRenderer.RendererCallbacks[1]);
  for (int lOutside : {-1, 2, 100}) EXPECT_EQ(nullptr, lRenderer.RendererCallbacks[lOutside]) << lOutside;

  lRenderer.RendererCallbacks.RemoveAt(0);
  EXPECT_EQ(1, lRenderer.RendererCallbacks.GetCount());
  EXPECT_EQ(&lSecond, lRenderer.RendererCallbacks[0]);
}

// Counts any event it receives.
class Counter : public ICallback {
 public:
  void OnEvent(HISender, HKEvent) { ++count; }
  int count = 0;
};

TEST_F(HostState, ResetStateStartsAFreshApplication) {
  auto& lState = fbsdk_host::State();
  lState.sceneTime = FBTime(0, 0, 9);
  lState.sceneTimeMode = kFBTimeMode25Frames;
  lState.loopStop = FBTime(0, 1, 0);
  lState.playing = lState.recording = true;

  Counter lCounter;
  FBSystem::TheOne().OnConnectionNotify.Add(&lCounter, (FBCallback)&Counter::OnEvent);
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(&lCounter, (FBCallback)&Counter::OnEvent);
  fbsdk_host::ResetState();

  EXPECT_EQ(FBTime::Zero, lState.sceneTime);
  EXPECT_EQ(kFBTimeMode30Frames, lState.sceneTimeMode);
  EXPECT_EQ(FBTime(0, 0, 10, 0, 0, kFBTimeMode30Frames), lState.loopStop);
  EXPECT_FALSE(lState.playing || lState.recording);
  // Subscribers from before the reset are gone.
  EXPECT_EQ(0, FBSystem::TheOne().OnConnectionNotify.GetCount());
  EXPECT_EQ(0, FBEvaluateManager::TheOne().OnRenderingPipelineEvent.GetCount());
  FBComponent lSrc, lDst;
  lDst.ConnectSrc(&lSrc);
  fbsdk_host::FireRenderPipeline(kFBGlobalEvalCallbackAfterRender);
  EXPECT_EQ(0, lCounter.count);
  FBSystem::TheOne().OnConnectionNotify.Remove(&lCounter, (FBCallback)&Counter::OnEvent);
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(&lCounter, (FBCallback)&Counter::OnEvent);
}

}  // namespace

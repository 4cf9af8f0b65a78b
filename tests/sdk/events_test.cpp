// Events with member callbacks: subscription, changes made while an event
// runs, and the render pipeline event the plug-in draws from.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

class Events : public ::testing::Test {
 protected:
  void SetUp() override { fbsdk_host::ResetState(); }
};

// A component handling an event, as plug-in objects do; it can unsubscribe
// or subscribe another listener from inside its handler.
class Listener : public FBComponent {
 public:
  Listener(const char* pName, std::vector<std::string>& pLog) : mLog(pLog) { Name = pName; }
  void Handle(HISender, HKEvent) {
    mLog.push_back(Name.GetPropertyValue().Buffer());
    if (removeOnFire) event->Remove(removeOnFire, (FBCallback)&Listener::Handle);
    if (addOnFire) event->Add(addOnFire, (FBCallback)&Listener::Handle);
  }
  void Subscribe(FBPropertyEvent& pEvent) {
    event = &pEvent;
    pEvent.Add(this, (FBCallback)&Listener::Handle);
  }
  void Unsubscribe() { event->Remove(this, (FBCallback)&Listener::Handle); }

  FBPropertyEvent* event = nullptr;
  Listener* removeOnFire = nullptr;
  Listener* addOnFire = nullptr;

 private:
  std::vector<std::string>& mLog;
};

TEST_F(Events, AddTwiceSubscribesOnceAndRemoveUnsubscribes) {
  FBPropertyEvent lEvent;
  std::vector<std::string> lLog;
  Listener lA("a", lLog), lB("b", lLog);
  lA.Subscribe(lEvent);
  lA.Subscribe(lEvent);
  lB.Subscribe(lEvent);
  EXPECT_EQ(2, lEvent.GetCount());
  lEvent.Fire(nullptr);
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), lLog);

  // The same handler on another owner is a separate subscription.
  lA.Unsubscribe();
  lA.Unsubscribe();  // removing an absent handler is harmless
  EXPECT_EQ(1, lEvent.GetCount());
  lLog.clear();
  lEvent.Fire(nullptr);
  EXPECT_EQ((std::vector<std::string>{"b"}), lLog);
  lB.Unsubscribe();
  EXPECT_EQ(0, lEvent.GetCount());
}

TEST_F(Events, ChangesDuringFire) {
  struct Case {
    const char* name;
    bool firstRemovesSecond;
    bool secondRemovesFirst;
    bool firstAddsThird;
    std::vector<std::string> firstFire;
    std::vector<std::string> secondFire;
  };
  const Case lCases[] = {
      {"removed before its turn is skipped", true, false, false, {"a"}, {"a"}},
      {"removing one already called", false, true, false, {"a", "b"}, {"b"}},
      {"one added runs from the next fire", false, false, true, {"a", "b"}, {"a", "b", "c"}},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.name);
    FBPropertyEvent lEvent;
    std::vector<std::string> lLog;
    Listener lA("a", lLog), lB("b", lLog), lC("c", lLog);
    lA.Subscribe(lEvent);
    lB.Subscribe(lEvent);
    lC.event = &lEvent;
    if (c.firstRemovesSecond) lA.removeOnFire = &lB;
    if (c.secondRemovesFirst) lB.removeOnFire = &lA;
    if (c.firstAddsThird) lA.addOnFire = &lC;
    lEvent.Fire(nullptr);
    EXPECT_EQ(c.firstFire, lLog);
    lLog.clear();
    lEvent.Fire(nullptr);
    EXPECT_EQ(c.secondFire, lLog);
  }
}

// Records the timing of render pipeline events.
class PipelineWatcher : public ICallback {
 public:
  PipelineWatcher() {
    FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(this, (FBCallback)&PipelineWatcher::OnPipeline);
  }
  ~PipelineWatcher() {
    FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(this, (FBCallback)&PipelineWatcher::OnPipeline);
  }
  void OnPipeline(HISender, HKEvent pEvent) {
    FBEventEvalGlobalCallback lEvent(pEvent);
    timings.push_back(lEvent.GetTiming());
  }
  std::vector<FBGlobalEvalCallbackTiming> timings;
};

TEST_F(Events, RenderPipelineReachesTheEvaluateManagerWithItsTiming) {
  EXPECT_EQ(5, kFBGlobalEvalCallbackAfterRender);
  PipelineWatcher lWatcher;
  fbsdk_host::FireRenderPipeline(kFBGlobalEvalCallbackAfterRender);
  ASSERT_EQ(1u, lWatcher.timings.size());
  EXPECT_EQ(5, lWatcher.timings[0]);

  const FBGlobalEvalCallbackTiming kAll[] = {
      kFBGlobalEvalCallbackBeforeDAG,           kFBGlobalEvalCallbackAfterDAG,
      kFBGlobalEvalCallbackAfterDeform,         kFBGlobalEvalCallbackSyn,
      kFBGlobalEvalCallbackBeforeRender,        kFBGlobalEvalCallbackAfterRender,
      kFBGlobalEvalCallbackBeforePlottingFrame, kFBGlobalEvalCallbackAfterPlottingFrame};
  lWatcher.timings.clear();
  for (FBGlobalEvalCallbackTiming lTiming : kAll) fbsdk_host::FireRenderPipeline(lTiming);
  EXPECT_EQ(std::vector<FBGlobalEvalCallbackTiming>(std::begin(kAll), std::end(kAll)), lWatcher.timings);
}

}  // namespace

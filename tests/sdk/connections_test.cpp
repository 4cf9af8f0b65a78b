// Plug connections and the system connection notification that the plug-in
// watches to follow objects entering and leaving its lists.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Keeps the completed source connects and disconnects raised on an event.
class ConnectionRecorder : public ICallback {
 public:
  struct Record {
    FBConnectionAction action;
    FBPlug* src;
    FBPlug* dst;
  };

  explicit ConnectionRecorder(FBPropertyEvent& pEvent = FBSystem::TheOne().OnConnectionNotify) : mEvent(pEvent) {
    mEvent.Add(this, (FBCallback)&ConnectionRecorder::OnNotify);
  }
  ~ConnectionRecorder() { mEvent.Remove(this, (FBCallback)&ConnectionRecorder::OnNotify); }

  void OnNotify(HISender, HKEvent pEvent) {
    FBEventConnectionNotify lEvent(pEvent);
    const FBConnectionAction lAction = lEvent.Action;
    if (lAction == kFBConnectedSrc || lAction == kFBDisconnectedSrc)
      records.push_back({lAction, lEvent.SrcPlug, lEvent.DstPlug});
  }

  std::vector<Record> records;

 private:
  FBPropertyEvent& mEvent;
};

class Connections : public ::testing::Test {
 protected:
  void SetUp() override { fbsdk_host::ResetState(); }
};

TEST(ConnectionActions, HostValues) {
  EXPECT_EQ(4, kFBConnectedSrc);
  EXPECT_EQ(10, kFBDisconnectedSrc);
}

TEST_F(Connections, ConnectSrcLinksBothSidesAndAnnouncesOnce) {
  FBComponent lSrc, lDst;
  ConnectionRecorder lRecorder;

  ASSERT_TRUE(lDst.ConnectSrc(&lSrc));
  EXPECT_EQ(1, lDst.GetSrcCount());
  EXPECT_EQ(&lSrc, lDst.GetSrc(0));
  EXPECT_EQ(nullptr, lDst.GetSrc(1));
  EXPECT_EQ(nullptr, lDst.GetSrc(-1));
  EXPECT_EQ(1, lSrc.GetDstCount());
  EXPECT_EQ(&lDst, lSrc.GetDst(0));
  ASSERT_EQ(1u, lRecorder.records.size());
  EXPECT_EQ(kFBConnectedSrc, lRecorder.records[0].action);
  EXPECT_EQ(&lSrc, lRecorder.records[0].src);
  EXPECT_EQ(&lDst, lRecorder.records[0].dst);

  // A second connect of the same source changes nothing.
  EXPECT_TRUE(lDst.ConnectSrc(&lSrc));
  EXPECT_EQ(1, lDst.GetSrcCount());
  EXPECT_EQ(1u, lRecorder.records.size());

  EXPECT_FALSE(lDst.ConnectSrc(&lDst));
  EXPECT_FALSE(lDst.ConnectSrc(nullptr));
  EXPECT_EQ(1u, lRecorder.records.size());
}

TEST_F(Connections, DisconnectSrcUnlinksBothSidesAndAnnounces) {
  FBComponent lSrc, lOther, lDst;
  lDst.ConnectSrc(&lSrc);
  lDst.ConnectSrc(&lOther);
  ConnectionRecorder lRecorder;

  ASSERT_TRUE(lDst.DisconnectSrc(&lSrc));
  EXPECT_EQ(1, lDst.GetSrcCount());
  EXPECT_EQ(&lOther, lDst.GetSrc(0));
  EXPECT_EQ(0, lSrc.GetDstCount());
  ASSERT_EQ(1u, lRecorder.records.size());
  EXPECT_EQ(kFBDisconnectedSrc, lRecorder.records[0].action);
  EXPECT_EQ(&lSrc, lRecorder.records[0].src);
  EXPECT_EQ(&lDst, lRecorder.records[0].dst);

  EXPECT_FALSE(lDst.DisconnectSrc(&lSrc));
  EXPECT_FALSE(lDst.DisconnectSrc(nullptr));
  EXPECT_EQ(1u, lRecorder.records.size());
}

TEST_F(Connections, DisconnectAllSrcAnnouncesEverySource) {
  FBComponent lA, lB, lC, lDst;
  for (FBPlug* lSrc : {&lA, &lB, &lC}) lDst.ConnectSrc(lSrc);
  ConnectionRecorder lRecorder;

  lDst.DisconnectAllSrc();
  EXPECT_EQ(0, lDst.GetSrcCount());
  ASSERT_EQ(3u, lRecorder.records.size());
  std::vector<FBPlug*> lSeen;
  for (const auto& lRecord : lRecorder.records) {
    EXPECT_EQ(kFBDisconnectedSrc, lRecord.action);
    EXPECT_EQ(&lDst, lRecord.dst);
    lSeen.push_back(lRecord.src);
  }
  for (FBComponent* lSrc : {&lA, &lB, &lC}) {
    EXPECT_EQ(0, lSrc->GetDstCount());
    EXPECT_NE(lSeen.end(), std::find(lSeen.begin(), lSeen.end(), lSrc));
  }
}

TEST_F(Connections, DestroyedPlugLeavesNoDanglingConnection) {
  auto lSrc = std::make_unique<FBComponent>();
  auto lDst = std::make_unique<FBComponent>();
  FBComponent lKeep;
  lDst->ConnectSrc(lSrc.get());
  lDst->ConnectSrc(&lKeep);
  lSrc.reset();
  ASSERT_EQ(1, lDst->GetSrcCount());
  EXPECT_EQ(&lKeep, lDst->GetSrc(0));

  lDst.reset();
  EXPECT_EQ(0, lKeep.GetDstCount());
}

TEST_F(Connections, EverySystemInstanceSharesTheSubscribers) {
  FBSystem lSystem;
  ConnectionRecorder lRecorder(lSystem.OnConnectionNotify);
  EXPECT_EQ(lSystem.OnConnectionNotify.GetCount(), FBSystem::TheOne().OnConnectionNotify.GetCount());

  FBComponent lSrc, lDst;
  lDst.ConnectSrc(&lSrc);
  ASSERT_EQ(1u, lRecorder.records.size());
  EXPECT_EQ(&lDst, lRecorder.records[0].dst);
}

// Object lists keep their entries as sources, so the notification names the
// list property as the destination.
TEST_F(Connections, ObjectListEntriesAreAnnouncedWithTheListAsDestination) {
  FBComponent lOwner, lFirst, lSecond;
  FBProperty* lProperty = lOwner.PropertyCreate("Targets", kFBPT_object, "Object", false);
  ASSERT_NE(nullptr, lProperty);
  EXPECT_EQ(11, lProperty->GetPropertyType());
  EXPECT_TRUE(lProperty->IsList());
  auto* lList = dynamic_cast<FBPropertyListObject*>(lProperty);
  ASSERT_NE(nullptr, lList);

  ConnectionRecorder lRecorder;
  EXPECT_EQ(0, lList->Add(&lFirst));
  EXPECT_EQ(1, lList->Add(&lSecond));
  EXPECT_EQ(0, lList->Add(&lFirst));  // already there: same index, no event
  EXPECT_EQ(2, lList->GetCount());
  EXPECT_EQ(&lSecond, (*lList)[1]);
  EXPECT_EQ(nullptr, (*lList)[2]);
  ASSERT_EQ(2u, lRecorder.records.size());
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(kFBConnectedSrc, lRecorder.records[i].action);
    EXPECT_EQ(lProperty, lRecorder.records[i].dst);
  }
  EXPECT_EQ(&lFirst, lRecorder.records[0].src);
  EXPECT_EQ(&lSecond, lRecorder.records[1].src);

  lRecorder.records.clear();
  lList->RemoveAll();
  EXPECT_EQ(0, lList->GetCount());
  ASSERT_EQ(2u, lRecorder.records.size());
  for (const auto& lRecord : lRecorder.records) {
    EXPECT_EQ(kFBDisconnectedSrc, lRecord.action);
    EXPECT_EQ(lProperty, lRecord.dst);
  }
  EXPECT_EQ(0, lFirst.GetDstCount());
}

TEST_F(Connections, ObjectListDropsDestroyedEntries) {
  FBComponent lOwner;
  auto* lList =
      dynamic_cast<FBPropertyListObject*>(lOwner.PropertyCreate("Targets", kFBPT_object, "Object", false));
  ASSERT_NE(nullptr, lList);
  auto lGone = std::make_unique<FBComponent>();
  FBComponent lStays;
  lList->Add(lGone.get());
  lList->Add(&lStays);
  lGone.reset();
  ASSERT_EQ(1, lList->GetCount());
  EXPECT_EQ(&lStays, lList->GetAt(0));
}

}  // namespace

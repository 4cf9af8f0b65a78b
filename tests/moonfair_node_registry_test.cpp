#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "moonfair_library.h"
#include "node_registry.h"

namespace {

using Log = std::vector<std::string>;

class TestNode : public MfiSceneNodeInterface {
 public:
  TestNode(Log* log, std::string name) : mLog(log), mName(std::move(name)) {}

  void MoonfairConnect(_MfiScene* scene) override {
    lastScene = scene;
    Record("connect");
  }
  void MoonfairUpdate(_MfiScene*, MfiUpdateContext const*) override {
    Record("update");
    if (onUpdate) onUpdate();
    // Last statement: the node is gone afterwards.
    if (std::unique_ptr<TestNode>* owner = destroySelfOnUpdate) owner->reset();
  }
  void MoonfairRender(MfiRenderContext const*) override { Record("render"); }
  void MoonfairDisconnect() override { Record("disconnect"); }
  bool MoonfairIsInPurgatory() const override { return purgatory; }

  bool purgatory = false;
  _MfiScene* lastScene = nullptr;
  std::function<void()> onUpdate;
  std::unique_ptr<TestNode>* destroySelfOnUpdate = nullptr;

 private:
  void Record(const char* what) { mLog->push_back(mName + ":" + what); }
  Log* mLog;
  std::string mName;
};

// Drives the dispatchers through the plug-in's own callback table.
class NodeDispatch : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(MfiUtilsNodeRegistry::Get().mNodes.empty()); }

  void Connect() {
    MfiConnectContext ctx{};
    g_mfiCallbackTableInternal.connect(nullptr, scene, &ctx);
  }
  void Update() {
    MfiUpdateContext ctx{};
    g_mfiCallbackTableInternal.update(nullptr, scene, &ctx);
  }
  void Render() {
    MfiRenderContext ctx{};
    g_mfiCallbackTableInternal.render(nullptr, &ctx);
  }
  void Disconnect() {
    MfiDisconnectContext ctx{};
    g_mfiCallbackTableInternal.disconnect(nullptr, &ctx);
  }
  // Everything logged since the last call.
  Log Take() { return std::exchange(log, {}); }

  int sceneTag = 0;
  _MfiScene* scene = reinterpret_cast<_MfiScene*>(&sceneTag);
  Log log;
};

TEST_F(NodeDispatch, NodesStartDetachedAndRegisterInOrder) {
  Connect();  // no nodes yet: nothing to do
  Update();
  TestNode a(&log, "a"), b(&log, "b");
  EXPECT_TRUE(a.IsDetached());
  const auto& nodes = MfiUtilsNodeRegistry::Get().mNodes;
  EXPECT_EQ(std::vector<MfiSceneNodeInterface*>(nodes.begin(), nodes.end()),
            (std::vector<MfiSceneNodeInterface*>{&a, &b}));
  Render();
  Disconnect();
  EXPECT_EQ(Take(), Log{});
}

TEST_F(NodeDispatch, ConnectAttachesEveryNodeWithTheScene) {
  TestNode a(&log, "a"), b(&log, "b");
  Connect();
  EXPECT_EQ(Take(), (Log{"a:connect", "b:connect"}));
  EXPECT_FALSE(a.IsDetached());
  EXPECT_EQ(b.lastScene, scene);
  Update();
  Render();
  EXPECT_EQ(Take(), (Log{"a:update", "b:update", "a:render", "b:render"}));
}

TEST_F(NodeDispatch, NodeCreatedAfterConnectAttachesOnNextUpdate) {
  TestNode a(&log, "a");
  Connect();
  TestNode late(&log, "late");
  Render();
  EXPECT_EQ(Take(), (Log{"a:connect", "a:render"}));
  Update();
  EXPECT_EQ(Take(), (Log{"a:update", "late:connect", "late:update"}));
  EXPECT_FALSE(late.IsDetached());
}

TEST_F(NodeDispatch, PurgatoryDisconnectsOnceThenSkipsUntilItEnds) {
  TestNode a(&log, "a");
  Connect();
  Update();
  Take();

  a.purgatory = true;
  Update();
  Update();
  Render();
  EXPECT_EQ(Take(), Log{"a:disconnect"});
  EXPECT_TRUE(a.IsDetached());

  a.purgatory = false;
  Update();
  Render();
  EXPECT_EQ(Take(), (Log{"a:connect", "a:update", "a:render"}));
}

TEST_F(NodeDispatch, ConnectDuringPurgatoryDetachesWithoutCalls) {
  TestNode a(&log, "a");
  Connect();
  a.purgatory = true;
  Connect();
  Update();
  EXPECT_EQ(Take(), Log{"a:connect"});
  EXPECT_TRUE(a.IsDetached());
}

TEST_F(NodeDispatch, DisconnectReachesAttachedNodesAndLeavesThemAttached) {
  TestNode a(&log, "a"), b(&log, "b");
  Connect();
  b.purgatory = true;
  Update();
  Take();

  Disconnect();
  EXPECT_EQ(Take(), Log{"a:disconnect"});
  EXPECT_FALSE(a.IsDetached());
  Render();
  EXPECT_EQ(Take(), Log{"a:render"});
}

TEST_F(NodeDispatch, DestroyedNodeIsNeverCalledAndAllItsEntriesGo) {
  auto doomed = std::make_unique<TestNode>(&log, "doomed");
  TestNode keep(&log, "keep");
  Connect();
  auto& nodes = MfiUtilsNodeRegistry::Get().mNodes;
  nodes.push_back(doomed.get());
  MfiSceneNodeInterface* gone = doomed.get();

  doomed.reset();
  EXPECT_EQ(std::count(nodes.begin(), nodes.end(), gone), 0);
  EXPECT_EQ(nodes.size(), 1u);
  Take();

  Update();
  Render();
  Disconnect();
  EXPECT_EQ(Take(), (Log{"keep:update", "keep:render", "keep:disconnect"}));
}

TEST_F(NodeDispatch, NodesDestroyedDuringAWalkAreSkippedAndDropped) {
  TestNode first(&log, "first");
  auto self = std::make_unique<TestNode>(&log, "self");
  auto later = std::make_unique<TestNode>(&log, "later");
  TestNode last(&log, "last");
  Connect();
  Take();

  first.onUpdate = [&] { later.reset(); };
  self->destroySelfOnUpdate = &self;
  Update();
  EXPECT_EQ(Take(), (Log{"first:update", "self:update", "last:update"}));
  EXPECT_EQ(MfiUtilsNodeRegistry::Get().mNodes.size(), 2u);
}

}  // namespace

#include "node_registry.h"

MfiSceneNodeInterface::MfiSceneNodeInterface() : mDetached(true) { MfiUtilsNodeRegistry::Get().Add(this); }

MfiSceneNodeInterface::~MfiSceneNodeInterface() { MfiUtilsNodeRegistry::Get().Remove(this); }

void MfiSceneNodeInterface::MoonfairConnect(_MfiScene*) {}

void MfiSceneNodeInterface::MoonfairRender(MfiRenderContext const*) {}

bool MfiSceneNodeInterface::MoonfairIsInPurgatory() const { return false; }

MfiUtilsNodeRegistry& MfiUtilsNodeRegistry::Get() {
  static MfiUtilsNodeRegistry registry;
  return registry;
}

void MfiUtilsNodeRegistry::Add(MfiSceneNodeInterface* node) { mNodes.push_back(node); }

void MfiUtilsNodeRegistry::Remove(MfiSceneNodeInterface* node) {
  if (mWalkDepth == 0) {
    mNodes.remove(node);
    return;
  }
  // Erasing would invalidate the walk's iterator; blank the cells instead.
  for (auto& cell : mNodes) {
    if (cell == node) {
      cell = nullptr;
      mHasBlanks = true;
    }
  }
}

void MoonfairConnect(void*, _MfiScene* scene, const MfiConnectContext*) noexcept {
  MfiUtilsNodeRegistry::Get().ForEach([scene](MfiSceneNodeInterface* const& cell) {
    MfiSceneNodeInterface* node = cell;
    if (node->MoonfairIsInPurgatory()) {
      node->mDetached = true;
      return;
    }
    node->MoonfairConnect(scene);
    if (cell == node) node->mDetached = false;
  });
}

void MoonfairUpdate(void*, _MfiScene* scene, const MfiUpdateContext* ctx) noexcept {
  MfiUtilsNodeRegistry::Get().ForEach([scene, ctx](MfiSceneNodeInterface* const& cell) {
    MfiSceneNodeInterface* node = cell;
    if (node->MoonfairIsInPurgatory()) {
      if (!node->mDetached) {
        node->MoonfairDisconnect();
        if (cell == node) node->mDetached = true;
      }
      return;
    }
    // Nodes created since the last connect, or back from purgatory,
    // attach here before their first update.
    if (node->mDetached) {
      node->MoonfairConnect(scene);
      if (cell != node) return;
      node->mDetached = false;
    }
    node->MoonfairUpdate(scene, ctx);
  });
}

void MoonfairRender(void*, const MfiRenderContext* ctx) noexcept {
  MfiUtilsNodeRegistry::Get().ForEach([ctx](MfiSceneNodeInterface* const& cell) {
    if (!cell->mDetached) cell->MoonfairRender(ctx);
  });
}

void MoonfairDisconnect(void*, const MfiDisconnectContext*) noexcept {
  // Nodes stay marked attached: the renderer's next connect reattaches all.
  MfiUtilsNodeRegistry::Get().ForEach([](MfiSceneNodeInterface* const& cell) {
    if (!cell->mDetached) cell->MoonfairDisconnect();
  });
}

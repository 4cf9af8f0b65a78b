// Scene nodes that feed the renderer, and the registry that dispatches the
// renderer's connect/update/render/disconnect callbacks to them.
#pragma once

#include <list>

#include "moonfair_interface.h"

// Callback table slots 1, 2, 3 and 9. Each ignores its user pointer and walks
// the registry front to back once.
void MoonfairConnect(void* user, _MfiScene* scene, const MfiConnectContext* ctx) noexcept;
void MoonfairDisconnect(void* user, const MfiDisconnectContext* ctx) noexcept;
void MoonfairUpdate(void* user, _MfiScene* scene, const MfiUpdateContext* ctx) noexcept;
void MoonfairRender(void* user, const MfiRenderContext* ctx) noexcept;

// A node registers itself on construction and unregisters on destruction.
// It starts detached; the dispatchers attach it (MoonfairConnect) and detach
// it (MoonfairDisconnect) as the renderer and its purgatory state require.
// The destructor does not disconnect: a derived class that holds renderer
// entities releases them itself.
class MfiSceneNodeInterface {
 public:
  MfiSceneNodeInterface();
  virtual ~MfiSceneNodeInterface();

  MfiSceneNodeInterface(const MfiSceneNodeInterface&) = delete;
  MfiSceneNodeInterface& operator=(const MfiSceneNodeInterface&) = delete;

  virtual void MoonfairConnect(_MfiScene* scene);
  virtual void MoonfairUpdate(_MfiScene* scene, MfiUpdateContext const* ctx) = 0;
  virtual void MoonfairRender(MfiRenderContext const* ctx);
  virtual void MoonfairDisconnect() = 0;
  // A node in purgatory is kept detached: disconnected once, then skipped.
  virtual bool MoonfairIsInPurgatory() const;

  bool IsDetached() const { return mDetached; }

 protected:
  bool mDetached;

 private:
  friend void ::MoonfairConnect(void*, _MfiScene*, const MfiConnectContext*) noexcept;
  friend void ::MoonfairDisconnect(void*, const MfiDisconnectContext*) noexcept;
  friend void ::MoonfairUpdate(void*, _MfiScene*, const MfiUpdateContext*) noexcept;
  friend void ::MoonfairRender(void*, const MfiRenderContext*) noexcept;
};

// Registration order is dispatch order. The registry owns the list cells, not
// the nodes.
class MfiUtilsNodeRegistry {
 public:
  static MfiUtilsNodeRegistry& Get();

  void Add(MfiSceneNodeInterface* node);
  // Removes every entry equal to node. While a dispatch is walking the list
  // the entries are blanked instead and dropped once the walk ends.
  void Remove(MfiSceneNodeInterface* node);

  // Calls visit(cell) for each live entry. After calling into the node,
  // visit must re-check `cell == node` before touching it again: the node
  // may have been destroyed by its own callback.
  template <typename Visit>
  void ForEach(Visit&& visit);

  std::list<MfiSceneNodeInterface*> mNodes;

 private:
  MfiUtilsNodeRegistry() = default;

  int mWalkDepth = 0;
  bool mHasBlanks = false;
};

template <typename Visit>
void MfiUtilsNodeRegistry::ForEach(Visit&& visit) {
  ++mWalkDepth;
  // end() is re-read each step so nodes created during the walk are visited.
  for (auto it = mNodes.begin(); it != mNodes.end(); ++it) {
    if (*it) visit(*it);
  }
  if (--mWalkDepth == 0 && mHasBlanks) {
    mNodes.remove(nullptr);
    mHasBlanks = false;
  }
}

#ifndef VTHUD_RENDERER_QUAD_H
#define VTHUD_RENDERER_QUAD_H
// An element's renderer-side objects: a full-screen quad whose material
// shows one of the element's GL textures as premultiplied emission. Created
// on the first update after a connection, released on disconnect.
#include <cstdint>
#include <memory>
#include <string>

#include "moonfair_interface.h"

struct VTHUDQuadBuffers;

namespace vthud {

class RendererQuad {
 public:
  RendererQuad();
  ~RendererQuad();
  bool Ready() const { return mReady; }
  // Entities are named "<pName>::mesh" and "<pName>::transform". Failed steps
  // are reported through the bridge; nothing is retried until Release.
  void Create(_MfiScene* pScene, uint32_t pGlTexture, int pWidth, int pHeight, const std::string& pName);
  void Release();
  // Live entities (0 to 4), for checks.
  int EntityCount() const;

 private:
  bool mReady = false;
  uint64_t mMesh = 0, mTransform = 0, mMaterial = 0, mTexture = 0;
  std::unique_ptr<VTHUDQuadBuffers> mBuffers;  // read by the renderer while the mesh lives
};

}  // namespace vthud

#endif

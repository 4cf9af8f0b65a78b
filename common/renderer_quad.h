#ifndef VTHUD_RENDERER_QUAD_H
#define VTHUD_RENDERER_QUAD_H
// An element's renderer-side objects: a full-screen quad whose material
// shows one of the element's GL textures as premultiplied emission. Created
// on the first update after a connection, released on disconnect.
#include <cstdint>
#include <memory>

#include "moonfair_interface.h"

struct VTHUDQuadBuffers;

namespace vthud {

// The quad's handles and geometry, held in its owner's members.
struct QuadRefs {
  uint64_t& mesh;
  uint64_t& transform;
  uint64_t& material;
  uint64_t& texture;
  std::unique_ptr<VTHUDQuadBuffers>& buffers;  // read by the renderer while the mesh lives
};

// The mesh, its transform and its material; entities are named
// "<pName>::mesh" and "<pName>::transform". Failed steps are reported
// through the bridge and the sequence carries on.
void CreateQuadMesh(_MfiScene* pScene, const char* pName, QuadRefs pQuad);
// The renderer texture wrapping pGlTexture, bound to the material's "hudTexture".
void CreateQuadTexture(_MfiScene* pScene, uint32_t pGlTexture, int pWidth, int pHeight, const char* pName,
                       QuadRefs pQuad);
// Releases every live handle, mesh first, and sets all of them to 0.
void ReleaseQuad(QuadRefs pQuad);

class RendererQuad {
 public:
  RendererQuad();
  ~RendererQuad();
  bool Ready() const { return mReady; }
  // Nothing is retried until Release.
  void Create(_MfiScene* pScene, uint32_t pGlTexture, int pWidth, int pHeight, const char* pName);
  void Release();

 private:
  QuadRefs Refs() { return {mMesh, mTransform, mMaterial, mTexture, mBuffers}; }
  bool mReady = false;
  uint64_t mMesh = 0, mTransform = 0, mMaterial = 0, mTexture = 0;
  std::unique_ptr<VTHUDQuadBuffers> mBuffers;
};

}  // namespace vthud

#endif

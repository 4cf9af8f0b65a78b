#include "renderer_quad.h"

#include <cstdio>
#include <cstring>

#include "moonfair_library.h"
#include "renderer/quad_buffers.h"
#include "renderer/shader_document.h"

namespace vthud {

namespace {
MfiBufferDescriptor Describe(const void* pData, size_t pSize) {
  MfiBufferDescriptor lDescriptor{};
  lDescriptor.data = pData;
  lDescriptor.size = pSize;
  lDescriptor.flags = 1;
  return lDescriptor;
}
}  // namespace

RendererQuad::RendererQuad() = default;
RendererQuad::~RendererQuad() = default;

void RendererQuad::Create(_MfiScene* pScene, uint32_t pGlTexture, int pWidth, int pHeight,
                          const std::string& pName) {
  if (!pScene || mReady) return;
  mBuffers.reset(new VTHUDQuadBuffers);
  VTHUDQuadBuffers& q = *mBuffers;
  q.indexBuffer = Describe(q.indices, sizeof q.indices);
  q.streams[0] = Describe(q.positions, sizeof q.positions);
  q.streams[1] = Describe(q.texCoords, sizeof q.texCoords);
  q.bufferSet.indexCount = 6;
  q.bufferSet.indexFormat = MFI_INDEX_FORMAT_UINT32;
  q.bufferSet.indices = &q.indexBuffer;
  q.bufferSet.vertexStreams = q.streams;

  const uint64_t lLayout = MfiCreateVertexLayout(pScene, 2, q.layout);
  const float lMin[3] = {-1.0f, -1.0f, 0.0f};
  const float lMax[3] = {1.0f, 1.0f, 0.0f};
  mMesh = MfiCreatePolygonMesh(pScene, 4, lLayout, lMin, lMax);
  // The renderer releases a layout with the last mesh that uses it; without a mesh it goes here.
  if (mMesh == 0 && lLayout != 0) MfiReleaseEntity(lLayout);
  MfiSetEntityAnnotatedName(mMesh, (pName + "::mesh").c_str());
  MfiSetPolygonMeshBuffers(mMesh, &q.bufferSet, 0);
  mTransform = MfiCreateTransform(pScene, mMesh);
  MfiSetEntityAnnotatedName(mTransform, (pName + "::transform").c_str());
  MfiSetEntityCategory(mTransform, 18);
  static const std::string sShader = VTHUDShaderDocument();
  mMaterial = MfiCreateMaterialFromString(pScene, sShader.c_str());
  MfiSetEntityPropertyi(mMaterial, 0x5000, 0x401);
  MfiSetTransformPropertyMaterial(mTransform, mMaterial);
  mTexture = MfiCreateTexture2D(pScene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, pWidth, pHeight, nullptr);
  MfiTextureData lData;
  memset(&lData, 0, sizeof lData);
  lData.glTexture = pGlTexture;
  MfiSetTextureData(mTexture, &lData, 0);
  const int32_t lId = MfiGetMaterialPropertyIdByName(mMaterial, "hudTexture");
  if (lId == -1)
    fprintf(stderr, "Error : %s - property \"hudTexture\" not found in shader\n", pName.c_str());
  else
    MfiSetMaterialPropertyTextured(mMaterial, lId, mTexture);
  mReady = true;
}

void RendererQuad::Release() {
  if (!mReady) return;
  for (uint64_t* lHandle : {&mMesh, &mTransform, &mMaterial, &mTexture}) {
    if (*lHandle != 0) MfiReleaseEntity(*lHandle);
    *lHandle = 0;
  }
  mBuffers.reset();
  mReady = false;
}

int RendererQuad::EntityCount() const {
  return (mMesh != 0) + (mTransform != 0) + (mMaterial != 0) + (mTexture != 0);
}

}  // namespace vthud

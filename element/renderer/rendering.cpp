// Renderer-side objects of the element: a full-screen quad whose material
// samples the offscreen overlay texture by its OpenGL name. They are created
// on the first update after a connection and released on disconnect.
#include "vshudelement_element.h"

#include <cstring>
#include <iostream>
#include <string>

#include "moonfair_library.h"
#include "renderer/quad_buffers.h"
#include "renderer/shader_document.h"

namespace {

const std::string& shaderText() {
  static const std::string sText = VTHUDShaderDocument();
  return sText;
}

MfiBufferDescriptor Describe(const void* pData, size_t pSize) {
  MfiBufferDescriptor lDescriptor{};
  lDescriptor.data = pData;
  lDescriptor.size = pSize;
  lDescriptor.flags = 1;
  return lDescriptor;
}

}  // namespace

void VTHUDElement::initRendering(_MfiScene* pScene) {
  if (!pScene || mRenderingReady) return;
  if (!mMoonfairConnected) {
    std::cerr << "Error : moonfair not connected" << std::endl;
    return;
  }

  mQuadBuffers.reset(new VTHUDQuadBuffers);
  VTHUDQuadBuffers& q = *mQuadBuffers;
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
  mMeshEntity = MfiCreatePolygonMesh(pScene, 4, lLayout, lMin, lMax);
  // The renderer releases a layout with the last mesh that uses it; without a mesh it is released here.
  if (mMeshEntity == 0 && lLayout != 0) MfiReleaseEntity(lLayout);
  MfiSetEntityAnnotatedName(mMeshEntity, "koHUD::mesh");
  MfiSetPolygonMeshBuffers(mMeshEntity, &q.bufferSet, 0);
  mTransformEntity = MfiCreateTransform(pScene, mMeshEntity);
  MfiSetEntityAnnotatedName(mTransformEntity, "koHUD::transform");
  MfiSetEntityCategory(mTransformEntity, 18);
  mMaterialEntity = MfiCreateMaterialFromString(pScene, shaderText().c_str());
  MfiSetEntityPropertyi(mMaterialEntity, 0x5000, 0x401);
  MfiSetTransformPropertyMaterial(mTransformEntity, mMaterialEntity);
  initMFITexture(pScene);
  // Failed steps were reported; nothing is retried until the next connection.
  mRenderingReady = true;
}

void VTHUDElement::initMFITexture(_MfiScene* pScene) {
  if (mTextureEntity != 0) return;
  initFramebuffer();
  mTextureEntity =
      MfiCreateTexture2D(pScene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, mWidth, mHeight, nullptr);
  MfiTextureData lData;
  memset(&lData, 0, sizeof lData);
  lData.glTexture = mRenderTexture;
  MfiSetTextureData(mTextureEntity, &lData, 0);
  const int32_t lId = MfiGetMaterialPropertyIdByName(mMaterialEntity, "hudTexture");
  if (lId == -1) {
    std::cerr << "Error : koHUD - property \"hudTexture\" not found in shader" << std::endl;
    return;
  }
  MfiSetMaterialPropertyTextured(mMaterialEntity, lId, mTextureEntity);
}

void VTHUDElement::deinitRendering() {
  if (!mRenderingReady) return;
  uint64_t* const lHandles[] = {&mMeshEntity, &mTransformEntity, &mMaterialEntity, &mTextureEntity};
  for (uint64_t* lHandle : lHandles) {
    if (*lHandle != 0) MfiReleaseEntity(*lHandle);
    *lHandle = 0;
  }
  mQuadBuffers.reset();
  deinitFramebuffer();
  mRenderingReady = false;
}

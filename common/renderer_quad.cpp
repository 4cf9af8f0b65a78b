// Renderer-side objects of an element: a full-screen quad whose material
// samples the element's offscreen texture by its OpenGL name.
#include "renderer_quad.h"

#include <cstring>
#include <iostream>
#include <string>

#include "moonfair_library.h"
#include "quad_buffers.h"
#include "shader_document.h"

namespace vthud {

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

void CreateQuadMesh(_MfiScene* pScene, const char* pName, QuadRefs pQuad) {
  pQuad.buffers.reset(new VTHUDQuadBuffers);
  VTHUDQuadBuffers& q = *pQuad.buffers;
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
  pQuad.mesh = MfiCreatePolygonMesh(pScene, 4, lLayout, lMin, lMax);
  // The renderer releases a layout with the last mesh that uses it; without a mesh it is released here.
  if (pQuad.mesh == 0 && lLayout != 0) MfiReleaseEntity(lLayout);
  MfiSetEntityAnnotatedName(pQuad.mesh, (std::string(pName) + "::mesh").c_str());
  MfiSetPolygonMeshBuffers(pQuad.mesh, &q.bufferSet, 0);
  pQuad.transform = MfiCreateTransform(pScene, pQuad.mesh);
  MfiSetEntityAnnotatedName(pQuad.transform, (std::string(pName) + "::transform").c_str());
  MfiSetEntityCategory(pQuad.transform, 18);
  pQuad.material = MfiCreateMaterialFromString(pScene, shaderText().c_str());
  MfiSetEntityPropertyi(pQuad.material, 0x5000, 0x401);
  MfiSetTransformPropertyMaterial(pQuad.transform, pQuad.material);
}

void CreateQuadTexture(_MfiScene* pScene, uint32_t pGlTexture, int pWidth, int pHeight, const char* pName,
                       QuadRefs pQuad) {
  pQuad.texture =
      MfiCreateTexture2D(pScene, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, pWidth, pHeight, nullptr);
  MfiTextureData lData;
  memset(&lData, 0, sizeof lData);
  lData.glTexture = pGlTexture;
  MfiSetTextureData(pQuad.texture, &lData, 0);
  const int32_t lId = MfiGetMaterialPropertyIdByName(pQuad.material, "hudTexture");
  if (lId == -1) {
    // '\n' and a flush rather than std::endl: the same bytes, and no widening
    // code of the stream's here to hide from the HUD library's exports.
    std::cerr << "Error : " << pName << " - property \"hudTexture\" not found in shader\n" << std::flush;
    return;
  }
  MfiSetMaterialPropertyTextured(pQuad.material, lId, pQuad.texture);
}

void ReleaseQuad(QuadRefs pQuad) {
  for (uint64_t* lHandle : {&pQuad.mesh, &pQuad.transform, &pQuad.material, &pQuad.texture}) {
    if (*lHandle != 0) MfiReleaseEntity(*lHandle);
    *lHandle = 0;
  }
  pQuad.buffers.reset();
}

RendererQuad::RendererQuad() = default;
RendererQuad::~RendererQuad() = default;

void RendererQuad::Create(_MfiScene* pScene, uint32_t pGlTexture, int pWidth, int pHeight, const char* pName) {
  if (!pScene || mReady) return;
  CreateQuadMesh(pScene, pName, Refs());
  CreateQuadTexture(pScene, pGlTexture, pWidth, pHeight, pName, Refs());
  mReady = true;
}

void RendererQuad::Release() {
  if (!mReady) return;
  ReleaseQuad(Refs());
  mReady = false;
}

}  // namespace vthud

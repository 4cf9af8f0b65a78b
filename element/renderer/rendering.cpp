// Renderer-side objects of the element: a full-screen quad whose material
// samples the offscreen overlay texture by its OpenGL name. They are created
// on the first update after a connection and released on disconnect.
#include <iostream>

#include "renderer_quad.h"
#include "vshudelement_element.h"

namespace {
const char* const kEntityPrefix = "koHUD";

vthud::QuadRefs Quad(VTHUDElement& e, std::unique_ptr<VTHUDQuadBuffers>& pBuffers) {
  return {e.mMeshEntity, e.mTransformEntity, e.mMaterialEntity, e.mTextureEntity, pBuffers};
}
}  // namespace

void VTHUDElement::initRendering(_MfiScene* pScene) {
  if (!pScene || mRenderingReady) return;
  if (!mMoonfairConnected) {
    std::cerr << "Error : moonfair not connected" << std::endl;
    return;
  }
  vthud::CreateQuadMesh(pScene, kEntityPrefix, Quad(*this, mQuadBuffers));
  initMFITexture(pScene);
  // Failed steps were reported; nothing is retried until the next connection.
  mRenderingReady = true;
}

void VTHUDElement::initMFITexture(_MfiScene* pScene) {
  if (mTextureEntity != 0) return;
  initFramebuffer();
  vthud::CreateQuadTexture(pScene, mRenderTexture, mWidth, mHeight, kEntityPrefix, Quad(*this, mQuadBuffers));
}

void VTHUDElement::deinitRendering() {
  if (!mRenderingReady) return;
  vthud::ReleaseQuad(Quad(*this, mQuadBuffers));
  deinitFramebuffer();
  mRenderingReady = false;
}

// The element's identity, lifecycle, viewer drawing road and renderer node
// operations.
#include "vshudelement_element.h"

#include "quad_buffers.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include <cstring>

#include "draw_range.h"

FBClassImplementation(VTHUDElement) FBStorableCustomHUDElementImplementation(VTHUDElement, "VT HUD Element")

    namespace {
  const char* const kVantorCallbackName = "VantorRendererCallback";
}

VTHUDElement::VTHUDElement(const char* pName, HIObject pObject)
    : FBHUDElement(pName, pObject), MfiSceneNodeInterface() {
  mFramebuffer = 0;
  mRenderTexture = 0;
  mMeshEntity = 0;
  mTransformEntity = 0;
  mMaterialEntity = 0;
  mTextureEntity = 0;
  mRenderingReady = false;
  mFramebufferReady = false;
  mMoonfairConnected = false;
  mOratorFont = nullptr;
  mArialFont = nullptr;
  mArialLargeFont = nullptr;
  mOratorFontData = nullptr;
  mArialFontData = nullptr;
  mBloopDone = false;
  mBloopFrameCount = 0;
  mBloopStartFrame = 0;
  mReticleTexture = 0;
  mLastFrameMs = 0;
  mFrameDeltaMs = 0;
  mFrameAccumMs = 0;
  mFrameCount = 0;
  mAverageFrameMs = 0.0;
  mCharacterTimecodeSource = nullptr;
  mCameraTimecodeSource = nullptr;
  mWidth = 1920;
  mHeight = 1080;
  mHostDrawFramebuffer = 0;
  mHostReadFramebuffer = 0;
}

bool VTHUDElement::FbxStore(FBFbxObject*, kFbxObjectStore) { return true; }
bool VTHUDElement::FbxRetrieve(FBFbxObject*, kFbxObjectStore) { return true; }

bool VTHUDElement::FBCreate() {
  createProperties();
  assignStartValues();

  {
    // An element created in the middle of a recording does not flash.
    FBPlayerControl lPlayer;
    mBloopDone = lPlayer.IsRecording && lPlayer.IsPlaying;
    Show = true;
    if (!loadFonts()) return false;
  }

  double lMaskColor[4] = {0.0, 0.0, 0.0, 0.75};
  MaskColor = FBColorAndAlpha(lMaskColor);
  createReticleTexture();
  mTextLayer.Create(mWidth, mHeight);  // without it text blends straight into the target

  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(
      this, (FBCallback)&VTHUDElement::OnPerFrameRenderingPipelineCallback);
  FBSystem lSystem;
  lSystem.OnConnectionNotify.Add(this, (FBCallback)&VTHUDElement::OnConnectionNotify);
  return true;
}

void VTHUDElement::FBDestroy() {
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(
      this, (FBCallback)&VTHUDElement::OnPerFrameRenderingPipelineCallback);
  {
    FBSystem lSystem;
    lSystem.OnConnectionNotify.Remove(this, (FBCallback)&VTHUDElement::OnConnectionNotify);
  }
  deinitRendering();
  deleteReticleTexture();
  mTextLayer.Release();

  // Fonts read their glyphs from the buffers, so they go first.
  delete mOratorFont;
  mOratorFont = nullptr;
  delete mArialFont;
  mArialFont = nullptr;
  delete mArialLargeFont;
  mArialLargeFont = nullptr;
  delete[] mOratorFontData;
  mOratorFontData = nullptr;
  delete[] mArialFontData;
  mArialFontData = nullptr;

  FBComponent::FBDestroy();
}

void VTHUDElement::GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight) {
  FBCamera* lCamera = pViewingOptions ? pViewingOptions->GetViewingCamera() : nullptr;
  if (!lCamera) return;  // no camera: the sizes stay as the viewer passed them
  pWidth = vthud::SaturateToInt(lCamera->ResolutionWidth.GetPropertyValue());
  lCamera = pViewingOptions->GetViewingCamera();
  pHeight = vthud::SaturateToInt(lCamera->ResolutionHeight.GetPropertyValue());
}

bool VTHUDElement::isVantorRendererPane() {
  FBRenderer* lRenderer = FBSystem::TheOne().Renderer;
  if (!lRenderer) return false;
  // The index selects from the renderer's callback list, so the list's length bounds it.
  const int lIndex = lRenderer->CurrentPaneCallbackIndex;
  const int lBound = lRenderer->RendererCallbacks.GetCount();
  if (lIndex < 0 || lIndex >= lBound) return false;
  FBRendererCallback* lCallback = lRenderer->RendererCallbacks[lIndex];
  if (!lCallback) return false;
  const char* lName = lCallback->GetCallbackName();
  return lName && strcmp(lName, kVantorCallbackName) == 0;
}

void VTHUDElement::DrawElement(FBViewingOptions*, FBHUDElement::Rect&) {
  // The renderer draws its own pane; the overlay reaches it through MoonfairRender.
  if (mMoonfairConnected && isVantorRendererPane()) return;
  drawIntoTarget();
}

void VTHUDElement::drawIntoTarget() {
  GLint lViewport[4];
  glGetIntegerv(GL_VIEWPORT, lViewport);
  bindFramebuffer();
  DrawHUD();
  unbindFramebuffer();
  glViewport(lViewport[0], lViewport[1], lViewport[2], lViewport[3]);
}

void VTHUDElement::MoonfairConnect(_MfiScene*) { mMoonfairConnected = true; }

void VTHUDElement::MoonfairUpdate(_MfiScene* pScene, MfiUpdateContext const*) { initRendering(pScene); }

void VTHUDElement::MoonfairDisconnect() {
  deinitRendering();
  mMoonfairConnected = false;
}

void VTHUDElement::MoonfairRender(MfiRenderContext const*) {
  if (!mMoonfairConnected) return;
  if (!isVantorRendererPane()) return;
  drawIntoTarget();
}

bool VTHUDElement::MoonfairIsInPurgatory() const {
  // Deleted but kept for undo, or switched off by the user: out of the renderer's scene.
  if (GetStatusFlag(kFBStatusOwnedByUndo)) return true;
  return !Show.GetPropertyValue();
}

void VTHUDElement::OnPerFrameRenderingPipelineCallback(HISender, HKEvent pEvent) {
  FBEventEvalGlobalCallback lEvent(pEvent);
  if (lEvent.GetTiming() != kFBGlobalEvalCallbackAfterRender) return;
  const int64_t lNowMs = mSystem.SystemTime.GetPropertyValue().GetMilliSeconds();
  mFrameDeltaMs = lNowMs - mLastFrameMs;
  mLastFrameMs = lNowMs;
  mFrameAccumMs += static_cast<uint64_t>(mFrameDeltaMs);
  mFrameCount += 1;
  if (mFrameAccumMs > 999) {
    mAverageFrameMs = static_cast<double>(mFrameAccumMs) / static_cast<double>(mFrameCount);
    mFrameAccumMs = 0;
    mFrameCount = 0;
  }
}

#include "host.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>

#include <algorithm>

namespace vthost {

// ---- plug-in libraries

PluginLibrary::~PluginLibrary() { Unload(); }

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& pPath, std::string& pError) {
  const size_t lBefore = fbsdk_host::Registry().size();
  void* lHandle = dlopen(pPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lHandle) {
    const char* lReason = dlerror();
    pError = "cannot load plug-in " + pPath + ": " + (lReason ? lReason : "unknown reason");
    return nullptr;
  }
  std::unique_ptr<PluginLibrary> lLibrary(new PluginLibrary);
  lLibrary->mHandle = lHandle;
  lLibrary->mPath = pPath;
  const auto& lRegistry = fbsdk_host::Registry();
  lLibrary->mClasses.assign(lRegistry.begin() + static_cast<long>(std::min(lBefore, lRegistry.size())),
                            lRegistry.end());
  using LibraryInit = bool (*)(HIRegister);
  auto lInit = reinterpret_cast<LibraryInit>(dlsym(lHandle, "LIBRARY_INIT"));
  if (!lInit) {
    pError = "plug-in " + pPath + " has no entry point LIBRARY_INIT";
    return nullptr;
  }
  if (!lInit(nullptr)) {
    pError = "plug-in " + pPath + ": LIBRARY_INIT failed";
    return nullptr;
  }
  return lLibrary;
}

void* PluginLibrary::Symbol(const char* pName) const { return mHandle ? dlsym(mHandle, pName) : nullptr; }

void PluginLibrary::Unload() {
  if (!mHandle) return;
  // The library's classes go with its code.
  auto& lRegistry = fbsdk_host::Registry();
  for (const auto& lClass : mClasses)
    lRegistry.erase(
        std::remove_if(lRegistry.begin(), lRegistry.end(),
                       [&](const fbsdk_host::RegisteredClass& c) { return c.create == lClass.create; }),
        lRegistry.end());
  dlclose(mHandle);
  mHandle = nullptr;
}

// ---- panes

Pane::Pane(int pWidth, int pHeight, FBCamera* pCamera, int pIndex, bool pDepth)
    : mWidth(pWidth), mHeight(pHeight), mIndex(pIndex), mCamera(pCamera) {
  glGenFramebuffers(1, &mFramebuffer);
  // The colour buffer is a texture, so that a background picture is written
  // straight into it (see Draw).
  GLint lPreviousTexture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &lPreviousTexture);
  glGenTextures(1, &mColor);
  glBindTexture(GL_TEXTURE_2D, mColor);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, mWidth, mHeight);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lPreviousTexture));
  glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mColor, 0);
  // Without depth a redraw clears nothing under a picture that covers the
  // pane: on llvmpipe a depth clear costs every tile a pass, the HUD's own
  // draws only the tiles they reach.
  if (!pDepth) return;
  glGenRenderbuffers(1, &mDepth);
  glBindRenderbuffer(GL_RENDERBUFFER, mDepth);
  // Depth alone, without stencil bits: llvmpipe clears a depth-stencil
  // buffer's depth pixel by pixel around the stencil it keeps, several times
  // slower than the plain fill it gives a depth-only buffer. Nothing here
  // draws with stencil.
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, mWidth, mHeight);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, mDepth);
}

Pane::~Pane() {
  glDeleteFramebuffers(1, &mFramebuffer);
  glDeleteTextures(1, &mColor);
  if (mDepth) glDeleteRenderbuffers(1, &mDepth);
}

void Pane::Draw(const std::vector<FBHUDElement*>& pElements, RendererRoad* pRoad) {
  glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
  glViewport(0, 0, mWidth, mHeight);
  const bool lCovered =
      !pRoad && mBackground.width == mWidth && mBackground.height == mHeight && mBackground.Whole();
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  const GLbitfield lClear = (lCovered ? 0 : GL_COLOR_BUFFER_BIT) | (mDepth ? GL_DEPTH_BUFFER_BIT : 0);
  if (lClear) glClear(lClear);
  fbsdk_host::FireRenderPipeline(kFBGlobalEvalCallbackBeforeRender);
  if (lCovered) {
    // The scene behind the HUD, copied straight into the colour buffer: a
    // plain copy, several times cheaper than drawing it with glDrawPixels on a
    // software rasteriser, and the same pixels. It covers every pixel, so the
    // colour buffer is not cleared first. GL wants the bottom row first:
    // pictures the other way up go row by row.
    GLint lPreviousTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &lPreviousTexture);
    glBindTexture(GL_TEXTURE_2D, mColor);
    if (mBackground.bottomUp) {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, mWidth, mHeight, GL_RGBA, GL_UNSIGNED_BYTE, mBackground.Pixels());
    } else {
      const size_t lRow = static_cast<size_t>(mWidth) * 4;
      for (int y = 0; y < mHeight; ++y)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, mHeight - 1 - y, mWidth, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                        mBackground.Pixels() + static_cast<size_t>(y) * lRow);
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(lPreviousTexture));
  }
  if (pRoad) {
    // The renderer takes a picture of its own.
    if (mBackground.held) {
      const uint8_t* lHeld = mBackground.held.get();
      mBackground.rgba.assign(lHeld, lHeld + static_cast<size_t>(mBackground.width) * mBackground.height * 4);
      mBackground.held.reset();
    }
    if (mBackground.bottomUp) {
      // The renderer takes its picture top row first.
      const size_t lRow = static_cast<size_t>(mBackground.width) * 4;
      for (int y = 0; y < mBackground.height / 2; ++y)
        std::swap_ranges(mBackground.rgba.begin() + static_cast<long>(y * lRow),
                         mBackground.rgba.begin() + static_cast<long>((y + 1) * lRow),
                         mBackground.rgba.begin() + static_cast<long>((mBackground.height - 1 - y) * lRow));
      mBackground.bottomUp = false;
    }
    pRoad->Frame(mFramebuffer, mWidth, mHeight, mBackground);
  }
  mIntrinsic.clear();
  for (FBHUDElement* lElement : pElements) {
    if (!lElement->Show || !lElement->Visibility) continue;
    FBViewingOptions lOptions(mCamera, mIndex);
    int lWidth = 0, lHeight = 0;
    lElement->GetIntrinsicDimension(&lOptions, lWidth, lHeight);
    mIntrinsic.emplace_back(lWidth, lHeight);
    FBHUDElement::Rect lRect{0.0, 0.0, static_cast<double>(mWidth), static_cast<double>(mHeight), 1.0, 1.0};
    lElement->DrawElement(&lOptions, lRect);
  }
  fbsdk_host::FireRenderPipeline(kFBGlobalEvalCallbackAfterRender);
  glFinish();
}

Image Pane::ReadPixels() const {
  Image lImage;
  lImage.width = mWidth;
  lImage.height = mHeight;
  lImage.rgba.resize(static_cast<size_t>(mWidth) * mHeight * 4);
  std::vector<uint8_t> lBottomUp(lImage.rgba.size());
  GLint lPrevious = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &lPrevious);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, mFramebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, mWidth, mHeight, GL_RGBA, GL_UNSIGNED_BYTE, lBottomUp.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(lPrevious));
  const size_t lRow = static_cast<size_t>(mWidth) * 4;
  for (int y = 0; y < mHeight; ++y)
    std::copy_n(&lBottomUp[(static_cast<size_t>(mHeight - 1 - y)) * lRow], lRow, &lImage.rgba[y * lRow]);
  return lImage;
}

// ---- the application

Host::Host() : mRenderer(new FBRenderer), mRoad(new RendererRoad(*this)) {
  fbsdk_host::ResetState();
  fbsdk_host::State().renderer = mRenderer.get();
  FBCamera* lCamera = AddCamera("Producer Perspective");
  mRenderer->CurrentCamera = lCamera;
  SetCurrentTake(AddTake("Take 001"));
  SetLoop(0, 300);
}

Host::~Host() {
  if (mRoad->Connected()) mRoad->Disconnect();
  DestroyAll();
  mRoad.reset();
  mPanes.clear();
  fbsdk_host::State().renderer = nullptr;
  fbsdk_host::State().currentTake = nullptr;
  mLibraries.clear();
}

PluginLibrary* Host::LoadPlugin(const std::string& pPath, std::string& pError) {
  auto lLibrary = PluginLibrary::Load(pPath, pError);
  if (!lLibrary) return nullptr;
  mLibraries.push_back(std::move(lLibrary));
  return mLibraries.back().get();
}

FBComponent* Host::Create(const std::string& pEntryName, const std::string& pName, std::string& pError) {
  for (const auto& lClass : fbsdk_host::Registry()) {
    if (lClass.entry != pEntryName) continue;
    HIObject lHandle = lClass.create(nullptr, pName.c_str(), nullptr);
    FBComponent* lObject = FBGetFBObject(lHandle);
    if (!lObject) {
      pError = "creating a " + pEntryName + " failed";
      return nullptr;
    }
    mObjects.push_back(lObject);
    return lObject;
  }
  std::string lKnown;
  for (const auto& lClass : fbsdk_host::Registry()) lKnown += (lKnown.empty() ? "" : ", ") + lClass.entry;
  pError = "class '" + pEntryName + "' is not registered (registered: " + (lKnown.empty() ? "none" : lKnown) + ")";
  return nullptr;
}

void Host::Adopt(FBComponent* pObject) {
  if (!pObject || std::find(mObjects.begin(), mObjects.end(), pObject) != mObjects.end()) return;
  mObjects.push_back(pObject);
}

void Host::Destroy(FBComponent* pObject) {
  auto lIt = std::find(mObjects.begin(), mObjects.end(), pObject);
  if (lIt == mObjects.end()) return;
  mObjects.erase(lIt);
  if (pObject->mAllocated) {
    pObject->FBDelete();
  } else {
    pObject->FBDestroy();
    delete pObject;
  }
}

void Host::DestroyAll() {
  while (!mObjects.empty()) Destroy(mObjects.back());
}

std::vector<FBHUDElement*> Host::HUDElements() const {
  std::vector<FBHUDElement*> lElements;
  for (FBComponent* lObject : mObjects)
    if (lObject->Is(FBHUDElement::TypeInfo)) lElements.push_back(static_cast<FBHUDElement*>(lObject));
  return lElements;
}

FBCamera* Host::AddCamera(const std::string& pName) {
  mCameras.emplace_back(new FBCamera(pName.c_str()));
  return mCameras.back().get();
}

FBTake* Host::AddTake(const std::string& pName) {
  mTakes.emplace_back(new FBTake(pName.c_str()));
  return mTakes.back().get();
}

SceneObject* Host::AddObject(const std::string& pName) {
  auto* lObject = new SceneObject(pName.c_str());
  mObjects.push_back(lObject);
  return lObject;
}

FBComponent* Host::FindObject(const std::string& pName) const {
  for (FBComponent* lObject : mObjects)
    if (pName == static_cast<const char*>(lObject->Name.GetPropertyValue())) return lObject;
  return nullptr;
}

FBCamera* Host::FindCamera(const std::string& pName) const {
  for (const auto& lCamera : mCameras)
    if (pName == static_cast<const char*>(lCamera->Name.GetPropertyValue())) return lCamera.get();
  return nullptr;
}

void Host::SetFrame(long long pFrame) {
  FBTime lTime;
  lTime.SetFrame(pFrame);
  fbsdk_host::State().sceneTime = lTime;
}

void Host::SetLoop(long long pStartFrame, long long pStopFrame) {
  FBTime lStart, lStop;
  lStart.SetFrame(pStartFrame);
  lStop.SetFrame(pStopFrame);
  fbsdk_host::State().loopStart = lStart;
  fbsdk_host::State().loopStop = lStop;
}

void Host::SetSystemTimeMs(long long pMs) {
  fbsdk_host::State().manualClock = true;
  fbsdk_host::State().manualSystemTime.SetMilliSeconds(pMs);
}

void Host::SetRendererPresent(bool pPresent) {
  fbsdk_host::State().renderer = pPresent ? mRenderer.get() : nullptr;
}

NamedRendererCallback* Host::AddRendererCallback(const std::string& pName) {
  mCallbacks.emplace_back(new NamedRendererCallback(pName.c_str()));
  mRenderer->RendererCallbacks.Add(mCallbacks.back().get());
  return mCallbacks.back().get();
}

Pane& Host::AddPane(int pWidth, int pHeight, FBCamera* pCamera, bool pDepth) {
  mPanes.emplace_back(new Pane(pWidth, pHeight, pCamera ? pCamera : mRenderer->CurrentCamera.GetPropertyValue(),
                               static_cast<int>(mPanes.size()), pDepth));
  return *mPanes.back();
}

Pane& Host::DrawPane(Pane& pPane) {
  pPane.Draw(HUDElements(), mRoad->DrawsPanes() ? mRoad.get() : nullptr);
  return pPane;
}

}  // namespace vthost

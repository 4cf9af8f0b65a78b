#include "renderer_road.h"

#include <cstring>

#include "host.h"
#include "vantor.h"

namespace vthost {

namespace {
const char* const kRendererCallbackName = "VantorRendererCallback";
}

RendererRoad::RendererRoad(Host& pHost) : mHost(pHost), mRenderer(new vantor::Renderer) {}

RendererRoad::~RendererRoad() = default;

bool RendererRoad::Attach(PluginLibrary& pPlugin, std::string& pError, const std::string& pLibraryName) {
  if (pLibraryName.empty()) return mRenderer->attach(pPlugin.Handle(), &pError);
  return mRenderer->attach(pPlugin.Handle(), pLibraryName, &pError);
}

bool RendererRoad::Attached() const { return mRenderer->callbacks() != nullptr; }

void RendererRoad::SelectRendererCallback() {
  FBRenderer& lRenderer = mHost.Renderer();
  FBRendererCallback* lCurrent = lRenderer.RendererCallbacks[mCallbackIndex];
  if (!lCurrent || std::strcmp(lCurrent->GetCallbackName(), kRendererCallbackName) != 0) {
    mCallbackIndex = -1;
    for (int i = 0; i < lRenderer.RendererCallbacks.GetCount(); ++i)
      if (std::strcmp(lRenderer.RendererCallbacks[i]->GetCallbackName(), kRendererCallbackName) == 0)
        mCallbackIndex = i;
    if (mCallbackIndex < 0) {
      mHost.AddRendererCallback(kRendererCallbackName);
      mCallbackIndex = lRenderer.RendererCallbacks.GetCount() - 1;
    }
  }
  mHost.SetCurrentPaneCallbackIndex(mCallbackIndex);
}

void RendererRoad::SelectViewer() { mHost.SetCurrentPaneCallbackIndex(-1); }

bool RendererRoad::Connect() {
  if (!mRenderer->connect()) return false;
  mConnected = true;
  return true;
}

bool RendererRoad::Disconnect() {
  if (!mRenderer->disconnect()) return false;
  mConnected = false;
  return true;
}

bool RendererRoad::Open(PluginLibrary& pPlugin, std::string& pError) {
  if (!Attach(pPlugin, pError)) return false;
  SelectRendererCallback();
  return Connect();
}

void RendererRoad::Close() {
  if (mConnected) Disconnect();
  SelectViewer();
}

bool RendererRoad::DrawsPanes() const {
  if (!mConnected || !Attached()) return false;
  FBRenderer* lRenderer = fbsdk_host::State().renderer;
  if (!lRenderer) return false;
  FBRendererCallback* lCallback = lRenderer->RendererCallbacks[lRenderer->CurrentPaneCallbackIndex];
  return lCallback && std::strcmp(lCallback->GetCallbackName(), kRendererCallbackName) == 0;
}

bool RendererRoad::Frame(unsigned pFramebuffer, int pWidth, int pHeight, const Image& pBackground) {
  if (pBackground.rgba.empty())
    mRenderer->setBackgroundColour(0.0f, 0.0f, 0.0f, 0.0f);
  else
    mRenderer->setBackgroundPicture(pBackground.width, pBackground.height, pBackground.rgba);
  mLastFrameError.clear();
  return mRenderer->frame(pFramebuffer, pWidth, pHeight, &mLastFrameError);
}

}  // namespace vthost

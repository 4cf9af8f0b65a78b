#ifndef VTHOST_HOST_H
#define VTHOST_HOST_H
// The stand-in host application: loads plug-ins as the host does, creates and
// destroys their objects, owns the scene (cameras, takes, objects, transport,
// renderer) and viewer panes that draw HUD elements into their own framebuffer.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>

#include "png_image.h"
#include "renderer_road.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vthost {

// A loaded plug-in shared object.
class PluginLibrary {
 public:
  ~PluginLibrary();
  // Loads the object (its load-time constructors run), then calls LIBRARY_INIT.
  static std::unique_ptr<PluginLibrary> Load(const std::string& pPath, std::string& pError);
  // The address of an exported symbol, or null.
  void* Symbol(const char* pName) const;
  void* Handle() const { return mHandle; }
  const std::string& Path() const { return mPath; }
  // The classes this library registered while it loaded.
  const std::vector<fbsdk_host::RegisteredClass>& Classes() const { return mClasses; }
  // Runs the unload-time destructors; the object's code is gone afterwards.
  void Unload();

 private:
  void* mHandle = nullptr;
  std::string mPath;
  std::vector<fbsdk_host::RegisteredClass> mClasses;
};

// A renderer callback of the host, known by its name.
class NamedRendererCallback : public FBRendererCallback {
 public:
  explicit NamedRendererCallback(const char* pName) : FBRendererCallback(pName), mCallbackName(pName) {}
  const char* GetCallbackName() const override { return mCallbackName.c_str(); }
  const char* GetCallbackDesc() const override { return mCallbackName.c_str(); }

 private:
  std::string mCallbackName;
};

// A plain scene object that carries custom properties.
class SceneObject : public FBBox {
 public:
  explicit SceneObject(const char* pName) : FBBox(pName) {}
};

class Pane {
 public:
  // pDepth false: no depth buffer, for a pane that shows no scene (a
  // picture at most): only a scene's draws fill depth, and HUD elements draw
  // with depth testing off.
  Pane(int pWidth, int pHeight, FBCamera* pCamera, int pIndex, bool pDepth = true);
  ~Pane();
  Pane(const Pane&) = delete;
  Pane& operator=(const Pane&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  unsigned Framebuffer() const { return mFramebuffer; }
  void SetCamera(FBCamera* pCamera) { mCamera = pCamera; }
  FBCamera* Camera() const { return mCamera; }
  // A picture shown behind the HUD, as the scene would be; empty for none.
  void SetBackground(const Image& pImage) { mBackground = pImage; }
  // The same without a copy: pImage takes the picture shown until now.
  void SwapBackground(Image& pImage) { std::swap(mBackground, pImage); }
  const Image& Background() const { return mBackground; }
  // One redraw: bind and clear the pane's framebuffer to transparent black,
  // raise the render-pipeline event before and after, and for every shown HUD
  // element ask its intrinsic size and call DrawElement with the pane's camera.
  // With a renderer road, the renderer's frame draws the scene first (see
  // renderer_road.h). Leaves the pane's framebuffer bound.
  void Draw(const std::vector<FBHUDElement*>& pElements, RendererRoad* pRoad = nullptr);
  Image ReadPixels() const;
  // Intrinsic sizes reported on the last draw, one per element drawn.
  const std::vector<std::pair<int, int>>& LastIntrinsicSizes() const { return mIntrinsic; }

 private:
  int mWidth, mHeight, mIndex;
  FBCamera* mCamera;
  unsigned mFramebuffer = 0, mColor = 0, mDepth = 0;
  Image mBackground;
  std::vector<std::pair<int, int>> mIntrinsic;
};

class Host {
 public:
  Host();
  ~Host();

  // Plug-ins.
  PluginLibrary* LoadPlugin(const std::string& pPath, std::string& pError);
  std::vector<fbsdk_host::RegisteredClass> Classes() const { return fbsdk_host::Registry(); }
  // Creates an object of a registered class through its create function.
  FBComponent* Create(const std::string& pEntryName, const std::string& pName, std::string& pError);
  // Takes over an object created elsewhere (a loaded scene's), appended to
  // Objects() and destroyed like the host's own; null or known objects are ignored.
  void Adopt(FBComponent* pObject);
  // FBDestroy, then the object is deleted.
  void Destroy(FBComponent* pObject);
  void DestroyAll();
  std::vector<FBHUDElement*> HUDElements() const;

  // Scene.
  FBCamera* AddCamera(const std::string& pName);
  FBTake* AddTake(const std::string& pName);
  const std::vector<std::unique_ptr<FBTake>>& Takes() const { return mTakes; }
  void SetCurrentTake(FBTake* pTake) { fbsdk_host::State().currentTake = pTake; }
  SceneObject* AddObject(const std::string& pName);
  // Objects in creation order: created plug-in objects and scene objects.
  const std::vector<FBComponent*>& Objects() const { return mObjects; }
  FBComponent* FindObject(const std::string& pName) const;
  FBCamera* FindCamera(const std::string& pName) const;
  const std::vector<std::unique_ptr<FBCamera>>& Cameras() const { return mCameras; }

  // Transport and time.
  void SetTimeMode(FBTimeMode pMode) { fbsdk_host::State().sceneTimeMode = pMode; }
  void SetFrame(long long pFrame);
  void SetLoop(long long pStartFrame, long long pStopFrame);
  void SetRecording(bool pOn) { fbsdk_host::State().recording = pOn; }
  void SetPlaying(bool pOn) { fbsdk_host::State().playing = pOn; }
  void SetSystemTimeMs(long long pMs);

  // Renderer.
  FBRenderer& Renderer() { return *mRenderer; }
  // Without a current renderer FBSystem::Renderer reads null.
  void SetRendererPresent(bool pPresent);
  NamedRendererCallback* AddRendererCallback(const std::string& pName);
  void SetCurrentPaneCallbackIndex(int pIndex) { mRenderer->CurrentPaneCallbackIndex = pIndex; }

  // Viewer panes draw every shown HUD element that the host created; through
  // the renderer when Road().DrawsPanes().
  Pane& AddPane(int pWidth, int pHeight, FBCamera* pCamera, bool pDepth = true);
  Pane& DrawPane(Pane& pPane);
  RendererRoad& Road() { return *mRoad; }

 private:
  std::vector<std::unique_ptr<PluginLibrary>> mLibraries;
  std::unique_ptr<FBRenderer> mRenderer;
  std::vector<std::unique_ptr<FBCamera>> mCameras;
  std::vector<std::unique_ptr<FBTake>> mTakes;
  std::vector<std::unique_ptr<NamedRendererCallback>> mCallbacks;
  std::vector<std::unique_ptr<Pane>> mPanes;
  std::vector<FBComponent*> mObjects;   // owned: destroyed by Destroy
  std::unique_ptr<RendererRoad> mRoad;  // outlives the objects, which may release renderer entities
};

}  // namespace vthost

#endif

#ifndef FBSDK_FBSYSTEM_H
#define FBSDK_FBSYSTEM_H
// The host system: scene time and clocks, takes, the renderer and its cameras,
// the transport, the evaluation pipeline and the events plug-ins listen to.
#include <fbsdk/fbcomponent.h>

namespace ORSDK2016 {

class FBCamera;
class FBRenderer;
class FBTake;
class FBRendererCallback;
class FBRenderOptions;

enum FBCameraApertureMode {
  kFBApertureVertical,
  kFBApertureHorizontal,
  kFBApertureVertHoriz,
  kFBApertureFocalLength
};

class FBSDK_DLL FBCamera : public FBBox {
  FBClassDeclare(FBCamera, FBBox);

 public:
  explicit FBCamera(const char* pName, HIObject pObject = nullptr);

  FBPropertyDouble ResolutionWidth;  // output resolution, pixels
  FBPropertyDouble ResolutionHeight;
  FBPropertyDouble FilmSizeWidth;  // film back, inches
  FBPropertyDouble FilmSizeHeight;
  FBPropertyInt ApertureMode;               // an FBCameraApertureMode value
  FBPropertyAnimatableDouble FieldOfView;   // degrees
  FBPropertyAnimatableDouble FieldOfViewX;  // horizontal, degrees
  FBPropertyAnimatableDouble FocalLength;   // millimetres
  FBPropertyAnimatableDouble FStop;
  FBPropertyAnimatableDouble FocusSpecificDistance;  // centimetres
  FBPropertyBool ShowCrosshair;
  FBPropertyBool ShowOpticalCenter;
};

class FBSDK_DLL FBTake : public FBComponent {
  FBClassDeclare(FBTake, FBComponent);

 public:
  explicit FBTake(const char* pName, HIObject pObject = nullptr);
};

// A renderer callback names itself; the renderer keeps a list of them and
// the index of the one that draws the current pane.
class FBSDK_DLL FBRendererCallback : public FBComponent {
  FBClassDeclare(FBRendererCallback, FBComponent);

 public:
  explicit FBRendererCallback(const char* pName, HIObject pObject = nullptr);
  virtual const char* GetCallbackName() const = 0;
  virtual const char* GetCallbackDesc() const = 0;
  virtual void Render(FBRenderOptions* pRenderOptions) {}
  virtual void Attach() {}
  virtual void Detach() {}
};

class FBSDK_DLL FBPropertyListRendererCallback : public FBPropertyBasicList {
 public:
  FBPropertyType GetPropertyType() const override { return kFBPT_object; }
  int Add(FBRendererCallback* pCallback);
  int GetCount() override { return static_cast<int>(mCallbacks.size()); }
  void RemoveAt(int pIndex) override;
  // Null for an index outside the list.
  FBRendererCallback* operator[](int pIndex);

 private:
  std::vector<FBRendererCallback*> mCallbacks;
};

class FBSDK_DLL FBRenderer : public FBComponent {
  FBClassDeclare(FBRenderer, FBComponent);

 public:
  explicit FBRenderer(HIObject pObject = nullptr);

  FBPropertyBase<FBCamera*, kFBPT_object> CurrentCamera;
  FBPropertyListRendererCallback RendererCallbacks;
  // Index into RendererCallbacks of the callback drawing the current pane; -1 for the host's own.
  FBPropertyInt CurrentPaneCallbackIndex;
  // Which of that callback's preference settings the current pane uses.
  FBPropertyInt CurrentPaneCallbackPrefIndex;
};

class FBSDK_DLL FBViewingOptions {
 public:
  FBViewingOptions(FBCamera* pCamera = nullptr, int pPaneIndex = 0) : mCamera(pCamera), mPaneIndex(pPaneIndex) {}
  FBCamera* GetViewingCamera() { return mCamera; }
  int PaneIndex() const { return mPaneIndex; }

 private:
  FBCamera* mCamera;
  int mPaneIndex;
};

// The transport. Every instance shows the one transport of the scene.
class FBSDK_DLL FBPlayerControl : public FBComponent {
  FBClassDeclare(FBPlayerControl, FBComponent);

 public:
  FBPlayerControl();
  FBPropertyTime LoopStart;
  FBPropertyTime LoopStop;
  FBPropertyBool IsRecording;
  FBPropertyBool IsPlaying;
  bool Goto(FBTime pTime);
  bool Play();
  bool Stop();
  bool Record(bool pState = true);
};

enum FBGlobalEvalCallbackTiming {
  kFBGlobalEvalCallbackBeforeDAG,
  kFBGlobalEvalCallbackAfterDAG,
  kFBGlobalEvalCallbackAfterDeform,
  kFBGlobalEvalCallbackSyn,
  kFBGlobalEvalCallbackBeforeRender,  // right after the back buffer is cleared
  kFBGlobalEvalCallbackAfterRender,   // just before the swap
  kFBGlobalEvalCallbackBeforePlottingFrame,
  kFBGlobalEvalCallbackAfterPlottingFrame
};

class FBSDK_DLL FBPropertyEventCallbackRenderPipeline : public FBPropertyEvent {
 public:
  FBPropertyEventCallbackRenderPipeline();
};

class FBSDK_DLL FBPropertyEventConnectionNotify : public FBPropertyEvent {
 public:
  FBPropertyEventConnectionNotify();
};

class FBSDK_DLL FBEvaluateManager : public FBComponent {
  FBClassDeclare(FBEvaluateManager, FBComponent);

 public:
  static FBEvaluateManager& TheOne();
  FBPropertyEventCallbackRenderPipeline OnRenderingPipelineEvent;

 private:
  FBEvaluateManager();
};

// A read-only value carried by an event.
template <class T>
class FBEventValue {
 public:
  FBEventValue(T pValue = T()) : mValue(pValue) {}
  operator T() const { return mValue; }

 private:
  T mValue;
};

class FBSDK_DLL FBEvent {
 public:
  explicit FBEvent(HKEventBase pEvent) : mEvent(pEvent) {}

 protected:
  HKEventBase mEvent;
};

class FBSDK_DLL FBEventEvalGlobalCallback : public FBEvent {
 public:
  explicit FBEventEvalGlobalCallback(HKEventBase pEvent);
  FBGlobalEvalCallbackTiming GetTiming() const { return mTiming; }

 private:
  FBGlobalEvalCallbackTiming mTiming;
};

class FBSDK_DLL FBEventConnectionNotify : public FBEvent {
 public:
  explicit FBEventConnectionNotify(HKEventBase pEvent);
  FBEventValue<FBConnectionAction> Action;
  FBEventValue<int> SrcIndex;
  FBEventValue<FBConnectionType> ConnectionType;
  FBEventValue<FBPlug*> SrcPlug;
  FBEventValue<FBPlug*> DstPlug;
  FBEventValue<FBPlug*> NewPlug;
};

// The system. Every instance is a view of the one host.
class FBSDK_DLL FBSystem : public FBComponent {
  FBClassDeclare(FBSystem, FBComponent);

 public:
  FBSystem();
  static FBSystem& TheOne();

  FBPropertyTime LocalTime;   // the scene's current time
  FBPropertyTime SystemTime;  // the host's real-time clock
  FBPropertyBase<FBTake*, kFBPT_object> CurrentTake;
  FBPropertyBase<FBRenderer*, kFBPT_object> Renderer;
  FBPropertyEventConnectionNotify OnConnectionNotify;
};

}  // namespace ORSDK2016

#endif

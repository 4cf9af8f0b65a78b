// The system, renderer, cameras, takes, transport and evaluation pipeline.
// Their values live in the application's state, which every instance shows.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>

namespace ORSDK2016 {

FBClassImplementation(FBCamera) FBClassImplementation(FBTake) FBClassImplementation(FBRendererCallback)
    FBClassImplementation(FBRenderer) FBClassImplementation(FBPlayerControl)
        FBClassImplementation(FBEvaluateManager) FBClassImplementation(FBSystem)

            namespace {
  template <class P>
  void Publish(FBComponent * pOwner, P & pProperty, const char* pName) {
    pProperty.CreateInternal(pOwner, pName);
    pOwner->PropertyAdd(&pProperty);
  }
}  // namespace

FBCamera::FBCamera(const char* pName, HIObject pObject) : FBBox(pName, pObject) {
  Publish(this, ResolutionWidth, "ResolutionWidth");
  Publish(this, ResolutionHeight, "ResolutionHeight");
  Publish(this, FilmSizeWidth, "FilmSizeWidth");
  Publish(this, FilmSizeHeight, "FilmSizeHeight");
  Publish(this, ApertureMode, "ApertureMode");
  double lFov = 40.0, lFovX = 40.0, lFocal = 35.0, lFStop = 5.6, lFocus = 100.0;
  FieldOfView.Init(this, "FieldOfView", "Number", &lFov);
  FieldOfViewX.Init(this, "FieldOfViewX", "Number", &lFovX);
  FocalLength.Init(this, "FocalLength", "Number", &lFocal);
  FStop.Init(this, "FStop", "Number", &lFStop);
  FocusSpecificDistance.Init(this, "FocusSpecificDistance", "Number", &lFocus);
  Publish(this, ShowCrosshair, "ShowCrosshair");
  Publish(this, ShowOpticalCenter, "ShowOpticalCenter");
  ResolutionWidth = 1920.0;
  ResolutionHeight = 1080.0;
  FilmSizeWidth = 0.816;
  FilmSizeHeight = 0.612;
  ApertureMode = kFBApertureVertical;
  ShowCrosshair = true;
  ShowOpticalCenter = true;
}

FBTake::FBTake(const char* pName, HIObject pObject) : FBComponent(pObject) { Name = pName; }

FBRendererCallback::FBRendererCallback(const char* pName, HIObject pObject) : FBComponent(pObject) {
  Name = pName;
}

int FBPropertyListRendererCallback::Add(FBRendererCallback* pCallback) {
  mCallbacks.push_back(pCallback);
  return GetCount() - 1;
}
void FBPropertyListRendererCallback::RemoveAt(int pIndex) {
  if (pIndex >= 0 && pIndex < GetCount()) mCallbacks.erase(mCallbacks.begin() + pIndex);
}
FBRendererCallback* FBPropertyListRendererCallback::operator[](int pIndex) {
  return pIndex >= 0 && pIndex < GetCount() ? mCallbacks[static_cast<size_t>(pIndex)] : nullptr;
}

FBRenderer::FBRenderer(HIObject pObject) : FBComponent(pObject) {
  Name = "Renderer";
  Publish(this, CurrentCamera, "CurrentCamera");
  Publish(this, RendererCallbacks, "RendererCallbacks");
  Publish(this, CurrentPaneCallbackIndex, "CurrentPaneCallbackIndex");
  Publish(this, CurrentPaneCallbackPrefIndex, "CurrentPaneCallbackPrefIndex");
  CurrentPaneCallbackIndex = -1;
  CurrentPaneCallbackPrefIndex = 0;
}

namespace {
using fbsdk_host::State;
FBTime GetLoopStart(void*) { return State().loopStart; }
void SetLoopStart(void*, FBTime pTime) { State().loopStart = pTime; }
FBTime GetLoopStop(void*) { return State().loopStop; }
void SetLoopStop(void*, FBTime pTime) { State().loopStop = pTime; }
bool GetRecording(void*) { return State().recording; }
void SetRecording(void*, bool pValue) { State().recording = pValue; }
bool GetPlaying(void*) { return State().playing; }
void SetPlaying(void*, bool pValue) { State().playing = pValue; }
FBTime GetLocalTime(void*) { return State().sceneTime; }
void SetLocalTime(void*, FBTime pTime) { State().sceneTime = pTime; }
FBTime GetSystemTime(void*) { return fbsdk_host::SystemClockNow(); }
FBTake* GetCurrentTake(void*) { return State().currentTake; }
void SetCurrentTake(void*, FBTake* pTake) { State().currentTake = pTake; }
FBRenderer* GetRenderer(void*) { return State().renderer; }
}  // namespace

// Plug-ins make a player control for every use, often every frame: it is a
// view of the transport whose properties are not published, so making one
// costs no allocation.
FBPlayerControl::FBPlayerControl() : FBComponent(nullptr) {
  LoopStart.Init(this, "LoopStart", &GetLoopStart, &SetLoopStart);
  LoopStop.Init(this, "LoopStop", &GetLoopStop, &SetLoopStop);
  IsRecording.Init(this, "IsRecording", &GetRecording, &SetRecording);
  IsPlaying.Init(this, "IsPlaying", &GetPlaying, &SetPlaying);
}
bool FBPlayerControl::Goto(FBTime pTime) {
  State().sceneTime = pTime;
  return true;
}
bool FBPlayerControl::Play() {
  State().playing = true;
  return true;
}
bool FBPlayerControl::Stop() {
  State().playing = false;
  State().recording = false;
  return true;
}
bool FBPlayerControl::Record(bool pState) {
  State().recording = pState;
  return true;
}

FBPropertyEventCallbackRenderPipeline::FBPropertyEventCallbackRenderPipeline() {
  ShareSubscribers(fbsdk_host::RenderPipelineSubscribers());
}
FBPropertyEventConnectionNotify::FBPropertyEventConnectionNotify() {
  ShareSubscribers(fbsdk_host::ConnectionNotifySubscribers());
}

FBEvaluateManager::FBEvaluateManager() : FBComponent(nullptr) {
  Name = "EvaluateManager";
  Publish(this, OnRenderingPipelineEvent, "OnRenderingPipelineEvent");
}
FBEvaluateManager& FBEvaluateManager::TheOne() {
  // Lives to the end of the process; not from the component allocator, so not a plug-in leak.
  static FBEvaluateManager* sManager = ::new FBEvaluateManager;
  return *sManager;
}

FBEventEvalGlobalCallback::FBEventEvalGlobalCallback(HKEventBase pEvent)
    : FBEvent(pEvent), mTiming(kFBGlobalEvalCallbackBeforeDAG) {
  if (auto* lEvent = dynamic_cast<KEventEvalGlobal*>(pEvent)) mTiming = lEvent->timing;
}

FBEventConnectionNotify::FBEventConnectionNotify(HKEventBase pEvent) : FBEvent(pEvent) {
  if (auto* lEvent = dynamic_cast<KEventConnectionNotify*>(pEvent)) {
    Action = lEvent->action;
    SrcIndex = lEvent->srcIndex;
    ConnectionType = lEvent->connectionType;
    SrcPlug = lEvent->src;
    DstPlug = lEvent->dst;
    NewPlug = lEvent->newPlug;
  }
}

FBSystem::FBSystem() : FBComponent(nullptr) {
  Name = "System";
  Publish(this, LocalTime, "LocalTime");
  Publish(this, SystemTime, "SystemTime");
  Publish(this, CurrentTake, "CurrentTake");
  Publish(this, Renderer, "Renderer");
  Publish(this, OnConnectionNotify, "OnConnectionNotify");
  LocalTime.Init(this, "LocalTime", &GetLocalTime, &SetLocalTime);
  SystemTime.Init(this, "SystemTime", &GetSystemTime);
  CurrentTake.Init(this, "CurrentTake", &GetCurrentTake, &SetCurrentTake);
  Renderer.Init(this, "Renderer", &GetRenderer);
}
FBSystem& FBSystem::TheOne() {
  // Lives to the end of the process; not from the component allocator, so not a plug-in leak.
  static FBSystem* sSystem = ::new FBSystem;
  return *sSystem;
}

}  // namespace ORSDK2016

namespace fbsdk_host {

HostState& State() {
  static HostState sState;
  return sState;
}

void ResetState() {
  State() = HostState();
  ConnectionNotifySubscribers()->entries.clear();
  RenderPipelineSubscribers()->entries.clear();
}

FBTime SystemClockNow() {
  const HostState& lState = State();
  if (lState.manualClock) return lState.manualSystemTime;
  auto lElapsed = std::chrono::steady_clock::now() - lState.clockStart;
  auto lMicro = std::chrono::duration_cast<std::chrono::microseconds>(lElapsed).count();
  return FBTime(static_cast<kLongLong>(lMicro) * (FBTime::kTicksPerMilliSecond / 1000));
}

std::shared_ptr<FBEventSubscribers> ConnectionNotifySubscribers() {
  static auto sSubscribers = std::make_shared<FBEventSubscribers>();
  return sSubscribers;
}
std::shared_ptr<FBEventSubscribers> RenderPipelineSubscribers() {
  static auto sSubscribers = std::make_shared<FBEventSubscribers>();
  return sSubscribers;
}

void FireRenderPipeline(FBGlobalEvalCallbackTiming pTiming) {
  KEventEvalGlobal lEvent;
  lEvent.timing = pTiming;
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Fire(&lEvent);
}

}  // namespace fbsdk_host

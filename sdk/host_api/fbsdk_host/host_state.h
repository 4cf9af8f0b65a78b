#ifndef FBSDK_HOST_HOST_STATE_H
#define FBSDK_HOST_HOST_STATE_H
// The application side of the SDK: state that the host application owns and
// that SDK objects read (scene time, transport, renderer, takes, clocks), the
// class registry, and the events the application raises. Plug-ins never see this.
#include <fbsdk/fbsdk.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ORSDK2016 {

class FBEventSubscribers {
 public:
  struct Entry {
    HICallback owner;
    kICallbackHandler handler;
  };
  std::vector<Entry> entries;
};

// Event payloads behind HKEventBase.
struct KEventConnectionNotify : KEventBase {
  FBConnectionAction action = kFBConnectedSrc;
  int srcIndex = 0;
  FBConnectionType connectionType = kFBConnectionTypeNone;
  FBPlug* src = nullptr;
  FBPlug* dst = nullptr;
  FBPlug* newPlug = nullptr;
};
struct KEventEvalGlobal : KEventBase {
  FBGlobalEvalCallbackTiming timing = kFBGlobalEvalCallbackBeforeRender;
};

}  // namespace ORSDK2016

namespace fbsdk_host {
using namespace ORSDK2016;

struct RegisteredClass {
  std::string group;
  std::string entry;
  std::string description;
  kFBObjectCreateFunc create = nullptr;
  bool storable = false;
  std::string icon;  // empty when registered with a null icon
  bool iconNull = true;
};

// Every FBObject_Register call, in order.
FBSDK_DLL std::vector<RegisteredClass>& Registry();
// When set, FBObject_Register throws std::runtime_error (to test a failing registration).
FBSDK_DLL void SetRegistrationFailure(bool pFail);

struct HostState {
  FBTime sceneTime;
  FBTimeMode sceneTimeMode = kFBTimeMode30Frames;
  FBTime loopStart;
  FBTime loopStop = FBTime(0, 0, 10, 0, 0, kFBTimeMode30Frames);
  bool recording = false;
  bool playing = false;
  FBTake* currentTake = nullptr;
  FBRenderer* renderer = nullptr;  // null: the host has no current renderer
  // The system clock runs in real time unless a test sets it by hand.
  bool manualClock = false;
  FBTime manualSystemTime;
  std::chrono::steady_clock::time_point clockStart = std::chrono::steady_clock::now();
};

FBSDK_DLL HostState& State();
// Back to a fresh application: state, events and the renderer's callback list.
FBSDK_DLL void ResetState();
FBSDK_DLL FBTime SystemClockNow();

FBSDK_DLL std::shared_ptr<FBEventSubscribers> ConnectionNotifySubscribers();
FBSDK_DLL std::shared_ptr<FBEventSubscribers> RenderPipelineSubscribers();
FBSDK_DLL void FireRenderPipeline(FBGlobalEvalCallbackTiming pTiming);

}  // namespace fbsdk_host

#endif

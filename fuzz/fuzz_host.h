#ifndef VTHUD_FUZZ_HOST_H
#define VTHUD_FUZZ_HOST_H
// What every fuzzer drives: one headless GL context, the stand-in host with
// both plug-ins loaded, one HUD element with every field of the overlay
// switched on, one frame lines element over it with every switch on, and a
// small pane to draw them in.
#include <memory>
#include <string>

#include "host.h"

namespace vthud_fuzz {

struct FuzzHost {
  std::unique_ptr<vthost::Host> host;
  FBHUDElement* element = nullptr;
  FBHUDElement* lines = nullptr;
  vthost::Pane* pane = nullptr;

  // Built on first use; any failure to build it aborts the fuzzer.
  static FuzzHost& Get();
  void Draw();
  // The host's two elements again, after a scene was loaded back.
  void FindElements();
};

// Everything a loaded scene could change: each object's class, name and
// every property's text and animated flag; with the cameras and the current
// take when asked. One object alone is what a layout could change.
std::string Snapshot(const vthost::Host& pHost, bool pWithCameras);
std::string Snapshot(FBComponent* pObject);

// Prints the message and aborts, so libFuzzer records the input.
[[noreturn]] void Fail(const std::string& pMessage);

}  // namespace vthud_fuzz

#endif

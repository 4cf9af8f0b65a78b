#ifndef VTHUD_TOOLS_SESSION_H
#define VTHUD_TOOLS_SESSION_H
// One invocation of the tool as a few named steps, in order: open the inputs,
// make the host and its elements, apply the settings, prepare the take, run.
// Each step checks what it opens and stops at the first failure with a
// one-line message; nothing is drawn or written before the run.
#include <fbsdk/fbsdk.h>

#include <memory>
#include <string>
#include <vector>

#include "background.h"
#include "draw_plan.h"
#include "frame_sink.h"
#include "headless_gl.h"
#include "host.h"
#include "live_run.h"
#include "run_options.h"
#include "tracking_driver.h"

namespace vthud_tool {

// What the steps open and make. Members are destroyed in reverse order, so
// the host (and its elements) goes before the GL context it draws with.
struct Session {
  DrawPlan plan;
  Tracking tracking;
  LiveRun live;  // --tracking udp://...
  Background background;
  VideoSettings video;
  std::unique_ptr<FrameSink> sink;
  vthost::GLPlatform platform;
  vthost::HeadlessGL gl;
  vthost::Host host;
  vthost::PluginLibrary* plugin = nullptr;
  vthost::PluginLibrary* linesPlugin = nullptr;
  FBComponent* element = nullptr;
  FBComponent* lines = nullptr;  // the frame lines' element, with --frame-lines
  std::vector<FBComponent*> elements;
  FBCamera* camera = nullptr;
};

// The draw plan, the tracking recording, the background and, unless the run
// only lists or checks, the frame sink. Resolves "from-background" timecode
// sources in pOptions to the plate's own timecode. pResources: the tool's
// compiled-in resources (its test picture).
bool OpenInputs(Options& pOptions, const std::string& pResources, Session& pSession, std::string& pError);

// A GL context, the host with the transport at the first draw, the plug-ins,
// and the elements: the scene's, or new ones.
bool MakeHost(const Options& pOptions, Session& pSession, std::string& pError);

// Layout, FDL, property settings on the elements and the viewed camera.
bool ApplySettings(const Options& pOptions, Session& pSession, std::string& pError);

// The take, the renderer, the tracking binding and the timecode sources, then
// the scene and layout files asked for.
bool PrepareTake(Options& pOptions, Session& pSession, std::string& pError);

// Draws every frame of the plan into the sink and prints what was written.
// Returns the exit status: 0, 1 on failure (after its message), 130 when
// interrupted.
int Run(const Options& pOptions, Session& pSession);

}  // namespace vthud_tool

#endif

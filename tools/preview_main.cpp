// vthud_preview: loads a HUD plug-in into the stand-in host, creates one
// element and draws it over a frame range into a PNG, an image sequence or a
// video, transparent (or over a background) at 1920 x 1080.
#include <fbsdk/fbsdk.h>

#include <QCoreApplication>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "background.h"
#include "draw_plan.h"
#include "frame_sink.h"
#include "fdl_framing.h"
#include "headless_gl.h"
#include "host.h"
#include "layout_check.h"
#include "options.h"
#include "plugin_location.h"
#include "progress.h"
#include "property_edit.h"
#include "property_listing.h"
#include "scene_file.h"
#include "sequence.h"
#include "timecode_sources.h"
#include "tracking.h"

namespace {

// The tool's own resources, compiled in (tools/vthud_preview.qrc).
const std::string kResources = ":/vthud_preview";

int Fail(const std::string& pMessage) {
  fprintf(stderr, "vthud_preview: %s\n", pMessage.c_str());
  return 1;
}

bool SplitSetting(const std::string& pSetting, std::string& pName, std::string& pValue) {
  const size_t lEquals = pSetting.find('=');
  if (lEquals == std::string::npos) return false;
  pName = pSetting.substr(0, lEquals);
  pValue = pSetting.substr(lEquals + 1);
  return true;
}

// "HH:MM:SS:FF" of a scene frame in the scene's rate, for the video's
// metadata; empty for a negative frame, which no timecode can hold.
std::string StartTimecode(long long pFrame, FBTimeMode pMode) {
  if (pFrame < 0) return std::string();
  FBTime lTime;
  lTime.SetFrame(pFrame, pMode);
  int h = 0, m = 0, s = 0, f = 0, lField = 0, lMs = 0;
  lTime.GetTime(h, m, s, f, lField, lMs, pMode);
  char lText[32];
  snprintf(lText, sizeof lText, "%02d:%02d:%02d:%02d", h % 24, m, s, f);
  return lText;
}

// "from-background" (or "PROPERTY=from-background") starts a timecode source
// at the plate's own timecode, and the output video then carries that
// timecode at its first frame.
bool UsePlateTimecode(std::string& pSource, const vthud_tool::Background& pBackground, long long pFirstFrame,
                      vthud_tool::VideoSettings& pVideo, std::string& pError) {
  const std::string kFrom = "from-background";
  const size_t lEquals = pSource.find('=');
  const std::string lProperty = lEquals == std::string::npos ? "TimeCode" : pSource.substr(0, lEquals);
  if (pSource.substr(lEquals == std::string::npos ? 0 : lEquals + 1) != kFrom) return true;
  std::string lTimecode;
  if (!pBackground.PlateTimecode(pFirstFrame, pVideo.fpsNumerator, pVideo.fpsDenominator, lTimecode, pError))
    return false;
  pSource = lProperty + "=" + lTimecode;
  pVideo.startTimecode = lTimecode;
  return true;
}

std::string JoinIds(const std::vector<std::string>& pIds) {
  std::string lText;
  for (const std::string& lId : pIds) lText += (lText.empty() ? "" : ",") + lId;
  return lText;
}

bool PlanRepeatsFrames(const vthud_tool::DrawPlan& pPlan) {
  for (long long i = 1; i < pPlan.Count(); ++i)
    if (pPlan.At(i).frame <= pPlan.At(i - 1).frame) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Frames are 8 MB: freed ones are kept for reuse rather than given back to
  // the kernel and faulted in, zeroed, on the next (as for the ffmpeg children).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  QCoreApplication lApplication(argc, argv);
  vthud_tool::Options o;
  o.plugin = vthud_tool::PluginPath("libvthudelement.so");
  o.linesPlugin = vthud_tool::PluginPath("libvtframelines.so");
  std::string lError;
  if (!vthud_tool::ParseOptions(std::vector<std::string>(argv, argv + argc), o, lError)) return Fail(lError);
  if (o.help) {
    fputs(vthud_tool::HelpText().c_str(), stdout);
    return 0;
  }
  if (o.version) {
    printf("vthud_preview %s\n", VTHUD_VERSION);
    return 0;
  }
  vthud_tool::DrawPlan lPlan;
  if (!lPlan.Build(o, lError)) return Fail(lError);
  const vthud_tool::DrawState lFirst = lPlan.At(0);
  vthud_tool::Tracking lTracking;
  if (!lTracking.Open(o, lError)) return Fail(lError);

  vthud_tool::Background lBackground;
  if (!lBackground.Open(o.background, kResources + "/quill-hd.png", lError, o.backgroundLut)) return Fail(lError);
  vthud_tool::VideoSettings lVideo;
  {
    kLongLong lNum = 30, lDen = 1;
    FBTime::GetFrameRate(o.timeMode, lNum, lDen);
    lVideo.fpsNumerator = static_cast<int>(lNum);
    lVideo.fpsDenominator = static_cast<int>(lDen);
    lVideo.startTimecode = StartTimecode(lFirst.frame, o.timeMode);
  }
  const std::pair<std::string*, const char*> lSourceTexts[] = {{&o.characterSource, "--character-source: "},
                                                               {&o.cameraSource, "--camera-source: "}};
  for (const auto& lSource : lSourceTexts)
    if (!UsePlateTimecode(*lSource.first, lBackground, lFirst.frame, lVideo, lError))
      return Fail(lSource.second + lError);
  std::string lWarning;
  if (!lTracking.Match(lPlan, o.cameraSource, lWarning, lError)) return Fail(lError);
  if (!lWarning.empty()) fprintf(stderr, "vthud_preview: %s\n", lWarning.c_str());
  std::unique_ptr<vthud_tool::FrameSink> lSink;
  if (!o.listProperties && !o.checkLayout) {
    lSink = vthud_tool::MakeSink(o.out, lPlan.Count(), PlanRepeatsFrames(lPlan), lVideo, lError);
    if (!lSink) return Fail(lError);
  }

  vthost::GLPlatform lPlatform;
  if (!vthost::PlatformFromEnvironment(lPlatform, lError)) return Fail(lError);
  vthost::HeadlessGL lGL;
  if (!lGL.Create(lPlatform, lError)) return Fail(lError);

  vthost::Host lHost;
  lHost.SetTimeMode(o.timeMode);
  lHost.SetLoop(o.loopStart, o.loopStop);
  // The element is made as the first draw finds the transport, as if it had
  // been in the scene all along.
  lHost.SetFrame(lFirst.frame);
  lHost.SetRecording(lFirst.recording);
  lHost.SetPlaying(lFirst.playing);
  vthost::PluginLibrary* lPlugin = lHost.LoadPlugin(o.plugin, lError);
  if (!lPlugin) return Fail(lError);
  vthost::PluginLibrary* lLinesPlugin = nullptr;
  if (o.frameLines) {
    lLinesPlugin = lHost.LoadPlugin(o.linesPlugin, lError);
    if (!lLinesPlugin) return Fail("--frame-lines: " + lError);
  }

  FBComponent* lElement = nullptr;
  if (!o.scene.empty()) {
    if (!vthost::LoadScene(lHost, o.scene, lError)) return Fail(lError);
    for (FBComponent* lObject : lHost.Objects())
      if (o.className == lObject->ClassName()) {
        lElement = lObject;
        break;
      }
    if (!lElement) return Fail("scene " + o.scene + " holds no " + o.className);
  } else {
    lElement = lHost.Create(o.className, "VT HUD Element", lError);
    if (!lElement) return Fail(lError);
  }
  // The frame lines: the scene's, else a new element made after the HUD's, so drawn over it.
  FBComponent* lLines = nullptr;
  if (o.frameLines) {
    for (FBComponent* lObject : lHost.Objects())
      if (std::string(lObject->ClassName()) == "VTFrameLines" && !lLines) lLines = lObject;
    if (!lLines) lLines = lHost.Create("VTFrameLines", "VT Frame Lines", lError);
    if (!lLines) return Fail("--frame-lines: " + lError);
  }
  std::vector<FBComponent*> lElements{lElement};
  if (lLines) lElements.push_back(lLines);

  FBCamera* lCamera = lHost.Renderer().CurrentCamera;
  if (!o.layout.empty() && !vthost::ApplyLayout(lElements, o.layout, lError)) return Fail(lError);
  if (!o.fdl.empty()) {
    vthost::Framing lFraming;
    if (!vthost::ApplyFdl(lElement, o.fdl, o.framing, lFraming, lError)) return Fail(lError);
    printf("%s\n", vthost::DescribeFraming(lFraming).c_str());
    lWarning = lTracking.FdlWarning(o.fdl, o.framing);
    if (!lWarning.empty()) fprintf(stderr, "vthud_preview: %s\n", lWarning.c_str());
  }
  std::string lName, lValue;
  for (const std::string& lSet : o.sets)
    if (!SplitSetting(lSet, lName, lValue) || !vthost::SetPropertyFromText(lElement, lName, lValue, lError))
      return Fail(lError);
  if (lLines) {
    if (!o.fdl.empty() && (!vthost::SetPropertyFromText(lLines, "FDL File", o.fdl, lError) ||
                           !vthost::SetPropertyFromText(lLines, "Framing Decisions", JoinIds(o.framings), lError)))
      return Fail("--frame-lines: " + lError);
    for (const std::string& lSet : o.linesSets)
      if (!SplitSetting(lSet, lName, lValue) || !vthost::SetPropertyFromText(lLines, lName, lValue, lError))
        return Fail("--lines-set: " + (lError.empty() ? "expects \"Name=value\"" : lError));
  }

  if (!o.cameraName.empty()) lCamera->Name = o.cameraName.c_str();
  for (const auto& lSetting : o.camera)
    if (!vthost::SetPropertyFromText(lCamera, lSetting.first, lSetting.second, lError)) return Fail(lError);
  for (const std::string& lSet : o.cameraSets) {
    if (!SplitSetting(lSet, lName, lValue)) return Fail("--camera-set expects \"Name=value\"");
    const bool lAdds = lCamera->PropertyList.Find(lName.c_str()) == nullptr;
    // Nearest names are taken before the new property exists to be found itself.
    const std::vector<std::string> lNearest =
        lAdds ? vthost::NearestPropertyNames(lCamera, lName) : std::vector<std::string>();
    if (!vthost::SetCameraPropertyFromText(lCamera, lName, lValue, lError)) return Fail("--camera-set: " + lError);
    // Adding is what a gate like "ShowOpticalCenter" needs, and what a typo does: say so.
    if (lAdds) {
      std::string lNote =
          "vthud_preview: --camera-set added the custom property '" + vthost::MessageText(lName) + "'";
      if (!lNearest.empty()) lNote += " (existing names nearest to it: '" + lNearest[0] + "'";
      for (size_t i = 1; i < lNearest.size(); ++i) lNote += ", '" + lNearest[i] + "'";
      if (!lNearest.empty()) lNote += ")";
      fprintf(stderr, "%s\n", lNote.c_str());
    }
  }
  // What the element and the camera hold once every file and setting is applied.
  if (o.listProperties) {
    FBHUDElement lBase("base");
    fputs(vthud_tool::ListProperties(lElement, lBase.PropertyList.GetCount()).c_str(), stdout);
    if (lLines) {
      printf("\nframe lines '%s':\n", static_cast<const char*>(lLines->Name.GetPropertyValue()));
      fputs(vthud_tool::ListProperties(lLines, lBase.PropertyList.GetCount()).c_str(), stdout);
    }
    if (lCamera) {
      printf("\nviewed camera '%s' (--camera-set):\n", static_cast<const char*>(lCamera->Name.GetPropertyValue()));
      fputs(vthud_tool::ListProperties(lCamera, 0).c_str(), stdout);
    }
    return 0;
  }
  if (!o.take.empty()) lHost.SetCurrentTake(lHost.AddTake(o.take));
  if (o.noTake) lHost.SetCurrentTake(nullptr);
  if (o.noCamera) lHost.Renderer().CurrentCamera = nullptr;
  if (o.noRenderer) lHost.SetRendererPresent(false);
  // The recording's first sample is in place for a saved scene or a layout check.
  if (!lTracking.Bind(lHost, lElement, lCamera, o.cameraSource, lError) || !lTracking.Apply(0, lError))
    return Fail(lError);
  // The sources start at the first frame drawn; binding prints the element's diagnostic line.
  const std::pair<const std::string*, vthost::TimecodeSlot> lSources[] = {
      {&o.characterSource, vthost::TimecodeSlot::Character}, {&o.cameraSource, vthost::TimecodeSlot::Camera}};
  for (const auto& lSource : lSources)
    if (!lSource.first->empty() &&
        !vthost::AddTimecodeSource(lHost, lElement, lSource.second, *lSource.first, lError))
      return Fail(std::string(lSource.second == vthost::TimecodeSlot::Character ? "--character-source: "
                                                                                : "--camera-source: ") +
                  lError);

  if (!o.saveScene.empty() && !vthost::SaveScene(lHost, o.saveScene, lError)) return Fail(lError);
  if (!o.saveLayout.empty() && !vthost::SaveLayout(lElements, o.saveLayout, lError)) return Fail(lError);
  if (o.checkLayout) {
    std::vector<vthud_tool::FieldBox> lBoxes;
    if (!vthud_tool::MeasureFields(lElement, kResources,
                                   static_cast<double>(o.clockNumerator) / static_cast<double>(o.clockDenominator),
                                   lBoxes, lError))
      return Fail(lError);
    int lProblems = 0;
    fputs(vthud_tool::CheckBoxes(lBoxes, 1920, 1080, lProblems).c_str(), stdout);
    printf("%zu text fields shown, %d %s\n", lBoxes.size(), lProblems,
           lProblems == 1 ? "problem" : "problems (overlaps or fields off the canvas)");
    return lProblems ? 2 : 0;
  }
  if (o.rendererRoad) {
    if (o.noRenderer) return Fail("--road renderer needs the host's renderer; drop --no-renderer");
    // The HUD's plug-in attaches first, so its texture is composited first.
    if (!lHost.Road().Attach(*lPlugin, lError) || (lLinesPlugin && !lHost.Road().Attach(*lLinesPlugin, lError)))
      return Fail("--road renderer: " + lError);
    lHost.Road().SelectRendererCallback();
    if (!lHost.Road().Connect()) return Fail("--road renderer: the renderer could not connect");
  }

  if (!lSink->Open(lError)) return Fail(lError);
  vthost::Pane& lPane = lHost.AddPane(1920, 1080, lCamera);
  vthud_tool::RunSettings lSettings;
  lSettings.clockNumerator = o.clockNumerator;
  lSettings.clockDenominator = o.clockDenominator;
  lSettings.progress = isatty(STDERR_FILENO) && lPlan.Count() > 1;
  if (o.rendererRoad)
    lSettings.checkDraw = [&lHost](std::string& pError) {
      if (lHost.Road().LastFrameError().empty()) return true;
      pError = "the renderer could not draw: " + lHost.Road().LastFrameError();
      return false;
    };
  if (lTracking.Active())
    lSettings.beforeDraw = [&lTracking](long long pIndex, std::string& pError) {
      return lTracking.Apply(pIndex, pError);
    };
  vthud_tool::InstallStopHandler();
  vthud_tool::RunReport lReport;
  const bool lOk =
      vthud_tool::RunSequence(lHost, lElement, lPane, lPlan, lBackground, lSink.get(), lSettings, lReport, lError);
  lBackground.Close();
  if (o.rendererRoad) lHost.Road().Close();
  const std::string lWhere = lSink->Where(lFirst.frame);
  const std::string lCounted =
      std::to_string(lReport.written) + " of " + std::to_string(lPlan.Count()) + " frames";
  if (!lOk) return Fail(lError + (lReport.written > 0 ? "; " + lCounted + " were written to " + lWhere : ""));
  if (lReport.interrupted) {
    fprintf(stderr, "vthud_preview: interrupted; %s were written to %s\n", lCounted.c_str(), lWhere.c_str());
    return 130;
  }
  if (lPlan.Count() == 1)
    printf("wrote %s (1920 x 1080 RGBA, frame %lld, %s)\n", lWhere.c_str(), lFirst.frame,
           lGL.Description().c_str());
  else
    printf("wrote %lld frames to %s (1920 x 1080, %s)\n", lReport.written, lWhere.c_str(),
           lGL.Description().c_str());
  return 0;
}

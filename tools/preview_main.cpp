// vthud_preview: loads a HUD plug-in into the stand-in host, creates one
// element and draws it over a frame range into a PNG, an image sequence or a
// video, transparent (or over a background) at 1920 x 1080.
#include <fbsdk/fbsdk.h>

#include <QCoreApplication>

#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

#include "layout_check.h"
#include "options.h"
#include "plugin_location.h"
#include "progress.h"
#include "property_listing.h"
#include "show_colour.h"
#include "session.h"
#include "slurm_job.h"
#include "video_parts.h"

namespace {

// The tool's own resources, compiled in (tools/vthud_preview.qrc).
const std::string kResources = ":/vthud_preview";

int Fail(const std::string& pMessage) {
  fprintf(stderr, "vthud_preview: %s\n", pMessage.c_str());
  return 1;
}

// What the element, the frame lines and the camera hold once every file and
// setting is applied.
int ListAll(vthud_tool::Session& s) {
  FBHUDElement lBase("base");
  fputs(vthud_tool::ListProperties(s.element, lBase.PropertyList.GetCount()).c_str(), stdout);
  if (s.lines) {
    printf("\nframe lines '%s':\n", static_cast<const char*>(s.lines->Name.GetPropertyValue()));
    fputs(vthud_tool::ListProperties(s.lines, lBase.PropertyList.GetCount()).c_str(), stdout);
  }
  if (s.camera) {
    printf("\nviewed camera '%s' (--camera-set):\n", static_cast<const char*>(s.camera->Name.GetPropertyValue()));
    fputs(vthud_tool::ListProperties(s.camera, 0).c_str(), stdout);
  }
  return 0;
}

// The text fields' boxes against each other and the canvas; 2 when any overlap
// or leave it.
int CheckLayout(const vthud_tool::Options& o, vthud_tool::Session& s) {
  std::vector<vthud_tool::FieldBox> lBoxes;
  std::string lError;
  if (!vthud_tool::MeasureFields(s.element, kResources,
                                 static_cast<double>(o.clockNumerator) / static_cast<double>(o.clockDenominator),
                                 lBoxes, lError))
    return Fail(lError);
  int lProblems = 0;
  fputs(vthud_tool::CheckBoxes(lBoxes, 1920, 1080, lProblems).c_str(), stdout);
  printf("%zu text fields shown, %d %s\n", lBoxes.size(), lProblems,
         lProblems == 1 ? "problem" : "problems (overlaps or fields off the canvas)");
  return lProblems ? 2 : 0;
}

// Joins a farm run's video parts into its one video.
int Assemble(const vthud_tool::Options& o) {
  std::string lSummary, lError;
  if (!vthud_tool::AssembleParts(o.assembleOut, o.assembleParts, lSummary, lError)) return Fail(lError);
  printf("%s\n", lSummary.c_str());
  return 0;
}

// What the show's colour config holds.
int ListColourspaces(const vthud_tool::Options& o) {
  std::string lList, lError;
  if (!vthud_tool::ListColourConfig(o.ocio, lList, lError)) return Fail(lError);
  fputs(lList.c_str(), stdout);
  return 0;
}

// The run as a Slurm job; its inputs (plan, recording, plates) are checked
// here before anything is submitted.
int SubmitToFarm(vthud_tool::Options& o, vthud_tool::Session& s) {
  std::string lReport, lError;
  if (!vthud_tool::OpenInputs(o, kResources, s, lError) ||
      !vthud_tool::SubmitSlurmJob(o, QCoreApplication::applicationFilePath().toStdString(), lReport, lError))
    return Fail(lError);
  fputs(lReport.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Frames are 8 MB: freed ones are kept for reuse rather than given back to
  // the kernel and faulted in, zeroed, on the next (FFmpeg's in-process frames too).
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
  if (!o.assembleOut.empty()) return Assemble(o);
  if (o.listColorspaces) return ListColourspaces(o);
  vthud_tool::Session s;
  if (!o.farm.empty()) return SubmitToFarm(o, s);
  if (!vthud_tool::OpenInputs(o, kResources, s, lError) || !vthud_tool::MakeHost(o, s, lError) ||
      !vthud_tool::ApplySettings(o, s, lError)) {
    // Stopped while waiting for a feed's sender: an ending asked for, not a failure.
    if (vthud_tool::StopRequested()) {
      fputs("vthud_preview: stopped before the feed came; nothing written\n", stderr);
      return 0;
    }
    return Fail(lError);
  }
  if (o.listProperties) return ListAll(s);
  if (!vthud_tool::PrepareTake(o, s, lError)) return Fail(lError);
  if (o.checkLayout) return CheckLayout(o, s);
  return vthud_tool::Run(o, s);
}

// The show's view alone, as the preview tool applies it to each plate: one
// plate decoded once, then taken to the display and into the canvas again and
// again (OCIO's GPU path, or its CPU processor with VTHUD_OCIO_CPU=1). Prints
// the wall and the CPU time (every thread of the process, the rasteriser's
// included) a frame, for bench/show_colour.sh to set beside ffmpeg's.
//
//   vthud_colour_transform_bench CONFIG PLATE [FRAMES]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "managed_plate.h"
#include "show_colour.h"

namespace {

double CpuSeconds() {
  rusage lUsage{};
  getrusage(RUSAGE_SELF, &lUsage);
  return lUsage.ru_utime.tv_sec + lUsage.ru_stime.tv_sec +
         1e-6 * (lUsage.ru_utime.tv_usec + lUsage.ru_stime.tv_usec);
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int Fail(const std::string& pMessage) {
  fprintf(stderr, "vthud_colour_transform_bench: %s\n", pMessage.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Fail("usage: CONFIG PLATE [FRAMES]");
  const std::string lPlate = argv[2];
  const int lFrames = argc > 3 ? atoi(argv[3]) : 48;
  vthud_tool::ShowColour lColour;
  vthud_tool::PlateLayout lLayout;
  std::string lError;
  vthud_tool::ColourRequest lRequest;
  lRequest.config = argv[1];
  vthud_tool::PictureReader lDecoder;
  if (!lColour.Open(lRequest, lPlate, lError) || !lDecoder.Open(vthud_tool::PictureSource(lPlate), lError) ||
      !vthud_tool::LayoutFromFacts(lDecoder.Facts(), lPlate, false, lLayout, lError))
    return Fail(lError);
  vthud_tool::SetManagedOutput(lDecoder, lLayout);
  std::vector<uint8_t> lRaw;
  vthost::Image lCanvas;
  vthud_tool::AvFramePtr lFrame;
  bool lEnded = false;
  // The first frame also waits for the GPU path to be made; it is not counted.
  if (!lDecoder.Next(lFrame, lEnded, lError) || !vthud_tool::CopyManagedFrame(*lFrame, lLayout, lRaw))
    return Fail("cannot decode " + lPlate + (lError.empty() ? "" : ": " + lError));
  vthud_tool::ManagedToCanvas(lLayout, lColour, lRaw.data(), lCanvas);
  const double lWall = WallSeconds(), lCpu = CpuSeconds();
  for (int i = 0; i < lFrames; ++i) vthud_tool::ManagedToCanvas(lLayout, lColour, lRaw.data(), lCanvas);
  printf("%.1f ms a frame, %.1f ms of CPU a frame (%s, %d frames of %d x %d)\n",
         1e3 * (WallSeconds() - lWall) / lFrames, 1e3 * (CpuSeconds() - lCpu) / lFrames,
         lColour.Describe().c_str(), lFrames, lLayout.width, lLayout.height);
  return 0;
}

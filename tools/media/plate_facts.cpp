#include "plate_facts.h"

#include <cstdio>
#include <cstdlib>

#include "ffmpeg_process.h"

namespace vthud_tool {

namespace {

// "N/D" with both above 0; false for ffprobe's "0/0" of a variable rate.
bool ParseRate(const std::string& pText, int& pNumerator, int& pDenominator) {
  int lNum = 0, lDen = 0;
  char lEnd = 0;
  if (sscanf(pText.c_str(), "%d/%d%c", &lNum, &lDen, &lEnd) != 2 || lNum <= 0 || lDen <= 0) return false;
  pNumerator = lNum;
  pDenominator = lDen;
  return true;
}

}  // namespace

bool ProbePlateFacts(const std::string& pPath, PlateFacts& pFacts, std::string& pError) {
  const std::string lUrl = "file:" + pPath;
  std::string lProbe;
  // The first frame's tags too: some containers carry the timecode there alone.
  if (!RunFfprobe({"-v", "error", "-select_streams", "v:0", "-show_entries",
                   "stream=codec_type,r_frame_rate,nb_frames:stream_tags=timecode:format_tags=timecode:frame_"
                   "tags=timecode",
                   "-read_intervals", "%+#1", "-show_frames", "-of", "default=nw=1", lUrl},
                  lProbe, pError))
    return pError = "cannot read " + pPath + ": " + pError, false;
  if (ProbeValue(lProbe, "codec_type") != "video") return pError = pPath + " holds no video stream", false;
  PlateFacts lFacts;
  ParseRate(ProbeValue(lProbe, "r_frame_rate"), lFacts.rateNumerator, lFacts.rateDenominator);
  lFacts.timecode = ProbeValue(lProbe, "TAG:timecode");
  lFacts.frames = atoll(ProbeValue(lProbe, "nb_frames").c_str());
  if (lFacts.frames <= 0) {
    // MXF and Matroska may not say: count the packets (read, not decoded).
    if (!RunFfprobe({"-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                     "stream=nb_read_packets", "-of", "default=nw=1", lUrl},
                    lProbe, pError))
      return pError = "cannot count the frames of " + pPath + ": " + pError, false;
    lFacts.frames = atoll(ProbeValue(lProbe, "nb_read_packets").c_str());
  }
  pFacts = lFacts;
  return true;
}

}  // namespace vthud_tool

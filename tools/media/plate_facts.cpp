#include "plate_facts.h"

#include <mutex>

#include "av_common.h"
#include "picture_reader.h"

namespace vthud_tool {

namespace {

// The plate last probed: a session asks for its facts, its timecode and its
// rate at several steps, and each probe decodes a frame.
std::mutex gLastMutex;
std::string gLastPath;
PlateFacts gLast;

bool Probe(const std::string& pPath, PlateFacts& pFacts, std::string& pError) {
  // The first frame's own timecode comes first (some streams carry it there alone), then the container's.
  StreamFacts lStream;
  PlateFacts lFacts;
  if (!FirstTimecode(VideoSource(pPath), lStream, lFacts.timecode, pError)) return false;
  // A variable rate has none: 0/0.
  if (lStream.rate.num > 0 && lStream.rate.den > 0) {
    lFacts.rateNumerator = lStream.rate.num;
    lFacts.rateDenominator = lStream.rate.den;
  }
  lFacts.frames = lStream.frames;
  if (lFacts.frames <= 0) {
    // MXF and Matroska may not say: count the packets (read, not decoded).
    AvInputPtr lInput;
    if (!OpenInput(FileUrl(pPath), pPath, nullptr, {}, lInput, pError, false) ||
        !CountVideoPackets(*lInput, pPath, lFacts.frames, pError))
      return pError = "cannot count the frames of " + pError, false;
  }
  pFacts = lFacts;
  return true;
}

}  // namespace

bool ProbePlateFacts(const std::string& pPath, PlateFacts& pFacts, std::string& pError) {
  std::lock_guard<std::mutex> lLock(gLastMutex);
  if (pPath == gLastPath && !pPath.empty()) return pFacts = gLast, true;
  if (!Probe(pPath, pFacts, pError)) return false;
  gLastPath = pPath;
  gLast = pFacts;
  return true;
}

}  // namespace vthud_tool

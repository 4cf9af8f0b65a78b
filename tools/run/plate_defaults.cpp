#include "plate_defaults.h"

namespace vthud_tool {

namespace {

std::string RateText(long long pNumerator, long long pDenominator) {
  return std::to_string(pNumerator) + "/" + std::to_string(pDenominator);
}

bool ApplyPlateRate(const PlateRun& pPlate, Options& o, std::string& pWarning, std::string& pError) {
  const PlateFacts& f = pPlate.facts;
  if (!pPlate.video || f.rateNumerator <= 0 || f.rateDenominator <= 0) return true;
  const std::string lRate = RateText(f.rateNumerator, f.rateDenominator);
  FBTimeMode lMode = kFBTimeMode30Frames;
  std::string lFps;
  if (!TimeModeOfRate(f.rateNumerator, f.rateDenominator, lMode, lFps)) {
    // No --fps could match it, so none is refused; its frames are drawn one a scene frame, as before.
    pWarning = pPlate.name + " runs at " + lRate + " frames a second, at which no scene runs; it is drawn a " +
               "frame a scene frame at " + o.fpsText;
    return true;
  }
  kLongLong lNum = 30, lDen = 1;
  FBTime::GetFrameRate(o.timeMode, lNum, lDen);
  if (o.hasFps) {
    if (static_cast<__int128>(lNum) * f.rateDenominator == static_cast<__int128>(f.rateNumerator) * lDen)
      return true;
    return pError = "--fps " + o.fpsText + ": " + pPlate.name + " runs at " + lRate +
                    " frames a second and the scene at " + RateText(lNum, lDen) +
                    ", so it would play at another speed; drop --fps to run at the plate's rate",
           false;
  }
  o.timeMode = lMode;
  o.fpsText = lFps;
  FBTime::GetFrameRate(o.timeMode, lNum, lDen);
  if (!o.hasClock) {
    o.clockNumerator = 1000 * lDen;
    o.clockDenominator = lNum;
  }
  // The frames given were checked at the default rate; FBTime holds fewer at a slower one.
  const long long lLimit = FrameLimit(o.timeMode);
  for (long long lFrame :
       {o.frame, o.frames.first, o.frames.last, o.loopStart, o.loopStop, o.chunk.first, o.chunk.last})
    if (lFrame > lLimit || lFrame < -lLimit)
      return pError = "frame " + std::to_string(lFrame) + " lies beyond what a scene holds at " + pPlate.name +
                      "'s " + lFps + " frames a second (at most " + std::to_string(lLimit) + ")",
             false;
  return true;
}

}  // namespace

bool ApplyPlateDefaults(const PlateRun& pPlate, bool pOnePicture, Options& o, std::string& pWarning,
                        std::string& pError) {
  pWarning.clear();
  if (!ApplyPlateRate(pPlate, o, pWarning, pError)) return false;
  if (o.hasFrames || o.hasFrame || !o.draws.empty()) return true;
  FrameRange lPlate;
  if (pPlate.video && pPlate.facts.frames > 0)
    lPlate = FrameRange{0, pPlate.facts.frames - 1};
  else if (pPlate.sequence && pPlate.lastFile >= pPlate.firstFile)
    lPlate = FrameRange{pPlate.firstFile, pPlate.lastFile};
  else
    return true;
  if (pOnePicture) {
    o.frame = lPlate.first;
  } else {
    o.hasFrames = true;
    o.frames = lPlate;
  }
  return true;
}

}  // namespace vthud_tool

// The tracking-recording reader and matcher on any bytes: a refused recording
// comes with one line naming the file (and, past an empty file, the line);
// an accepted one holds only values inside the protocol's ranges, and both
// matchings put every draw on a sample that exists (or on none yet).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tracking_file.h"

namespace {

void Check(bool pHolds, const char* pWhat, const std::string& pDetail = std::string()) {
  if (pHolds) return;
  std::fprintf(stderr, "fuzz failure: %s %s\n", pWhat, pDetail.c_str());
  std::abort();
}

bool Positive(bool pHas, double pValue) { return !pHas || (std::isfinite(pValue) && pValue > 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  const QByteArray lText(reinterpret_cast<const char*>(pData), static_cast<int>(pSize));
  vthud_tool::TrackingRecording lRecording;
  std::string lError;
  if (!vthud_tool::ParseTracking(lText, "take", lRecording, lError)) {
    Check(lError.rfind("take: ", 0) == 0 && lError.find('\n') == std::string::npos,
          "refused without one line naming the file:", lError);
    Check(lError == "take: holds no samples" || lError.find(": line ") != std::string::npos,
          "refused without the line:", lError);
    return 0;
  }
  Check(!lRecording.samples.empty(), "accepted an empty recording");
  int lLine = 0, lOnLine = 0;
  for (const vthud_tool::TrackingSample& s : lRecording.samples) {
    // Samples of one line (an array written on one line) are told apart by their place on it.
    Check(s.line > lLine ? s.onLine <= 1 : s.line == lLine && lOnLine > 0 && s.onLine == lOnLine + 1,
          "sample places out of order at line", std::to_string(s.line));
    lLine = s.line, lOnLine = s.onLine;
    Check(Positive(s.hasFocalLength, s.focalLength) && Positive(s.hasFStop, s.fStop) &&
              Positive(s.hasTStop, s.tStop) && Positive(s.hasFocusDistance, s.focusDistance),
          "a lens value out of range at line", std::to_string(s.line));
    if (s.hasTimecode)
      Check(s.hours >= 0 && s.hours < 24 && s.minutes >= 0 && s.minutes < 60 && s.seconds >= 0 && s.seconds < 60 &&
                s.frames >= 0 && s.timecodeRate.num >= 1 && s.timecodeRate.den >= 1 &&
                s.frames < (s.timecodeRate.num + s.timecodeRate.den - 1) / s.timecodeRate.den,
            "a timecode out of range at line", std::to_string(s.line));
    auto Text = [&](bool pHas, int pIndex) {
      Check(pHas == (pIndex >= 0) && pIndex < static_cast<int>(lRecording.texts.size()),
            "a text index out of range");
      return pIndex >= 0 ? lRecording.texts[static_cast<size_t>(pIndex)] : std::string();
    };
    const std::string lSlate = Text(s.hasSlate, s.slate);
    Check(!s.hasSlate || (!lSlate.empty() && lSlate.size() <= 4 * 1023), "a slate out of range");
    Check(!s.hasFdlLink || Text(s.hasFdlLink, s.fdlLink).size() == 45, "an FDL link of the wrong shape");
    Text(s.hasCameraLabel, s.cameraLabel);
  }
  const vthud_tool::Rational lScene{30, 1};
  for (bool lOrder : {false, true}) {
    std::string lRateError;
    if (!vthud_tool::CheckTrackingRate(lRecording, "take", lScene, lOrder, lRateError)) {
      Check(lRateError.rfind("take: line ", 0) == 0 && lRateError.find('\n') == std::string::npos,
            "rate refused without one line naming the line:", lRateError);
      continue;
    }
    // Draws scrubbing back and wrapping past midnight, against the day's length.
    const std::vector<long long> lFrames{0, 1, 2, 5, 3, -1, 2591999, 2592000, 2592001};
    const vthud_tool::TrackingMatch lMatch =
        lOrder ? vthud_tool::MatchByOrder(lRecording, static_cast<long long>(lFrames.size()))
               : vthud_tool::MatchByTimecode(lRecording, lFrames, 2591990, lScene);
    Check(lMatch.sampleOfDraw.size() == lFrames.size(), "a draw without a match");
    for (size_t i = 0; i < lFrames.size(); ++i) {
      const int k = lMatch.sampleOfDraw[i];
      Check(k >= -1 && k < static_cast<int>(lRecording.samples.size()), "a match past the samples");
      if (k < 0) Check(i == 0 || lMatch.sampleOfDraw[i - 1] < 0, "lost the held sample");
    }
    Check(lMatch.unmatched <= static_cast<long long>(lFrames.size()) &&
              (lMatch.unmatched == 0) == (lMatch.firstUnmatched < 0),
          "unmatched draws miscounted");
  }
  return 0;
}

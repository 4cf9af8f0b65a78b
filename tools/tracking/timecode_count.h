#ifndef VTHUD_TOOLS_TIMECODE_COUNT_H
#define VTHUD_TOOLS_TIMECODE_COUNT_H
// Timecode as a count of whole frames within a day, at a rate's nominal frames
// a second (30 at 29.97, as non-drop timecode counts): the one place the
// tool turns timecode into frames and back.
#include <string>

namespace vthud_tool {

struct Rational {
  long long num = 0, den = 1;
  bool operator==(const Rational& pOther) const;
  std::string Text() const { return std::to_string(num) + "/" + std::to_string(den); }
};

long long TimecodeFrames(int pHours, int pMinutes, int pSeconds, int pFrames, const Rational& pRate);
// "HH:MM:SS:FF" of pFrames, wrapping at a day (a negative count from the day's end).
std::string TimecodeText(long long pFrames, const Rational& pRate);

// "HH:MM:SS:FF" pFrames later at pRate, wrapping at 24 hours; text that is
// not a timecode ("" among it) is given back as it is.
std::string OffsetTimecode(const std::string& pTimecode, long long pFrames, const Rational& pRate);

}  // namespace vthud_tool

#endif

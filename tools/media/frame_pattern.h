#ifndef VTHUD_TOOLS_FRAME_PATTERN_H
#define VTHUD_TOOLS_FRAME_PATTERN_H
// File-name patterns with one frame-number field, printf-style: "%d" or
// "%0Nd" (N up to 18), and "%%" for a percent sign. Nothing else is taken
// as a format, so a name can never reach printf.
#include <string>

namespace vthud_tool {

class FramePattern {
 public:
  // False (pError set) when pText has a '%' that is not one frame field or %%.
  // pIsPattern says whether it holds a frame field at all.
  bool Parse(const std::string& pText, bool& pIsPattern, std::string& pError);
  // The name of frame pFrame; without a field, the name itself (%% made %).
  std::string Expand(long long pFrame) const;
  // The frame (0 or above) whose name is pName, as Expand writes it; false
  // for a name of no frame.
  bool FrameOf(const std::string& pName, long long& pFrame) const;
  // The files on disk from the lowest-numbered one to the last that follows
  // it without a gap; false when none is found, or when the frame field lies
  // in a folder's name rather than the file's.
  bool ContiguousFiles(long long& pFirst, long long& pLast) const;

 private:
  std::string mHead, mTail;
  int mWidth = 0;
  bool mHasField = false;
};

// True when pText contains a '%', the mark of a frame pattern.
inline bool LooksLikePattern(const std::string& pText) { return pText.find('%') != std::string::npos; }

}  // namespace vthud_tool

#endif

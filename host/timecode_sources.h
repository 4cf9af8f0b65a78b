#ifndef VTHOST_TIMECODE_SOURCES_H
#define VTHOST_TIMECODE_SOURCES_H
// Scene objects that carry a running timecode, as a timecode generator or a
// device's take timecode would, for the HUD element's character and camera
// timecode displays to bind to.
#include <fbsdk/fbsdk.h>

#include "host.h"

#include <string>

namespace vthost {

enum class TimecodeSlot { Character, Camera };

// Carries one timecode property (or the four integers "TCHour", "TCMinute",
// "TCSecond" and "TCFrame") that reads "Start Timecode" at scene frame
// "Start Frame" and one timecode frame more for every scene frame after it,
// wrapping at 24 hours, or "Start Timecode" throughout while "Held" is true.
// Its frames are counted at the rate of "Start Timecode".
class TimecodeSource : public SceneObject {
 public:
  // pCarried: the carried property's name, or "TC" for the four integers.
  TimecodeSource(const char* pName, const std::string& pCarried);

  const std::string& Carried() const { return mCarried; }
  // Whether the property is one of those the source computes (files skip them).
  bool IsComputed(const FBProperty* pProperty) const;
  // The timecode at the current scene frame.
  FBTimeCode Now() const;

  FBPropertyTimeCode StartTimecode;
  FBPropertyInt StartFrame;
  FBPropertyBool Held;

 private:
  std::string mCarried;
  FBPropertyTimeCode mTimecode;
  FBPropertyInt mHour, mMinute, mSecond, mFrame;
};

// The name that stands for the four integers in a source's text.
extern const char* const kFourIntegers;

// The timecode (at the scene's rate) of "HH:MM:SS:FF".
bool ParseTimecode(const std::string& pText, FBTimeCode& pTimecode, std::string& pError);

// Creates a source from "PROPERTY=HH:MM:SS:FF" or "PROPERTY=HH:MM:SS:FF,held"
// that reads that timecode at the current scene frame, adds it to the host's
// scene and puts it into pElement's "Character Timecode Source" or "Camera
// Timecode Source" list in place of what the list held, so that the element
// binds to it through the host's connection notification. PROPERTY is a name
// the element looks for: its "Timecode Property Name", "master",
// "amc:timecode", "Timecode", "timecode", "TimeCode", or "TC" for the four
// integers. Returns null with a one-line message on bad text.
SceneObject* AddTimecodeSource(Host& pHost, FBComponent* pElement, TimecodeSlot pSlot, const std::string& pText,
                               std::string& pError);

}  // namespace vthost

#endif

#include "timecode_sources.h"

#include "property_edit.h"

#include <fbsdk_host/host_state.h>

#include <climits>
#include <cmath>

namespace vthost {

const char* const kFourIntegers = "TC";

namespace {

const char* const kFourNames[] = {"TCHour", "TCMinute", "TCSecond", "TCFrame"};
// The names the element tries after its "Timecode Property Name", in its order.
const char* const kSearchedNames[] = {"master", "amc:timecode", "Timecode", "timecode", "TimeCode"};

// Timecode frames per second of a rate: 30 for 29.97, 24 for 23.976.
long long NominalFrames(float pRate) {
  const double lRate = std::fabs(static_cast<double>(pRate));
  if (!std::isfinite(lRate) || lRate < 1.0) return 30;
  return std::min(1000LL, static_cast<long long>(std::ceil(lRate - 1e-6)));
}

// The timecode rate that goes with the scene's frame rate.
float SceneTimecodeRate() {
  switch (fbsdk_host::State().sceneTimeMode) {
    case kFBTimeMode30Frames: return FBTimeCode::FRAMES_30;
    case kFBTimeMode25Frames: return FBTimeCode::PAL_25;
    case kFBTimeMode24Frames: return FBTimeCode::FILM_24;
    case kFBTimeMode2997Frames: return FBTimeCode::NTSC_FULL;
    case kFBTimeMode2997Frames_Drop: return FBTimeCode::NTSC_DROP;
    default: return -static_cast<float>(FBTime::GetFrameRate(kFBTimeModeDefault));
  }
}

FBTimeCode GetTimecode(void* pSource) { return static_cast<TimecodeSource*>(pSource)->Now(); }
// The integers split the same timecode as the single property does.
int Part(void* pSource, int pIndex) {
  const FBTimeCode lNow = static_cast<TimecodeSource*>(pSource)->Now();
  const int lSeconds = static_cast<int>(lNow.GetSeconds());
  const int lParts[] = {lSeconds / 3600, (lSeconds / 60) % 60, lSeconds % 60, static_cast<int>(lNow.GetFrame())};
  return lParts[pIndex];
}
int GetHour(void* pSource) { return Part(pSource, 0); }
int GetMinute(void* pSource) { return Part(pSource, 1); }
int GetSecond(void* pSource) { return Part(pSource, 2); }
int GetFrame(void* pSource) { return Part(pSource, 3); }

template <class P, class G>
void PublishComputed(TimecodeSource* pOwner, P& pProperty, const char* pName, G pGet) {
  pProperty.CreateInternal(pOwner, pName);
  pProperty.Init(pOwner, pName, pGet);
  pOwner->PropertyAdd(&pProperty);
}

bool TwoDigits(const std::string& pText, size_t pAt, int& pValue) {
  if (pAt + 2 > pText.size() || !isdigit(static_cast<unsigned char>(pText[pAt])) ||
      !isdigit(static_cast<unsigned char>(pText[pAt + 1])))
    return false;
  pValue = (pText[pAt] - '0') * 10 + (pText[pAt + 1] - '0');
  return true;
}

}  // namespace

TimecodeSource::TimecodeSource(const char* pName, const std::string& pCarried)
    : SceneObject(pName), mCarried(pCarried) {
  StartTimecode.CreateInternal(this, "Start Timecode");
  PropertyAdd(&StartTimecode);
  StartFrame.CreateInternal(this, "Start Frame");
  PropertyAdd(&StartFrame);
  Held.CreateInternal(this, "Held");
  PropertyAdd(&Held);
  StartTimecode = FBTimeCode(SceneTimecodeRate());
  if (mCarried == kFourIntegers) {
    PublishComputed(this, mHour, kFourNames[0], &GetHour);
    PublishComputed(this, mMinute, kFourNames[1], &GetMinute);
    PublishComputed(this, mSecond, kFourNames[2], &GetSecond);
    PublishComputed(this, mFrame, kFourNames[3], &GetFrame);
  } else {
    PublishComputed(this, mTimecode, mCarried.c_str(), &GetTimecode);
  }
}

bool TimecodeSource::IsComputed(const FBProperty* pProperty) const {
  return pProperty == &mTimecode || pProperty == &mHour || pProperty == &mMinute || pProperty == &mSecond ||
         pProperty == &mFrame;
}

FBTimeCode TimecodeSource::Now() const {
  const FBTimeCode lStart = StartTimecode.GetPropertyValue();
  const long long lRate = NominalFrames(lStart.GetRate());
  const long long lDay = 24LL * 3600 * lRate;
  // Any stored start, however odd, lands inside one day.
  double lStartFrames =
      std::floor(lStart.GetSeconds()) * static_cast<double>(lRate) + std::floor(lStart.GetFrame());
  lStartFrames = std::isfinite(lStartFrames) ? std::fmod(lStartFrames, static_cast<double>(lDay)) : 0.0;
  long long lFrames = static_cast<long long>(lStartFrames);
  if (!Held.GetPropertyValue()) {
    const long long lScene = FBSystem::TheOne().LocalTime.GetPropertyValue().GetFrame();
    lFrames += lScene % lDay - StartFrame.GetPropertyValue() % lDay;
  }
  lFrames = (lFrames % lDay + lDay) % lDay;
  FBTimeCode lNow(lStart.GetRate());
  const int lSeconds = static_cast<int>(lFrames / lRate);
  lNow.SetTimeCode(lSeconds / 3600, (lSeconds / 60) % 60, lSeconds % 60, static_cast<float>(lFrames % lRate));
  return lNow;
}

bool ParseTimecode(const std::string& pText, FBTimeCode& pTimecode, std::string& pError) {
  int lParts[4];
  bool lShape = pText.size() == 11;
  for (int i = 0; lShape && i < 4; ++i)
    lShape = TwoDigits(pText, static_cast<size_t>(i) * 3, lParts[i]) && (i == 3 || pText[i * 3 + 2] == ':');
  if (!lShape) {
    pError = "timecode '" + vthud::MessageText(pText) + "' is not HH:MM:SS:FF (two digits each, e.g. 01:00:00:00)";
    return false;
  }
  const float lRate = SceneTimecodeRate();
  const long long lFrames = NominalFrames(lRate);
  if (lParts[0] > 23 || lParts[1] > 59 || lParts[2] > 59 || lParts[3] >= lFrames) {
    pError = "timecode '" + pText + "' is out of range (hours 00-23, minutes and seconds 00-59, frames 00-" +
             std::to_string(lFrames - 1) + " at the scene's rate)";
    return false;
  }
  pTimecode = FBTimeCode(lRate);
  pTimecode.SetTimeCode(lParts[0], lParts[1], lParts[2], static_cast<float>(lParts[3]));
  return true;
}

SceneObject* AddTimecodeSource(Host& pHost, FBComponent* pElement, TimecodeSlot pSlot, const std::string& pText,
                               std::string& pError) {
  const std::string lSide = pSlot == TimecodeSlot::Character ? "Character" : "Camera";
  const std::string lListName = lSide + " Timecode Source";
  const std::string lUsage =
      "a " + lSide + " timecode source is PROPERTY=HH:MM:SS:FF or PROPERTY=HH:MM:SS:FF,held";
  if (!pElement) {
    pError = "no element to give a " + lSide + " timecode source";
    return nullptr;
  }
  auto* lList = dynamic_cast<FBPropertyListObject*>(pElement->PropertyList.Find(lListName.c_str()));
  if (!lList) {
    pError = "'" + vthud::MessageText(pElement->Name.AsString().Buffer()) + "' has no '" + lListName + "' list";
    return nullptr;
  }
  const size_t lEquals = pText.find('=');
  if (lEquals == std::string::npos || lEquals == 0) {
    pError = lUsage + ", got '" + vthud::MessageText(pText) + "'";
    return nullptr;
  }
  const std::string lCarried = pText.substr(0, lEquals);
  std::string lTimecodeText = pText.substr(lEquals + 1);
  bool lHeld = false;
  const size_t lComma = lTimecodeText.find(',');
  if (lComma != std::string::npos) {
    const std::string lOption = lTimecodeText.substr(lComma + 1);
    if (lOption != "held") {
      pError = "unknown option '" + vthud::MessageText(lOption) + "' after the timecode (" + lUsage + ")";
      return nullptr;
    }
    lHeld = true;
    lTimecodeText.resize(lComma);
  }

  // Only a name the element searches for binds; any other would be a silent no-op.
  std::vector<std::string> lNames;
  if (FBProperty* lNamed = pElement->PropertyList.Find("Timecode Property Name")) {
    const std::string lName = lNamed->AsString().Buffer();
    if (!lName.empty()) lNames.push_back(lName);
  }
  lNames.insert(lNames.end(), std::begin(kSearchedNames), std::end(kSearchedNames));
  if (std::find(lNames.begin(), lNames.end(), lCarried) == lNames.end() && lCarried != kFourIntegers) {
    std::string lKnown;
    for (const std::string& lName : lNames)
      if (lKnown.find("'" + lName + "'") == std::string::npos) lKnown += "'" + vthud::MessageText(lName) + "', ";
    pError = "'" + vthud::MessageText(lCarried) + "' is not a timecode property the element looks for (one of " +
             lKnown + "or 'TC' for TCHour, TCMinute, TCSecond and TCFrame)";
    return nullptr;
  }
  FBTimeCode lStart;
  if (!ParseTimecode(lTimecodeText, lStart, pError)) return nullptr;
  const long long lFrame = FBSystem::TheOne().LocalTime.GetPropertyValue().GetFrame();
  if (lFrame < INT_MIN || lFrame > INT_MAX) {
    pError = "the scene frame " + std::to_string(lFrame) + " is too far out for a timecode source to start at";
    return nullptr;
  }

  // References in scene files go by name, so the name is one no object or camera has.
  const std::string lBase = lSide + " TC Source";
  std::string lName = lBase;
  for (int n = 2; pHost.FindObject(lName) || pHost.FindCamera(lName); ++n) lName = lBase + " " + std::to_string(n);
  auto* lSource = new TimecodeSource(lName.c_str(), lCarried);
  lSource->StartTimecode = lStart;
  lSource->StartFrame = static_cast<int>(lFrame);
  lSource->Held = lHeld;
  pHost.Adopt(lSource);
  lList->RemoveAll();
  lList->Add(lSource);
  return lSource;
}

}  // namespace vthost

#include "tracking_driver.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "fdl_file.h"
#include "fdl_framing.h"
#include "property_edit.h"

namespace vthud_tool {

namespace {

bool Names(const Options& o, std::initializer_list<const char*> pNames) {
  for (const char* lName : pNames) {
    for (const auto& lSetting : o.camera)
      if (lSetting.first == lName) return true;
    for (const std::string& lSet : o.cameraSets)
      if (lSet.compare(0, lSet.find('='), lName) == 0) return true;
  }
  return false;
}

bool FromBackground(const std::string& pSource, std::string& pCarried) {
  const std::string kFrom = "from-background";
  const size_t lEquals = pSource.find('=');
  if (pSource.substr(lEquals == std::string::npos ? 0 : lEquals + 1) != kFrom) return false;
  if (lEquals != std::string::npos) pCarried = pSource.substr(0, lEquals);
  return true;
}

// "PROPERTY=HH:MM:SS:FF[,held]" to timecode frames; false for other text.
bool SourceStart(const std::string& pSource, const Rational& pRate, long long& pFrames) {
  const size_t lEquals = pSource.find('=');
  if (lEquals == std::string::npos || pSource.size() < lEquals + 12) return false;
  int lParts[4];
  for (int i = 0; i < 4; ++i) {
    const size_t lAt = lEquals + 1 + static_cast<size_t>(i) * 3;
    if (!isdigit(static_cast<unsigned char>(pSource[lAt])) ||
        !isdigit(static_cast<unsigned char>(pSource[lAt + 1])))
      return false;
    lParts[i] = (pSource[lAt] - '0') * 10 + (pSource[lAt + 1] - '0');
  }
  pFrames = TimecodeFrames(lParts[0], lParts[1], lParts[2], lParts[3], pRate);
  return true;
}

std::string Lower(std::string pText) {
  for (char& c : pText) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return pText;
}

}  // namespace

bool Tracking::Open(const Options& o, std::string& pError) {
  if (o.tracking.empty()) return true;
  kLongLong lNum = 30, lDen = 1;
  FBTime::GetFrameRate(o.timeMode, lNum, lDen);
  mRate = Rational{lNum, lDen};
  mOrder = o.trackingOrder;
  mTStop = o.trackingTStop;
  mLive = o.trackingLive;
  if (!mLive && (!ReadTracking(o.tracking, mRecording, pError) ||
                 !CheckTrackingRate(mRecording, o.tracking, mRate, mOrder, pError))) {
    pError = "--tracking " + pError;
    return false;
  }
  mName = o.tracking;
  mCameraFromPlate = FromBackground(o.cameraSource, mCarried);
  mOwnTimecode = !o.cameraSource.empty() && !mCameraFromPlate;
  mOwnFocal = Names(o, {"FocalLength"});
  mOwnFov = Names(o, {"FieldOfView", "FieldOfViewX"});
  mOwnIris = Names(o, {"FStop"});
  mOwnFocus = Names(o, {"FocusSpecificDistance"});
  mOwnName = !o.cameraName.empty() || Names(o, {"Name"});
  mOwnRecording = o.recording || !o.record.empty() || !o.draws.empty();
  mOwnPlaying = o.playing || !o.play.empty() || !o.draws.empty();
  for (const std::string& lSet : o.sets)
    if (lSet.compare(0, 6, "Slate=") == 0) mOwnSlate = true;
  return true;
}

bool Tracking::Match(const DrawPlan& pPlan, const std::string& pCameraSource, std::string& pWarning,
                     std::string& pError) {
  pWarning.clear();
  if (!Active() || mLive) return true;
  std::vector<long long> lFrames;
  for (long long i = 0; i < pPlan.Count(); ++i) {
    const DrawState lState = pPlan.At(i);
    lFrames.push_back(lState.frame);
    for (const auto& lSet : lState.sets)
      if (lSet.first == "Slate") mOwnSlate = true;
  }
  const TrackingSample& lFirst = mRecording.samples.front();
  if (!mOrder && !lFirst.hasTimecode) {
    pError = "--tracking " + mName +
             ": no sample carries timing.timecode to match frames by; give --tracking-match order";
    return false;
  }
  long long lStart = 0;
  if (mOrder) {
    mMatch = MatchByOrder(mRecording, pPlan.Count());
  } else {
    if (!SourceStart(pCameraSource, mRate, lStart))
      lStart = TimecodeFrames(lFirst.hours, lFirst.minutes, lFirst.seconds, lFirst.frames, mRate);
    // A held camera source reads its start on every frame.
    if (pCameraSource.find(",held") != std::string::npos) lFrames.assign(lFrames.size(), lFrames.front());
    mMatch = MatchByTimecode(mRecording, lFrames, lStart, mRate);
  }
  if (mMatch.unmatched > 0) {
    const long long i = mMatch.firstUnmatched;
    const long long lFrame = lFrames[static_cast<size_t>(i)];
    std::string lWhere = "frame " + std::to_string(pPlan.At(i).frame);
    if (!mOrder) {
      const long long lDay = TimecodeFrames(24, 0, 0, 0, mRate);
      const long long lTimecode = ((lStart + lFrame % lDay - lFrames.front() % lDay) % lDay + lDay) % lDay;
      lWhere += ", camera timecode " + TimecodeText(lTimecode, mRate);
    }
    pWarning = "--tracking: " + std::to_string(mMatch.unmatched) + " of " + std::to_string(pPlan.Count()) +
               (pPlan.Count() == 1 ? " frame has" : " frames have") + " no sample in " + mName +
               " and hold the last values (the first: " + lWhere + ")";
  }
  return true;
}

bool Tracking::Bind(vthost::Host& pHost, FBComponent* pElement, FBCamera* pCamera, std::string& pCameraSource,
                    std::string& pError) {
  if (!Active()) return true;
  mHost = &pHost;
  mElement = pElement;
  mCamera = pCamera;
  if (mLive) return true;
  const TrackingSample& lFirst = mRecording.samples.front();
  if (mOwnTimecode || !lFirst.hasTimecode) return true;
  const std::string lText =
      mCarried + "=" +
      TimecodeText(TimecodeFrames(lFirst.hours, lFirst.minutes, lFirst.seconds, lFirst.frames, mRate), mRate) +
      ",held";
  vthost::SceneObject* lSource =
      vthost::AddTimecodeSource(pHost, pElement, vthost::TimecodeSlot::Camera, lText, pError);
  if (!lSource) return pError = "--tracking: " + pError, false;
  mSource = dynamic_cast<vthost::TimecodeSource*>(lSource);
  pCameraSource.clear();  // the tracker's timecode is what the camera shows
  return true;
}

std::string Tracking::FdlWarning(const std::string& pFdlPath, const std::string& pFramingId) const {
  if (!Active() || mLive || pFdlPath.empty()) return std::string();
  vthud::FdlDocument lDocument;
  std::string lError;
  if (!vthud::ReadFdl(pFdlPath, lDocument, lError)) return std::string();
  std::string lWarning;
  for (const TrackingSample& s : mRecording.samples) {
    if (!s.hasFdlLink) continue;
    std::string lUuid = Lower(lDocument.uuid);
    if (lUuid.compare(0, 9, "urn:uuid:") == 0) lUuid.erase(0, 9);
    const std::string& lLink = mRecording.texts[static_cast<size_t>(s.fdlLink)];
    if (lLink.substr(9) != lUuid)
      lWarning = "--tracking: " + mName + " " + SamplePlace(s.line, s.onLine) + " links the FDL " + lLink +
                 ", and --fdl " + pFdlPath + " is uuid '" + vthud::MessageText(lDocument.uuid) + "'";
    break;
  }
  const vthud::FdlCanvas* lCanvas = nullptr;
  const vthud::FdlDecision* lDecision = nullptr;
  for (const TrackingSample& s : mRecording.samples) {
    if (!s.hasSqueeze || !vthost::FindDecision(lDocument, pFramingId, lCanvas, lDecision, lError)) break;
    const double lSqueeze = static_cast<double>(s.squeeze.num) / static_cast<double>(s.squeeze.den);
    if (std::fabs(lSqueeze - lCanvas->squeeze) > 1e-6)
      lWarning += std::string(lWarning.empty() ? "--tracking: " : "; ") + "the camera's anamorphic squeeze " +
                  s.squeeze.Text() + " (" + SamplePlace(s.line, s.onLine) + ") differs from the FDL canvas's " +
                  QString::number(lCanvas->squeeze, 'g', 6).toStdString();
    break;
  }
  return lWarning;
}

bool Tracking::Apply(long long pIndex, std::string& pError) {
  if (!Active() || mLive || pIndex < 0 || pIndex >= static_cast<long long>(mMatch.sampleOfDraw.size()))
    return true;
  const int k = mMatch.sampleOfDraw[static_cast<size_t>(pIndex)];
  if (k < 0) return true;
  const bool lChanged = k != mApplied;
  mApplied = k;
  return ApplySample(mRecording.samples[static_cast<size_t>(k)], mRecording.texts, lChanged, pError);
}

bool Tracking::ApplyLive(const TrackingRecording& pSample, bool pNew, std::string& pError) {
  if (!mLive || pSample.samples.empty()) return true;
  const TrackingSample& s = pSample.samples.back();
  // The tracker's timecode is what the camera shows, once it sends one at the scene's rate.
  if (pNew && !mSource && !mOwnTimecode && s.hasTimecode && !s.dropFrame && s.timecodeRate == mRate) {
    const std::string lText = mCarried + "=" +
                              TimecodeText(TimecodeFrames(s.hours, s.minutes, s.seconds, s.frames, mRate), mRate) +
                              ",held";
    vthost::SceneObject* lSource =
        vthost::AddTimecodeSource(*mHost, mElement, vthost::TimecodeSlot::Camera, lText, pError);
    if (!lSource) return pError = "--tracking: " + pError, false;
    mSource = dynamic_cast<vthost::TimecodeSource*>(lSource);
  }
  return ApplySample(s, pSample.texts, pNew, pError);
}

bool Tracking::ApplySample(const TrackingSample& s, const std::vector<std::string>& pTexts, bool pChanged,
                           std::string& pError) {
  // The draw plan sets the transport before every draw.
  // A host records only while it plays.
  if (s.hasRecording && !mOwnRecording) {
    mHost->SetRecording(s.recording);
    if (s.recording && !mOwnPlaying) mHost->SetPlaying(true);
  }
  if (!pChanged) return true;
  if (mCamera) {
    if (s.hasFocalLength && !mOwnFocal) {
      mCamera->FocalLength = s.focalLength;
      // The camera's field of view follows its lens over the film back, as the host's does.
      if (!mOwnFov) {
        const double lWidth = mCamera->FilmSizeWidth.GetPropertyValue() * 2.54 * 10;
        const double lHeight = mCamera->FilmSizeHeight.GetPropertyValue() * 2.54 * 10;
        const double lVertical = 2 * std::atan(0.5 * lHeight / s.focalLength) * 180 / M_PI;
        const double lHorizontal = 2 * std::atan(0.5 * lWidth / s.focalLength) * 180 / M_PI;
        mCamera->FieldOfView =
            mCamera->ApertureMode.GetPropertyValue() == kFBApertureHorizontal ? lHorizontal : lVertical;
        mCamera->FieldOfViewX = lHorizontal;
      }
    }
    const bool lHasIris = mTStop ? s.hasTStop : s.hasFStop;
    if (lHasIris && !mOwnIris) mCamera->FStop = mTStop ? s.tStop : s.fStop;
    if (s.hasFocusDistance && !mOwnFocus) mCamera->FocusSpecificDistance = s.focusDistance * 100.0;
    if (s.hasCameraLabel && !mOwnName) mCamera->Name = pTexts[static_cast<size_t>(s.cameraLabel)].c_str();
  }
  if (s.hasSlate && !mOwnSlate &&
      !vthost::SetPropertyFromText(mElement, "Slate", pTexts[static_cast<size_t>(s.slate)], pError))
    return false;
  if (mSource && s.hasTimecode && s.timecodeRate == mRate) {
    FBTimeCode lTimecode = mSource->StartTimecode.GetPropertyValue();
    lTimecode.SetTimeCode(s.hours, s.minutes, s.seconds, static_cast<float>(s.frames));
    mSource->StartTimecode = lTimecode;
  }
  return true;
}

}  // namespace vthud_tool

#ifndef VTHUD_TOOLS_TRACKING_H
#define VTHUD_TOOLS_TRACKING_H
// A tracking recording driving the host through a run: on every draw the
// viewed camera takes the matched sample's lens values and label, the
// transport its recording flag, the element its slate, and a camera timecode
// source reads the sample's timecode. What the command line gives by hand is
// left alone.
#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

#include "draw_plan.h"
#include "host.h"
#include "run_options.h"
#include "timecode_sources.h"
#include "tracking_file.h"

namespace vthud_tool {

class Tracking {
 public:
  bool Active() const { return !mName.empty(); }
  // Reads and checks --tracking against the scene's rate; call before the
  // camera source text is resolved, nothing is written on failure.
  bool Open(const Options& pOptions, std::string& pError);
  // Matches samples to the draws of pPlan. pCameraSource: --camera-source
  // once resolved ("PROPERTY=HH:MM:SS:FF[,held]", or empty): its timecode is
  // where matching by timecode starts, else the first sample's. Returns the
  // warning line for draws without a sample, or "".
  bool Match(const DrawPlan& pPlan, const std::string& pCameraSource, std::string& pWarning, std::string& pError);
  // Binds the camera timecode to a source that reads the samples' timecode,
  // unless --camera-source gave a timecode by hand; then clears pCameraSource
  // (resolved from the plate, which only set where matching starts).
  bool Bind(vthost::Host& pHost, FBComponent* pElement, FBCamera* pCamera, std::string& pCameraSource,
            std::string& pError);
  // The warning line when the recording links another FDL than pFdlPath, or
  // its camera another squeeze than the canvas of decision pFramingId; or "".
  std::string FdlWarning(const std::string& pFdlPath, const std::string& pFramingId) const;
  // Sets the host from the sample of draw pIndex.
  bool Apply(long long pIndex, std::string& pError);
  // A live tracker: no recording is read or matched, and each draw sets the
  // host from the newest sample with ApplyLive (pNew: a sample not applied
  // before). The camera timecode is bound at the first sample with one.
  bool Live() const { return mLive; }
  bool ApplyLive(const TrackingRecording& pSample, bool pNew, std::string& pError);

 private:
  // The host from one sample; pChanged: another sample than the last applied.
  bool ApplySample(const TrackingSample& s, const std::vector<std::string>& pTexts, bool pChanged,
                   std::string& pError);
  std::string mName;
  bool mLive = false;
  TrackingRecording mRecording;
  TrackingMatch mMatch;
  Rational mRate;
  bool mOrder = false, mTStop = false;
  bool mCameraFromPlate = false;
  std::string mCarried = "TimeCode";
  // What the command line gives by hand.
  bool mOwnFocal = false, mOwnFov = false, mOwnIris = false, mOwnFocus = false, mOwnRecording = false,
       mOwnPlaying = false, mOwnSlate = false, mOwnName = false, mOwnTimecode = false;
  vthost::Host* mHost = nullptr;
  FBComponent* mElement = nullptr;
  FBCamera* mCamera = nullptr;
  vthost::TimecodeSource* mSource = nullptr;
  int mApplied = -1;
};

}  // namespace vthud_tool

#endif

#include "live_run.h"

#include <fbsdk/fbsdk.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "progress.h"
#include "live_feed.h"

namespace vthud_tool {

namespace {

// Samples that stop for longer than this (or three frames, if longer) make a gap worth a warning.
const double kGapSeconds = 0.25;

double Seconds(LiveClock::duration pTime) { return std::chrono::duration<double>(pTime).count(); }

std::string Fixed(double pValue, int pDecimals) {
  char lText[64];
  snprintf(lText, sizeof lText, "%.*f", pDecimals, pValue);
  return lText;
}

}  // namespace

bool LiveRun::Open(const Options& o, std::string& pError) {
  if (!o.trackingLive) return true;
  kLongLong lNum = 30, lDen = 1;
  FBTime::GetFrameRate(o.timeMode, lNum, lDen);
  mNum = lNum;
  mDen = lDen;
  mName = o.tracking;
  mRecord = o.trackingRecord;
  if (!mReceiver.Open(o.trackerAddress, o.trackerPort, o.trackerInterface, o.trackerSource, pError))
    return pError = "--tracking " + mName + ": " + pError, false;
  mActive = true;
  return true;
}

bool LiveRun::Start(std::function<void(const std::string&)> pWarn, std::string& pError) {
  if (!mActive) return true;
  mWarn = std::move(pWarn);
  if (!mReceiver.Start(mRecord, pError)) return false;
  TellWarnings();
  return true;
}

void LiveRun::TellWarnings() {
  for (const std::string& lWarning : mReceiver.TakeWarnings()) Warn(lWarning);
}

bool LiveRun::FeedSample(long long pIndex, LiveSample& pSample) {
  LiveClock::time_point lArrival = LiveClock::now();
  std::string lTimecode;
  const bool lFresh = mFeed(pIndex, lArrival, lTimecode);
  if (!lFresh) lArrival = LiveClock::now();
  if (lFresh && !lTimecode.empty()) {
    const auto lSame = [&lTimecode](const LiveSample& p) {
      if (p.sample.samples.empty() || !p.sample.samples.back().hasTimecode) return false;
      const TrackingSample& t = p.sample.samples.back();
      char lText[32];
      snprintf(lText, sizeof lText, "%02d:%02d:%02d:%02d", t.hours, t.minutes, t.seconds, t.frames);
      return lTimecode == lText;
    };
    if (!mToldMatch[0]) Warn("--tracking: each frame takes the sample of its own timecode (the feed's S12M)");
    mToldMatch[0] = true;
    if (mReceiver.Newest(lSame, pSample)) return ++mByTimecode, true;
  }
  // Said at a picture's own draw: a held draw has no timecode whatever the feed carries.
  if (!mToldMatch[1] && lFresh)
    Warn("--tracking: " + std::string(lTimecode.empty() ? "the feed carries no timecode; " : "") +
         "frames without a sample of their timecode take the newest sample at their arrival less " +
         Fixed(mDelayMs, 1) + " ms (--tracking-delay)");
  mToldMatch[1] = mToldMatch[1] || lFresh;
  const LiveClock::time_point lBy = lArrival - std::chrono::duration_cast<LiveClock::duration>(
                                                   std::chrono::duration<double, std::milli>(mDelayMs));
  if (!mReceiver.Newest([lBy](const LiveSample& p) { return p.arrival <= lBy; }, pSample)) return false;
  if (lFresh) ++mByArrival;
  return true;
}

bool LiveRun::BeforeDraw(long long pIndex, Tracking& pTracking, std::string& pError) {
  if (!mActive) return true;
  if (mFeed) {
    ++mDraws;
    TellWarnings();
    pError = mReceiver.Error();
    if (!pError.empty()) return mToldError = true, false;
    LiveSample lSample;
    if (!FeedSample(pIndex, lSample)) {
      if (!mToldWaiting) Warn("--tracking: waiting for the tracker at " + mName);
      mToldWaiting = true;
      return true;
    }
    const bool lNew = lSample.serial != mSample.serial;
    if (lNew) mLatencyMs.push_back(Seconds(LiveClock::now() - lSample.arrival) * 1000);
    mSample = std::move(lSample);
    return pTracking.ApplyLive(mSample.sample, lNew, pError);
  }
  if (pIndex == 0) mStart = LiveClock::now();
  const auto lDue =
      mStart + std::chrono::duration_cast<LiveClock::duration>(std::chrono::duration<double>(
                   static_cast<double>(pIndex) * static_cast<double>(mDen) / static_cast<double>(mNum)));
  // Waited in short steps, so that Ctrl-C is seen within one.
  while (LiveClock::now() < lDue && !StopRequested())
    std::this_thread::sleep_for(
        std::min<LiveClock::duration>(lDue - LiveClock::now(), std::chrono::milliseconds(20)));
  const LiveClock::time_point lNow = LiveClock::now();
  if (lNow - lDue > std::chrono::duration<double>(static_cast<double>(mDen) / static_cast<double>(mNum))) ++mLate;
  ++mDraws;
  TellWarnings();
  pError = mReceiver.Error();
  if (!pError.empty()) return mToldError = true, false;

  const LiveClock::time_point lBefore = mSample.arrival;
  const bool lNew = mReceiver.Newest(mSample.serial, mSample);
  if (mSample.serial == 0) {
    if (!mToldWaiting) Warn("--tracking: waiting for the tracker at " + mName);
    mToldWaiting = true;
    return true;
  }
  const double lGap = std::max(kGapSeconds, 3.0 * static_cast<double>(mDen) / static_cast<double>(mNum));
  if (lNew) {
    mLatencyMs.push_back(Seconds(lNow - mSample.arrival) * 1000);
    const TrackingSample& lSample = mSample.sample.samples.back();
    const Rational lScene{mNum, mDen};
    if (lSample.hasTimecode && (lSample.dropFrame || !(lSample.timecodeRate == lScene)) && !mToldRate)
      Warn("--tracking: the tracker's timecode runs at " + lSample.timecodeRate.Text() +
           (lSample.dropFrame ? " drop-frame" : "") + " frames a second and the scene at " + lScene.Text() +
           " (--fps); the camera timecode does not follow it");
    mToldRate = mToldRate || lSample.hasTimecode;
    if (mInGap)
      Warn("--tracking: no sample from the tracker for " + Fixed(Seconds(mSample.arrival - lBefore), 2) +
           " s; draws " + std::to_string(mGapDraw + 1) + " to " + std::to_string(pIndex) +
           " held the last values");
    mInGap = false;
  } else if (!mInGap && Seconds(lNow - mSample.arrival) > lGap) {
    mInGap = true;
    mGapDraw = pIndex;
  }
  return pTracking.ApplyLive(mSample.sample, lNew, pError);
}

std::string LiveRun::Finish() {
  if (!mActive || mFinished) return std::string();
  mFinished = true;
  mReceiver.Stop();
  TellWarnings();
  // The recording's last lines are written as the receiver stops: a failure then is said here.
  if (!mToldError && !mReceiver.Error().empty()) Warn(mReceiver.Error());
  if (mInGap)
    Warn("--tracking: no sample from the tracker since draw " + std::to_string(mGapDraw + 1) +
         "; the last values held to the end");
  const ReceiverCounts lCounts = mReceiver.Counts();
  long long lDropped = 0;
  std::string lReasons;
  for (size_t i = 0; i < lCounts.dropped.size(); ++i) {
    lDropped += lCounts.dropped[i];
    lReasons += std::string(i ? ", " : "") + OtrkDropName(static_cast<OtrkDrop>(i)) + " " +
                std::to_string(lCounts.dropped[i]);
  }
  std::string lText = "tracker " + mName + ": " + std::to_string(lCounts.accepted) + " samples accepted, " +
                      std::to_string(static_cast<long long>(mLatencyMs.size())) + " drawn; " +
                      std::to_string(lDropped) + " packets dropped (" + lReasons + ")";
  if (lCounts.overtaken > 0)
    lText += "; " + std::to_string(lCounts.overtaken) + " unfinished payloads given up past the bounds";
  if (lCounts.overflowed > 0)
    lText += "; " + std::to_string(lCounts.overflowed) + " datagrams lost in a full receive buffer";
  lText += "\n";
  if (mFeed)
    lText += "tracker samples matched to the feed's frames: " + std::to_string(mByTimecode) + " by timecode, " +
             std::to_string(mByArrival) + " by arrival\n";
  if (!mLatencyMs.empty() && !mFeed)
    lText += "tracker latency, arrival to the first frame drawn with the sample: median " +
             Fixed(Quantile(mLatencyMs, 0.5), 1) + " ms, 95th percentile " + Fixed(Quantile(mLatencyMs, 0.95), 1) +
             " ms, 99th percentile " + Fixed(Quantile(mLatencyMs, 0.99), 1) + " ms; " + std::to_string(mLate) +
             " of " + std::to_string(mDraws) + " frames drawn over a frame late\n";
  return lText;
}

}  // namespace vthud_tool

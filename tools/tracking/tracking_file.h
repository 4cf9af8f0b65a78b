#ifndef VTHUD_TOOLS_TRACKING_FILE_H
#define VTHUD_TOOLS_TRACKING_FILE_H
// OpenTrackIO recordings: the samples a camera tracking system sends, one JSON
// object each, stored one a line (JSON Lines) or as one JSON array. Only the
// members the overlay shows are read (lens, timecode, recording, slate, camera
// label, squeeze, FDL link); each is checked against the protocol's types and
// ranges, and everything else a sample carries (transforms, distortion,
// custom data) is ignored.
//
// Matching puts one sample on each draw: by the draw's camera timecode, or in
// order. A draw without a sample of its own holds the last one.
#include <QByteArray>
#include <QJsonObject>

#include <string>
#include <vector>

#include "timecode_count.h"

namespace vthud_tool {

// One sample as read: each member with whether the sample carried it.
struct TrackingSample {
  int line = 0;    // where the sample begins, from 1
  int onLine = 0;  // which of the samples its line begins, from 1, where it begins several; else 0
  bool hasFocalLength = false, hasFStop = false, hasTStop = false, hasFocusDistance = false;
  double focalLength = 0, fStop = 0, tStop = 0, focusDistance = 0;  // mm, -, -, metres
  bool hasTimecode = false;
  int hours = 0, minutes = 0, seconds = 0, frames = 0;
  Rational timecodeRate;
  bool dropFrame = false;
  bool hasSampleRate = false;
  Rational sampleRate;
  bool hasRecording = false, recording = false;
  bool hasSlate = false, hasCameraLabel = false, hasSqueeze = false, hasFdlLink = false;
  // Indices into the recording's texts; fdlLink reads "urn:uuid:...".
  int slate = -1, cameraLabel = -1, fdlLink = -1;
  Rational squeeze;
};

struct TrackingRecording {
  std::vector<TrackingSample> samples;
  // The samples' strings, shared by the samples that carry one forward.
  std::vector<std::string> texts;
};

// Where a sample is, for messages: "line N", or "line N, sample K" on a line
// that begins several (an array a script wrote on one line).
std::string SamplePlace(int pLine, int pOnLine);

// Reads one sample, already parsed, onto the end of pRecording; what it
// leaves out it keeps from the sample before. False with "JSON.PATH: what".
bool AppendSample(const QJsonObject& pSample, int pLine, TrackingRecording& pRecording, std::string& pError);
// Drops every sample but the last, and the texts only they used.
void KeepLastSample(TrackingRecording& pRecording);
// One sample's bytes as a JSON object: JSON, or CBOR (pCbor) converted to
// JSON. False with a one-line reason.
bool SampleObject(const QByteArray& pBytes, bool pCbor, QJsonObject& pSample, std::string& pError);

// Reads pText, a recording named pName in messages: JSON Lines, one JSON
// array, or one JSON object (a recording of one sample). False with one line
// "pName: line N: JSON.PATH: what" for text that is not JSON, a sample that is
// not an object, or a member read of the wrong type or out of range.
bool ParseTracking(const QByteArray& pText, const std::string& pName, TrackingRecording& pRecording,
                   std::string& pError);
bool ReadTracking(const std::string& pPath, TrackingRecording& pRecording, std::string& pError);

// Whether the recording can be laid on a scene at pSceneRate: the timecodes
// (on every sample or on none) at that one rate, never drop-frame, and with
// pOrder the sample rate too. False with a message giving both rates.
bool CheckTrackingRate(const TrackingRecording& pRecording, const std::string& pName, const Rational& pSceneRate,
                       bool pOrder, std::string& pError);

struct TrackingMatch {
  std::vector<int> sampleOfDraw;  // per draw: the sample index, or -1 before any sample
  long long unmatched = 0;        // draws that hold an earlier sample (or have none yet)
  long long firstUnmatched = -1;  // the first such draw's index
};

// Order: draw i takes sample i. By timecode: draw i takes the first sample
// whose timecode is pStart + (pFrames[i] - pFrames[0]) frames, wrapping at a
// day. Either way a draw without one holds the previous draw's sample.
TrackingMatch MatchByOrder(const TrackingRecording& pRecording, long long pDraws);
TrackingMatch MatchByTimecode(const TrackingRecording& pRecording, const std::vector<long long>& pFrames,
                              long long pStart, const Rational& pRate);

}  // namespace vthud_tool

#endif

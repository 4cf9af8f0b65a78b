#include "tracking_file.h"

#include <QFile>
#include <QCborMap>
#include <QCborValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "property_edit.h"

namespace vthud_tool {

namespace {

// A day of samples at 120 frames a second fits; a file of more would run out of memory.
const qint64 kMaxFile = 1024LL * 1024 * 1024;
const size_t kMaxSamples = 10000000;

std::string Number(double pValue) {
  return QString::number(pValue, 'g', QLocale::FloatingPointShortest).toStdString();
}

int LineAt(const QByteArray& pText, qint64 pOffset) {
  int lLine = 1;
  for (qint64 i = 0; i < pOffset && i < pText.size(); ++i)
    if (pText[static_cast<int>(i)] == '\n') ++lLine;
  return lLine;
}

// Checks the members of one sample that the overlay reads; the first failure
// is kept with its JSON path.
class SampleReader {
 public:
  SampleReader(TrackingSample& pSample, std::vector<std::string>& pTexts) : mSample(pSample), mTexts(pTexts) {}
  std::string failure;

  bool Read(const QJsonObject& pRoot) {
    QJsonObject lLens, lTiming, lTracker, lStatic, lCamera;
    if (!Object(pRoot, "lens", "lens", lLens) || !Object(pRoot, "timing", "timing", lTiming) ||
        !Object(pRoot, "tracker", "tracker", lTracker) || !Object(pRoot, "static", "static", lStatic) ||
        !Object(lStatic, "camera", "static.camera", lCamera))
      return false;
    if (!Positive(lLens, "pinholeFocalLength", "lens.pinholeFocalLength", mSample.hasFocalLength,
                  mSample.focalLength) ||
        !Positive(lLens, "fStop", "lens.fStop", mSample.hasFStop, mSample.fStop) ||
        !Positive(lLens, "tStop", "lens.tStop", mSample.hasTStop, mSample.tStop) ||
        !Positive(lLens, "focusDistance", "lens.focusDistance", mSample.hasFocusDistance, mSample.focusDistance))
      return false;
    if (!Timecode(lTiming) ||
        !Rate(lTiming, "sampleRate", "timing.sampleRate", mSample.hasSampleRate, mSample.sampleRate))
      return false;
    const QJsonValue lRecording = lTracker.value("recording");
    if (!lRecording.isUndefined()) {
      if (!lRecording.isBool()) return Fail("tracker.recording", "must be true or false");
      mSample.hasRecording = true;
      mSample.recording = lRecording.toBool();
    }
    if (!Text(lTracker, "slate", "tracker.slate", mSample.hasSlate, mSample.slate) ||
        !Text(lCamera, "label", "static.camera.label", mSample.hasCameraLabel, mSample.cameraLabel) ||
        !Rate(lCamera, "anamorphicSqueeze", "static.camera.anamorphicSqueeze", mSample.hasSqueeze,
              mSample.squeeze))
      return false;
    const QJsonValue lLink = lCamera.value("fdlLink");
    if (!lLink.isUndefined()) {
      static const QRegularExpression kUrn(
          "^urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
      if (!lLink.isString()) return Fail("static.camera.fdlLink", "must be a string");
      if (!kUrn.match(lLink.toString()).hasMatch())
        return Fail("static.camera.fdlLink", "must be a URN urn:uuid: with a lower-case uuid, got '" +
                                                 vthud::MessageText(lLink.toString().left(80).toStdString()) +
                                                 "'");
      mSample.hasFdlLink = true;
      mSample.fdlLink = Keep(lLink.toString().toStdString());
    }
    return true;
  }

 private:
  bool Fail(const std::string& pPath, const std::string& pWhat) {
    failure = pPath + ": " + pWhat;
    return false;
  }
  // An absent member reads as an empty object.
  bool Object(const QJsonObject& pParent, const char* pKey, const std::string& pPath, QJsonObject& pOut) {
    const QJsonValue lValue = pParent.value(pKey);
    if (lValue.isUndefined()) return true;
    if (!lValue.isObject()) return Fail(pPath, "must be an object");
    pOut = lValue.toObject();
    return true;
  }
  bool Positive(const QJsonObject& pParent, const char* pKey, const std::string& pPath, bool& pHas, double& pOut) {
    const QJsonValue lValue = pParent.value(pKey);
    if (lValue.isUndefined()) return true;
    if (!lValue.isDouble() || !std::isfinite(lValue.toDouble())) return Fail(pPath, "must be a number");
    if (!(lValue.toDouble() > 0)) return Fail(pPath, "must be above 0, got " + Number(lValue.toDouble()));
    pHas = true;
    pOut = lValue.toDouble();
    return true;
  }
  bool Whole(const QJsonObject& pParent, const char* pKey, const std::string& pPath, long long pMin,
             long long pMax, long long& pOut) {
    const QJsonValue lValue = pParent.value(pKey);
    if (lValue.isUndefined()) return Fail(pPath, "is required and missing");
    const double d = lValue.toDouble();
    if (!lValue.isDouble() || !std::isfinite(d) || d != std::floor(d))
      return Fail(pPath, "must be a whole number");
    if (d < static_cast<double>(pMin) || d > static_cast<double>(pMax))
      return Fail(pPath,
                  "must be from " + std::to_string(pMin) + " to " + std::to_string(pMax) + ", got " + Number(d));
    pOut = static_cast<long long>(d);
    return true;
  }
  // A rational {num, denom}: num from 1 to 2^31-1, denom from 1 to 2^32-1.
  bool Rate(const QJsonObject& pParent, const char* pKey, const std::string& pPath, bool& pHas, Rational& pOut) {
    const QJsonValue lValue = pParent.value(pKey);
    if (lValue.isUndefined()) return true;
    if (!lValue.isObject()) return Fail(pPath, "must be an object {\"num\", \"denom\"}");
    const QJsonObject lRate = lValue.toObject();
    if (!Whole(lRate, "num", pPath + ".num", 1, 2147483647LL, pOut.num) ||
        !Whole(lRate, "denom", pPath + ".denom", 1, 4294967295LL, pOut.den))
      return false;
    pHas = true;
    return true;
  }
  bool Text(const QJsonObject& pParent, const char* pKey, const std::string& pPath, bool& pHas, int& pOut) {
    const QJsonValue lValue = pParent.value(pKey);
    if (lValue.isUndefined()) return true;
    if (!lValue.isString()) return Fail(pPath, "must be a string");
    const QString lText = lValue.toString();
    if (lText.isEmpty() || lText.size() > 1023)
      return Fail(pPath, "must be 1 to 1023 characters long, got " + std::to_string(lText.size()));
    pHas = true;
    pOut = Keep(lText.toStdString());
    return true;
  }
  // The rate sits in "format" in the protocol's schema; recorders that
  // follow its first examples put it beside the numbers. Either is read.
  bool Timecode(const QJsonObject& pTiming) {
    const QJsonValue lValue = pTiming.value("timecode");
    if (lValue.isUndefined()) return true;
    if (!lValue.isObject()) return Fail("timing.timecode", "must be an object");
    const QJsonObject lTimecode = lValue.toObject();
    long long h = 0, m = 0, s = 0, f = 0;
    if (!Whole(lTimecode, "hours", "timing.timecode.hours", 0, 23, h) ||
        !Whole(lTimecode, "minutes", "timing.timecode.minutes", 0, 59, m) ||
        !Whole(lTimecode, "seconds", "timing.timecode.seconds", 0, 59, s) ||
        !Whole(lTimecode, "frames", "timing.timecode.frames", 0, 119, f))
      return false;
    QJsonObject lFormat = lTimecode;
    std::string lFormatPath = "timing.timecode";
    if (lTimecode.contains("format")) {
      if (!Object(lTimecode, "format", "timing.timecode.format", lFormat)) return false;
      lFormatPath = "timing.timecode.format";
    }
    bool lHasRate = false;
    if (!Rate(lFormat, "frameRate", lFormatPath + ".frameRate", lHasRate, mSample.timecodeRate)) return false;
    if (!lHasRate) return Fail(lFormatPath + ".frameRate", "is required and missing");
    const QJsonValue lDrop = lFormat.value("dropFrame");
    if (!lDrop.isUndefined() && !lDrop.isBool()) return Fail(lFormatPath + ".dropFrame", "must be true or false");
    mSample.dropFrame = lDrop.toBool(false);
    const Rational& r = mSample.timecodeRate;
    const long long lNominal = (r.num + r.den - 1) / r.den;
    if (f >= lNominal)
      return Fail("timing.timecode.frames", "must be below " + std::to_string(lNominal) + " at " + r.Text() +
                                                " frames a second, got " + std::to_string(f));
    mSample.hasTimecode = true;
    mSample.hours = static_cast<int>(h);
    mSample.minutes = static_cast<int>(m);
    mSample.seconds = static_cast<int>(s);
    mSample.frames = static_cast<int>(f);
    return true;
  }

  // A string the sample before also carried is kept once.
  int Keep(const std::string& pText) {
    if (mTexts.empty() || mTexts.back() != pText) mTexts.push_back(pText);
    return static_cast<int>(mTexts.size()) - 1;
  }

  TrackingSample& mSample;
  std::vector<std::string>& mTexts;
};

bool ParseSample(const QByteArray& pText, int pLine, int pOnLine, const std::string& pName,
                 TrackingRecording& pRecording, std::string& pError) {
  // Wrapped in an array, so that a number or a string is told from text that is no JSON at all.
  QJsonParseError lParse;
  const QJsonDocument lDocument = QJsonDocument::fromJson("[" + pText + "]", &lParse);
  const std::string lWhere = pName + ": " + SamplePlace(pLine, pOnLine) + ": ";
  if (lParse.error != QJsonParseError::NoError) {
    pError = lWhere + "not JSON: " + lParse.errorString().toStdString() + " at byte " +
             std::to_string(std::max(1, std::min(lParse.offset, pText.size()))) + " of the sample";
    return false;
  }
  const QJsonArray lWrapped = lDocument.array();
  if (lWrapped.size() != 1 || !lWrapped[0].isObject())
    return pError = lWhere + "a sample must be one JSON object", false;
  if (pRecording.samples.size() >= kMaxSamples) return pError = pName + ": more than 10000000 samples", false;
  if (!AppendSample(lWrapped[0].toObject(), pLine, pRecording, pError)) return pError = lWhere + pError, false;
  pRecording.samples.back().onLine = pOnLine;
  return true;
}

// The byte ranges [first, last] of the top-level elements of a JSON array
// already known to be well formed.
std::vector<std::pair<int, int>> ArrayElements(const QByteArray& pText) {
  std::vector<std::pair<int, int>> lRanges;
  int lDepth = 0, lStart = -1, lLast = -1;
  bool lInString = false, lEscaped = false;
  for (int i = 0; i < pText.size(); ++i) {
    const char c = pText[i];
    if (lInString) {
      lInString = lEscaped || c != '"';
      lEscaped = !lEscaped && c == '\\';
      lLast = i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (lDepth == 1 && (c == ',' || c == ']')) {
      if (lStart >= 0) lRanges.emplace_back(lStart, lLast);
      lStart = -1;
    } else if (lDepth >= 1) {
      if (lStart < 0) lStart = i;
      lLast = i;
    }
    if (c == '"') lInString = true;
    if (c == '[' || c == '{') ++lDepth;
    if (c == ']' || c == '}') --lDepth;
  }
  return lRanges;
}

// What a sample leaves out, it keeps from the sample before: a tracker may
// send its static members once, or a lens value only when it changes.
void CarryForward(const TrackingSample& p, TrackingSample& s) {
  auto Keep = [](bool& pHas, bool pHad, auto& pValue, const auto& pBefore) {
    if (!pHas && pHad) pHas = true, pValue = pBefore;
  };
  Keep(s.hasFocalLength, p.hasFocalLength, s.focalLength, p.focalLength);
  Keep(s.hasFStop, p.hasFStop, s.fStop, p.fStop);
  Keep(s.hasTStop, p.hasTStop, s.tStop, p.tStop);
  Keep(s.hasFocusDistance, p.hasFocusDistance, s.focusDistance, p.focusDistance);
  Keep(s.hasRecording, p.hasRecording, s.recording, p.recording);
  Keep(s.hasSlate, p.hasSlate, s.slate, p.slate);
  Keep(s.hasCameraLabel, p.hasCameraLabel, s.cameraLabel, p.cameraLabel);
  Keep(s.hasSqueeze, p.hasSqueeze, s.squeeze, p.squeeze);
  Keep(s.hasFdlLink, p.hasFdlLink, s.fdlLink, p.fdlLink);
}

}  // namespace

std::string SamplePlace(int pLine, int pOnLine) {
  std::string lPlace = "line " + std::to_string(pLine);
  if (pOnLine > 0) lPlace += ", sample " + std::to_string(pOnLine);
  return lPlace;
}

bool AppendSample(const QJsonObject& pSample, int pLine, TrackingRecording& pRecording, std::string& pError) {
  TrackingSample lSample;
  lSample.line = pLine;
  SampleReader lReader(lSample, pRecording.texts);
  if (!lReader.Read(pSample)) return pError = lReader.failure, false;
  if (!pRecording.samples.empty()) CarryForward(pRecording.samples.back(), lSample);
  pRecording.samples.push_back(lSample);
  return true;
}

void KeepLastSample(TrackingRecording& pRecording) {
  if (pRecording.samples.empty()) return;
  TrackingSample lLast = pRecording.samples.back();
  std::vector<std::string> lTexts;
  for (int* lIndex : {&lLast.slate, &lLast.cameraLabel, &lLast.fdlLink})
    if (*lIndex >= 0) {
      lTexts.push_back(pRecording.texts[static_cast<size_t>(*lIndex)]);
      *lIndex = static_cast<int>(lTexts.size()) - 1;
    }
  pRecording.samples.assign(1, lLast);
  pRecording.texts = std::move(lTexts);
}

bool SampleObject(const QByteArray& pBytes, bool pCbor, QJsonObject& pSample, std::string& pError) {
  if (pCbor) {
    QCborParserError lParse;
    const QCborValue lValue = QCborValue::fromCbor(pBytes, &lParse);
    if (lParse.error != QCborError::NoError)
      return pError = "not CBOR: " + lParse.errorString().toStdString(), false;
    if (!lValue.isMap()) return pError = "a sample must be one CBOR map", false;
    // As JSON, so that a CBOR sample is read (and recorded) as a JSON one is.
    pSample = lValue.toMap().toJsonObject();
    return true;
  }
  QJsonParseError lParse;
  const QJsonDocument lDocument = QJsonDocument::fromJson(pBytes, &lParse);
  if (lParse.error != QJsonParseError::NoError)
    return pError = "not JSON: " + lParse.errorString().toStdString(), false;
  if (!lDocument.isObject()) return pError = "a sample must be one JSON object", false;
  pSample = lDocument.object();
  return true;
}

bool ParseTracking(const QByteArray& pText, const std::string& pName, TrackingRecording& pRecording,
                   std::string& pError) {
  TrackingRecording lRecording;
  int lFirst = 0;
  while (lFirst < pText.size() &&
         (pText[lFirst] == ' ' || pText[lFirst] == '\t' || pText[lFirst] == '\r' || pText[lFirst] == '\n'))
    ++lFirst;
  // One object over many lines, as the protocol's own examples are, is a
  // recording of one sample; one a line is JSON Lines.
  QJsonParseError lWhole;
  const QJsonDocument lDocument =
      lFirst < pText.size() && pText[lFirst] == '{' ? QJsonDocument::fromJson(pText, &lWhole) : QJsonDocument();
  if (lDocument.isObject()) {
    if (!AppendSample(lDocument.object(), LineAt(pText, lFirst), lRecording, pError))
      return pError = pName + ": line " + std::to_string(LineAt(pText, lFirst)) + ": " + pError, false;
  } else if (lFirst < pText.size() && pText[lFirst] == '[') {
    // One array: checked whole first, so that a syntax error names its line.
    QJsonParseError lParse;
    QJsonDocument::fromJson(pText, &lParse);
    if (lParse.error != QJsonParseError::NoError) {
      pError = pName + ": line " + std::to_string(LineAt(pText, lParse.offset)) +
               ": not JSON: " + lParse.errorString().toStdString();
      return false;
    }
    const std::vector<std::pair<int, int>> lRanges = ArrayElements(pText);
    std::vector<int> lLines(lRanges.size());
    int lCounted = 0;
    for (size_t i = 0; i < lRanges.size(); ++i) {
      lLines[i] = (i == 0 ? 1 : lLines[i - 1]) +
                  static_cast<int>(std::count(pText.begin() + lCounted, pText.begin() + lRanges[i].first, '\n'));
      lCounted = lRanges[i].first;
    }
    // A script's json.dump writes the whole array on one line: there each sample is named by its place too.
    for (size_t i = 0, lOnLine = 0; i < lRanges.size(); ++i) {
      lOnLine = i > 0 && lLines[i - 1] == lLines[i] ? lOnLine + 1 : 1;
      const bool lShared = lOnLine > 1 || (i + 1 < lRanges.size() && lLines[i + 1] == lLines[i]);
      if (!ParseSample(pText.mid(lRanges[i].first, lRanges[i].second - lRanges[i].first + 1), lLines[i],
                       lShared ? static_cast<int>(lOnLine) : 0, pName, lRecording, pError))
        return false;
    }
  } else {
    int lLine = 0;
    for (int lStart = 0; lStart < pText.size();) {
      int lEnd = pText.indexOf('\n', lStart);
      if (lEnd < 0) lEnd = pText.size();
      ++lLine;
      const QByteArray lText = pText.mid(lStart, lEnd - lStart).trimmed();
      lStart = lEnd + 1;
      if (lText.isEmpty()) continue;
      if (!ParseSample(lText, lLine, 0, pName, lRecording, pError)) return false;
    }
  }
  if (lRecording.samples.empty()) return pError = pName + ": holds no samples", false;
  pRecording = std::move(lRecording);
  return true;
}

bool ReadTracking(const std::string& pPath, TrackingRecording& pRecording, std::string& pError) {
  QFile lFile(QString::fromStdString(pPath));
  if (!lFile.open(QIODevice::ReadOnly))
    return pError = pPath + ": cannot be read: " + lFile.errorString().toStdString(), false;
  const QByteArray lText = lFile.read(kMaxFile + 1);  // bounded: a device is refused, not slurped
  if (lText.size() > kMaxFile) return pError = pPath + " is larger than 1 GiB", false;
  return ParseTracking(lText, pPath, pRecording, pError);
}

bool CheckTrackingRate(const TrackingRecording& pRecording, const std::string& pName, const Rational& pSceneRate,
                       bool pOrder, std::string& pError) {
  const std::vector<TrackingSample>& lSamples = pRecording.samples;
  const bool lTimecodes = !lSamples.empty() && lSamples.front().hasTimecode;
  for (const TrackingSample& s : lSamples) {
    const std::string lWhere = pName + ": " + SamplePlace(s.line, s.onLine) + ": ";
    if (s.hasTimecode != lTimecodes)
      return pError = lWhere + "timing.timecode: " +
                      (lTimecodes ? "is missing, and the first sample has one"
                                  : "is given, and the first sample has none") +
                      " (a recording carries timecode on every sample or on none)",
             false;
    if (s.dropFrame)
      return pError = lWhere +
                      "timing.timecode: drop-frame timecode is refused: the timecode sources count whole "
                      "frames",
             false;
    if (s.hasTimecode && !(s.timecodeRate == pSceneRate))
      return pError = lWhere + "timing.timecode: the recording's timecode runs at " + s.timecodeRate.Text() +
                      " frames a second and the scene at " + pSceneRate.Text() + " (--fps)",
             false;
    // Without timecode, or one sample to a frame, the samples' own rate is the frame rate.
    if (s.hasSampleRate && (pOrder || !lTimecodes) && !(s.sampleRate == pSceneRate))
      return pError = lWhere + "timing.sampleRate: the recording runs at " + s.sampleRate.Text() +
                      " samples a second and the scene at " + pSceneRate.Text() + " frames (--fps)",
             false;
  }
  return true;
}

namespace {
void Hold(TrackingMatch& pMatch, long long pDraw) {
  pMatch.sampleOfDraw.push_back(pMatch.sampleOfDraw.empty() ? -1 : pMatch.sampleOfDraw.back());
  if (pMatch.unmatched++ == 0) pMatch.firstUnmatched = pDraw;
}
}  // namespace

TrackingMatch MatchByOrder(const TrackingRecording& pRecording, long long pDraws) {
  TrackingMatch lMatch;
  for (long long i = 0; i < pDraws; ++i) {
    if (i < static_cast<long long>(pRecording.samples.size()))
      lMatch.sampleOfDraw.push_back(static_cast<int>(i));
    else
      Hold(lMatch, i);
  }
  return lMatch;
}

TrackingMatch MatchByTimecode(const TrackingRecording& pRecording, const std::vector<long long>& pFrames,
                              long long pStart, const Rational& pRate) {
  const long long lDay = TimecodeFrames(24, 0, 0, 0, pRate);
  // The first sample of each timecode: a tracker sampling faster than the
  // frame rate repeats a frame's timecode.
  std::unordered_map<long long, int> lByTimecode;
  for (size_t i = 0; i < pRecording.samples.size(); ++i) {
    const TrackingSample& s = pRecording.samples[i];
    lByTimecode.emplace(TimecodeFrames(s.hours, s.minutes, s.seconds, s.frames, pRate), static_cast<int>(i));
  }
  TrackingMatch lMatch;
  for (size_t i = 0; i < pFrames.size(); ++i) {
    const long long lOffset = (pFrames[i] % lDay) - (pFrames.front() % lDay);
    const long long lTimecode = ((pStart + lOffset) % lDay + lDay) % lDay;
    const auto lFound = lByTimecode.find(lTimecode);
    if (lFound != lByTimecode.end())
      lMatch.sampleOfDraw.push_back(lFound->second);
    else
      Hold(lMatch, static_cast<long long>(i));
  }
  return lMatch;
}

}  // namespace vthud_tool

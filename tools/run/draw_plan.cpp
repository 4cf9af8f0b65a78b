#include "draw_plan.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

namespace vthud_tool {

namespace {

const qint64 kMaxDrawsFile = 16 * 1024 * 1024;

bool AnyContains(const std::vector<FrameRange>& pRanges, long long pFrame) {
  for (const FrameRange& lRange : pRanges)
    if (lRange.Contains(pFrame)) return true;
  return false;
}

// A JSON value as the text a property takes: numbers in their shortest exact
// form, booleans as true/false, colours (arrays of numbers) space-separated.
bool ValueText(const QJsonValue& pValue, std::string& pText) {
  if (pValue.isString()) {
    pText = pValue.toString().toStdString();
    return true;
  }
  if (pValue.isBool()) {
    pText = pValue.toBool() ? "true" : "false";
    return true;
  }
  if (pValue.isDouble()) {
    pText = QString::number(pValue.toDouble(), 'g', 17).toStdString();
    return true;
  }
  if (pValue.isArray()) {
    pText.clear();
    for (const QJsonValue& lItem : pValue.toArray()) {
      if (!lItem.isDouble()) return false;
      pText += (pText.empty() ? "" : " ") + QString::number(lItem.toDouble(), 'g', 17).toStdString();
    }
    return true;
  }
  return false;
}

}  // namespace

bool ParseDraws(const std::string& pJson, long long pLimit, std::vector<DrawState>& pDraws, std::string& pError) {
  QByteArray lText;
  std::string lWhere = "--draws";
  const size_t lFirst = pJson.find_first_not_of(" \t\r\n");
  if (lFirst != std::string::npos && (pJson[lFirst] == '[' || pJson[lFirst] == '{')) {
    lText = QByteArray(pJson.data(), static_cast<int>(pJson.size()));
  } else {
    QFile lFile(QString::fromStdString(pJson));
    if (!lFile.open(QIODevice::ReadOnly))
      return pError = "--draws: cannot read " + pJson + ": " + lFile.errorString().toStdString(), false;
    lText = lFile.read(kMaxDrawsFile + 1);  // bounded: a device or a huge file is refused, not slurped
    if (lText.size() > kMaxDrawsFile) return pError = "--draws: " + pJson + " is larger than 16 MiB", false;
    lWhere = "--draws " + pJson;
  }
  QJsonParseError lParse;
  const QJsonDocument lDocument = QJsonDocument::fromJson(lText, &lParse);
  if (lParse.error != QJsonParseError::NoError) {
    // Qt gives the byte offset; turn it into line and column.
    int lLine = 1, lColumn = 1;
    for (int i = 0; i < lParse.offset && i < lText.size(); ++i) {
      if (lText[i] == '\n') {
        ++lLine;
        lColumn = 1;
      } else {
        ++lColumn;
      }
    }
    pError = lWhere + ": line " + std::to_string(lLine) + ", column " + std::to_string(lColumn) + ": " +
             lParse.errorString().toStdString();
    return false;
  }
  if (!lDocument.isArray()) return pError = lWhere + ": expects a JSON array of draws", false;
  const QJsonArray lArray = lDocument.array();
  if (lArray.isEmpty()) return pError = lWhere + ": the list of draws is empty", false;
  if (lArray.size() > DrawPlan::kMaxDraws) return pError = lWhere + ": too many draws", false;
  std::vector<DrawState> lDraws;
  for (int i = 0; i < lArray.size(); ++i) {
    const std::string lItem = lWhere + ": draw " + std::to_string(i + 1);
    if (!lArray[i].isObject()) return pError = lItem + " is not an object", false;
    const QJsonObject lObject = lArray[i].toObject();
    for (auto it = lObject.begin(); it != lObject.end(); ++it)
      if (it.key() != "frame" && it.key() != "recording" && it.key() != "playing" && it.key() != "set")
        return pError = lItem + ": unknown key '" + it.key().toStdString() +
                        "' (expected frame, recording, playing, set)",
               false;
    DrawState lDraw;
    const QJsonValue lFrame = lObject.value("frame");
    const double lNumber = lFrame.toDouble();
    if (!lFrame.isDouble() || std::floor(lNumber) != lNumber || std::fabs(lNumber) > static_cast<double>(pLimit))
      return pError = lItem + ": \"frame\" expects a whole number from " + std::to_string(-pLimit) + " to " +
                      std::to_string(pLimit),
             false;
    lDraw.frame = static_cast<long long>(lNumber);
    for (const char* lFlag : {"recording", "playing"}) {
      const QJsonValue lValue = lObject.value(lFlag);
      if (!lValue.isUndefined() && !lValue.isBool())
        return pError = lItem + ": \"" + lFlag + "\" expects true or false", false;
      (std::string(lFlag) == "recording" ? lDraw.recording : lDraw.playing) = lValue.toBool(false);
    }
    const QJsonValue lSet = lObject.value("set");
    if (!lSet.isUndefined()) {
      if (!lSet.isObject())
        return pError = lItem + ": \"set\" expects an object of property names to values", false;
      const QJsonObject lSets = lSet.toObject();
      for (auto it = lSets.begin(); it != lSets.end(); ++it) {
        std::string lValue;
        if (!ValueText(it.value(), lValue))
          return pError = lItem + ": the value of '" + it.key().toStdString() +
                          "' expects a string, number, boolean or list of numbers",
                 false;
        lDraw.sets.emplace_back(it.key().toStdString(), lValue);
      }
    }
    lDraws.push_back(std::move(lDraw));
  }
  pDraws = std::move(lDraws);
  return true;
}

bool DrawPlan::Build(const Options& pOptions, std::string& pError) {
  mRecord = pOptions.record;
  mPlay = pOptions.play;
  mAlwaysRecording = pOptions.recording;
  mAlwaysPlaying = pOptions.playing;
  if (!pOptions.draws.empty()) {
    mExplicit = true;
    return ParseDraws(pOptions.draws, FrameLimit(pOptions.timeMode), mDraws, pError);
  }
  mExplicit = false;
  mRange = pOptions.hasFrames ? pOptions.frames : FrameRange{pOptions.frame, pOptions.frame};
  if (mRange.last - mRange.first >= kMaxDraws) {
    pError = "--frames covers more than " + std::to_string(kMaxDraws) + " frames; split the run";
    return false;
  }
  return true;
}

DrawState DrawPlan::At(long long pIndex) const {
  if (mExplicit) return mDraws[static_cast<size_t>(pIndex)];
  DrawState lState;
  lState.frame = mRange.first + pIndex;
  lState.recording = mAlwaysRecording || AnyContains(mRecord, lState.frame);
  lState.playing = mAlwaysPlaying || AnyContains(mPlay, lState.frame);
  return lState;
}

}  // namespace vthud_tool

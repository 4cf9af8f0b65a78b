#include "fdl_file.h"

#include "json_file.h"
#include "message_text.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QString>

#include <cmath>
#include <initializer_list>
#include <set>

namespace vthud {

namespace {

QLatin1String Key(const char* pKey) { return QLatin1String(pKey); }

std::string PathText(const JsonPath& pPath) {
  std::string lText;
  for (const JsonStep& lStep : pPath) {
    if (const std::string* lName = std::get_if<std::string>(&lStep))
      lText += (lText.empty() ? "" : ".") + *lName;
    else
      lText += "[" + std::to_string(std::get<int>(lStep)) + "]";
  }
  return lText.empty() ? "(document)" : lText;
}

std::string Number(double pValue) { return QString::number(pValue, 'g', 10).toStdString(); }

bool IdCharacters(const std::string& pText) {
  for (char c : pText)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Walks the document, keeping the path of the value at hand; the first
// problem found stops the walk and is kept with its path.
class Checker {
 public:
  JsonPath failurePath;
  std::string failure;

  bool Fail(const JsonPath& pPath, const std::string& pWhat) {
    failurePath = pPath;
    failure = PathText(pPath) + ": " + pWhat;
    return false;
  }

  static JsonPath At(const JsonPath& pPath, const char* pKey) {
    JsonPath lPath = pPath;
    lPath.push_back(std::string(pKey));
    return lPath;
  }
  static JsonPath At(const JsonPath& pPath, int pIndex) {
    JsonPath lPath = pPath;
    lPath.push_back(pIndex);
    return lPath;
  }

  // Members outside pKnown are refused: a misspelt optional member (a
  // squeeze, say) must not go unnoticed and change the framing.
  bool Object(const QJsonValue& pValue, const JsonPath& pPath, std::initializer_list<const char*> pKnown,
              QJsonObject& pObject) {
    if (!pValue.isObject()) return Fail(pPath, "must be an object");
    pObject = pValue.toObject();
    for (auto lIt = pObject.begin(); lIt != pObject.end(); ++lIt) {
      bool lKnown = false;
      for (const char* lKey : pKnown) lKnown = lKnown || lIt.key() == QLatin1String(lKey);
      if (!lKnown)
        return Fail(pPath, "has no member \"" + MessageText(lIt.key().toStdString()) + "\" in this version");
    }
    return true;
  }

  bool Present(const QJsonObject& pObject, const JsonPath& pPath, const char* pKey) {
    if (pObject.contains(Key(pKey))) return true;
    return Fail(At(pPath, pKey), "is required and missing");
  }

  bool String(const QJsonObject& pObject, const JsonPath& pPath, const char* pKey, bool pRequired,
              std::string& pOut) {
    if (!pObject.contains(Key(pKey))) return !pRequired || Present(pObject, pPath, pKey);
    const QJsonValue lValue = pObject.value(Key(pKey));
    if (!lValue.isString()) return Fail(At(pPath, pKey), "must be a string");
    pOut = lValue.toString().toStdString();
    return true;
  }

  // An id of letters, digits and underscores, 1 to 32 characters.
  bool Id(const QJsonObject& pObject, const JsonPath& pPath, const char* pKey, bool pRequired, std::string& pOut) {
    if (!String(pObject, pPath, pKey, pRequired, pOut)) return false;
    if (!pObject.contains(Key(pKey))) return true;
    if (pOut.empty() || pOut.size() > 32 || !IdCharacters(pOut))
      return Fail(At(pPath, pKey),
                  "'" + MessageText(pOut) + "' is not an id (1 to 32 letters, digits or underscores)");
    return true;
  }

  // A decision's id: two ids joined by a hyphen (its canvas's and its intent's).
  bool DecisionId(const QJsonObject& pObject, const JsonPath& pPath, std::string& pOut) {
    if (!String(pObject, pPath, "id", true, pOut)) return false;
    const size_t lDash = pOut.find('-');
    const bool lGood = pOut.size() <= 65 && lDash != std::string::npos && lDash > 0 && lDash + 1 < pOut.size() &&
                       IdCharacters(pOut.substr(0, lDash)) && IdCharacters(pOut.substr(lDash + 1));
    if (!lGood)
      return Fail(At(pPath, "id"), "'" + MessageText(pOut) + "' is not a framing decision id (CANVAS-INTENT)");
    return true;
  }

  bool Real(const QJsonObject& pObject, const JsonPath& pPath, const char* pKey, double& pOut) {
    if (!Present(pObject, pPath, pKey)) return false;
    const QJsonValue lValue = pObject.value(Key(pKey));
    if (!lValue.isDouble() || !std::isfinite(lValue.toDouble())) return Fail(At(pPath, pKey), "must be a number");
    pOut = lValue.toDouble();
    return true;
  }

  // Sizes in pixels are bounded by what a camera can have, so that no later
  // arithmetic on them overflows or loses whole pixels.
  static constexpr double kMaxPixels = 1 << 20;

  bool Size(const QJsonValue& pValue, const JsonPath& pPath, bool pWhole, FdlSize& pOut, bool pPixels = true) {
    QJsonObject lObject;
    if (!Object(pValue, pPath, {"width", "height"}, lObject)) return false;
    FdlSize lSize;
    for (const char* lKey : {"width", "height"}) {
      double& lOut = lKey[0] == 'w' ? lSize.width : lSize.height;
      if (!Real(lObject, pPath, lKey, lOut)) return false;
      if (pWhole && lOut != std::floor(lOut)) return Fail(At(pPath, lKey), "must be a whole number of pixels");
      if (!(lOut > 0)) return Fail(At(pPath, lKey), "must be above 0, got " + Number(lOut));
      if (pPixels && lOut > kMaxPixels)
        return Fail(At(pPath, lKey), "must be at most " + Number(kMaxPixels) + " pixels, got " + Number(lOut));
    }
    pOut = lSize;
    return true;
  }

  bool Point(const QJsonValue& pValue, const JsonPath& pPath, FdlPoint& pOut) {
    QJsonObject lObject;
    if (!Object(pValue, pPath, {"x", "y"}, lObject)) return false;
    return Real(lObject, pPath, "x", pOut.x) && Real(lObject, pPath, "y", pOut.y);
  }

  // An optional rectangle, given as a size and the anchor that must come with it.
  bool Area(const QJsonObject& pObject, const JsonPath& pPath, const char* pSize, const char* pAnchor, bool& pHas,
            FdlSize& pDimensions, FdlPoint& pPoint) {
    pHas = pObject.contains(Key(pSize));
    if (!pHas) {
      if (pObject.contains(Key(pAnchor)))
        return Fail(At(pPath, pAnchor), "is given without \"" + std::string(pSize) + "\"");
      return true;
    }
    return Size(pObject.value(Key(pSize)), At(pPath, pSize), false, pDimensions) &&
           Present(pObject, pPath, pAnchor) && Point(pObject.value(Key(pAnchor)), At(pPath, pAnchor), pPoint);
  }

  bool Array(const QJsonObject& pObject, const JsonPath& pPath, const char* pKey, QJsonArray& pOut) {
    if (!pObject.contains(Key(pKey))) return true;
    const QJsonValue lValue = pObject.value(Key(pKey));
    if (!lValue.isArray()) return Fail(At(pPath, pKey), "must be an array");
    pOut = lValue.toArray();
    return true;
  }

  // A rectangle must lie inside its canvas (a hundredth of a pixel of slack
  // for sizes that were worked out in floating point).
  bool Inside(const JsonPath& pPath, const char* pWhat, const FdlSize& pSize, const FdlPoint& pAt,
              const FdlCanvas& pCanvas) {
    const double e = 0.01;
    if (pAt.x < -e || pAt.y < -e || pAt.x + pSize.width > pCanvas.dimensions.width + e ||
        pAt.y + pSize.height > pCanvas.dimensions.height + e)
      return Fail(pPath, std::string(pWhat) + " " + Number(pSize.width) + " x " + Number(pSize.height) + " at (" +
                             Number(pAt.x) + ", " + Number(pAt.y) + ") does not lie inside its canvas of " +
                             Number(pCanvas.dimensions.width) + " x " + Number(pCanvas.dimensions.height));
    return true;
  }

  bool Intent(const QJsonValue& pValue, const JsonPath& pPath, FdlIntent& pOut) {
    QJsonObject lObject;
    if (!Object(pValue, pPath, {"id", "label", "aspect_ratio", "protection"}, lObject) ||
        !Id(lObject, pPath, "id", true, pOut.id) || !String(lObject, pPath, "label", false, pOut.label) ||
        !Present(lObject, pPath, "aspect_ratio") ||
        !Size(lObject.value(Key("aspect_ratio")), At(pPath, "aspect_ratio"), true, pOut.aspect, false))
      return false;
    if (lObject.contains(Key("protection"))) {
      if (!Real(lObject, pPath, "protection", pOut.protection)) return false;
      if (pOut.protection < 0 || pOut.protection >= 1)
        return Fail(At(pPath, "protection"), "must be a share from 0 to below 1, got " + Number(pOut.protection));
    }
    return true;
  }

  bool Decision(const QJsonValue& pValue, const JsonPath& pPath, const FdlCanvas& pCanvas, FdlDecision& pOut) {
    QJsonObject lObject;
    pOut.path = PathText(pPath);
    if (!Object(pValue, pPath,
                {"id", "label", "framing_intent_id", "dimensions", "anchor_point", "protection_dimensions",
                 "protection_anchor_point"},
                lObject) ||
        !DecisionId(lObject, pPath, pOut.id) || !String(lObject, pPath, "label", false, pOut.label) ||
        !Id(lObject, pPath, "framing_intent_id", true, pOut.intentId) || !Present(lObject, pPath, "dimensions") ||
        !Size(lObject.value(Key("dimensions")), At(pPath, "dimensions"), false, pOut.dimensions) ||
        !Present(lObject, pPath, "anchor_point") ||
        !Point(lObject.value(Key("anchor_point")), At(pPath, "anchor_point"), pOut.anchor) ||
        !Area(lObject, pPath, "protection_dimensions", "protection_anchor_point", pOut.hasProtection,
              pOut.protectionDimensions, pOut.protectionAnchor))
      return false;
    if (!Inside(At(pPath, "dimensions"), "the decision", pOut.dimensions, pOut.anchor, pCanvas)) return false;
    if (pOut.hasProtection && !Inside(At(pPath, "protection_dimensions"), "the protection area",
                                      pOut.protectionDimensions, pOut.protectionAnchor, pCanvas))
      return false;
    return true;
  }

  bool Canvas(const QJsonValue& pValue, const JsonPath& pPath, FdlCanvas& pOut) {
    QJsonObject lObject;
    if (!Object(pValue, pPath,
                {"id", "label", "source_canvas_id", "dimensions", "effective_dimensions", "effective_anchor_point",
                 "photosite_dimensions", "physical_dimensions", "anamorphic_squeeze", "framing_decisions"},
                lObject) ||
        !Id(lObject, pPath, "id", true, pOut.id) || !String(lObject, pPath, "label", false, pOut.label) ||
        !Id(lObject, pPath, "source_canvas_id", true, pOut.sourceId) || !Present(lObject, pPath, "dimensions") ||
        !Size(lObject.value(Key("dimensions")), At(pPath, "dimensions"), true, pOut.dimensions) ||
        !Area(lObject, pPath, "effective_dimensions", "effective_anchor_point", pOut.hasEffective,
              pOut.effectiveDimensions, pOut.effectiveAnchor))
      return false;
    if (pOut.hasEffective && !Inside(At(pPath, "effective_dimensions"), "the effective area",
                                     pOut.effectiveDimensions, pOut.effectiveAnchor, pOut))
      return false;
    if (lObject.contains(Key("anamorphic_squeeze"))) {
      if (!Real(lObject, pPath, "anamorphic_squeeze", pOut.squeeze)) return false;
      if (!(pOut.squeeze > 0))
        return Fail(At(pPath, "anamorphic_squeeze"), "must be above 0, got " + Number(pOut.squeeze));
    }
    QJsonArray lDecisions;
    if (!Array(lObject, pPath, "framing_decisions", lDecisions)) return false;
    for (int i = 0; i < lDecisions.size(); ++i) {
      FdlDecision lDecision;
      if (!Decision(lDecisions[i], At(At(pPath, "framing_decisions"), i), pOut, lDecision)) return false;
      pOut.decisions.push_back(lDecision);
    }
    return true;
  }

  bool Document(const QJsonObject& pRoot, FdlDocument& pOut) {
    const JsonPath lRoot;
    QJsonObject lObject;
    if (!Object(pRoot, lRoot,
                {"uuid", "version", "fdl_creator", "default_framing_intent", "framing_intents", "contexts",
                 "canvas_templates"},
                lObject) ||
        !String(lObject, lRoot, "uuid", true, pOut.uuid) || !Present(lObject, lRoot, "version"))
      return false;
    const JsonPath lVersionPath = At(lRoot, "version");
    QJsonObject lVersion;
    double lMajor = 0, lMinor = 0;
    if (!Object(lObject.value(Key("version")), lVersionPath, {"major", "minor"}, lVersion) ||
        !Real(lVersion, lVersionPath, "major", lMajor) || !Real(lVersion, lVersionPath, "minor", lMinor))
      return false;
    if (lMajor != 1 || (lMinor != 0 && lMinor != 1))
      return Fail(lVersionPath, "version " + Number(lMajor) + "." + Number(lMinor) +
                                    " is not read here (this reader reads 1.0 and 1.1)");
    pOut.major = 1;
    pOut.minor = static_cast<int>(lMinor);
    if (!String(lObject, lRoot, "fdl_creator", false, pOut.creator) ||
        !Id(lObject, lRoot, "default_framing_intent", false, pOut.defaultIntent))
      return false;

    QJsonArray lIntents, lContexts, lTemplates;
    if (!Array(lObject, lRoot, "framing_intents", lIntents) || !Array(lObject, lRoot, "contexts", lContexts) ||
        !Array(lObject, lRoot, "canvas_templates", lTemplates))
      return false;
    std::set<std::string> lIntentIds;
    for (int i = 0; i < lIntents.size(); ++i) {
      FdlIntent lIntent;
      const JsonPath lPath = At(At(lRoot, "framing_intents"), i);
      if (!Intent(lIntents[i], lPath, lIntent)) return false;
      if (!lIntentIds.insert(lIntent.id).second)
        return Fail(At(lPath, "id"), "the framing intent id '" + lIntent.id + "' is used twice");
      pOut.intents.push_back(lIntent);
    }
    if (!pOut.defaultIntent.empty() && !lIntentIds.count(pOut.defaultIntent))
      return Fail(At(lRoot, "default_framing_intent"),
                  "names the framing intent '" + pOut.defaultIntent + "', which the file does not hold");

    std::set<std::string> lCanvasIds, lDecisionIds;
    for (int c = 0; c < lContexts.size(); ++c) {
      const JsonPath lPath = At(At(lRoot, "contexts"), c);
      QJsonObject lContextObject;
      FdlContext lContext;
      std::string lCreator;
      QJsonArray lCanvases;
      if (!Object(lContexts[c], lPath, {"label", "context_creator", "canvases"}, lContextObject) ||
          !String(lContextObject, lPath, "label", false, lContext.label) ||
          !String(lContextObject, lPath, "context_creator", false, lCreator) ||
          !Array(lContextObject, lPath, "canvases", lCanvases))
        return false;
      for (int i = 0; i < lCanvases.size(); ++i) {
        const JsonPath lCanvasPath = At(At(lPath, "canvases"), i);
        FdlCanvas lCanvas;
        if (!Canvas(lCanvases[i], lCanvasPath, lCanvas)) return false;
        if (!lCanvasIds.insert(lCanvas.id).second)
          return Fail(At(lCanvasPath, "id"), "the canvas id '" + lCanvas.id + "' is used twice");
        for (size_t d = 0; d < lCanvas.decisions.size(); ++d) {
          const JsonPath lDecisionPath = At(At(lCanvasPath, "framing_decisions"), static_cast<int>(d));
          const FdlDecision& lDecision = lCanvas.decisions[d];
          if (!lIntentIds.count(lDecision.intentId))
            return Fail(At(lDecisionPath, "framing_intent_id"),
                        "names the framing intent '" + lDecision.intentId + "', which the file does not hold");
          if (!lDecisionIds.insert(lDecision.id).second)
            return Fail(At(lDecisionPath, "id"), "the framing decision id '" + lDecision.id + "' is used twice");
        }
        lContext.canvases.push_back(lCanvas);
      }
      pOut.contexts.push_back(lContext);
    }
    // A source canvas may be any canvas of the file, itself included.
    for (size_t c = 0; c < pOut.contexts.size(); ++c)
      for (size_t i = 0; i < pOut.contexts[c].canvases.size(); ++i)
        if (!lCanvasIds.count(pOut.contexts[c].canvases[i].sourceId))
          return Fail(
              At(At(At(At(At(lRoot, "contexts"), static_cast<int>(c)), "canvases"), static_cast<int>(i)),
                 "source_canvas_id"),
              "names the canvas '" + pOut.contexts[c].canvases[i].sourceId + "', which the file does not hold");
    return true;
  }
};

}  // namespace

const FdlIntent* FdlDocument::Intent(const std::string& pId) const {
  for (const FdlIntent& lIntent : intents)
    if (lIntent.id == pId) return &lIntent;
  return nullptr;
}

bool ReadFdl(const std::string& pPath, FdlDocument& pDocument, std::string& pError) {
  QByteArray lText;
  QJsonDocument lJson;
  if (!ReadJsonFile(pPath, lText, lJson, pError)) return false;
  Checker lChecker;
  FdlDocument lDocument;
  if (!lChecker.Document(lJson.object(), lDocument)) {
    pError = pPath + ":" + LineColumn(lText, LocateJson(lText, lChecker.failurePath)) + ": " + lChecker.failure;
    return false;
  }
  pDocument = lDocument;
  return true;
}

}  // namespace vthud

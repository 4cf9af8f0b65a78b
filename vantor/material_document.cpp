#include "material_document.h"

#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <climits>
#include <cmath>

namespace vantor {

namespace {

bool IsIdentifier(const QString& pName) {
  if (pName.isEmpty() || pName.size() > 64) return false;
  for (int i = 0; i < pName.size(); ++i) {
    const QChar c = pName[i];
    const bool lLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!lLetter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  // Names the generated stages use for themselves.
  return !pName.startsWith("gl_") && !pName.startsWith("vantor") && pName != "iPosition" &&
         pName != "iTexCoord0" && pName != "oPosition" && pName != "sampleParameterRGBA" && pName != "main" &&
         pName != "displacement" && pName != "surface" && !pName.contains("__");
}

class Reader {
 public:
  Reader(const std::string& pText, MaterialDocument* pDocument)
      : mXml(QByteArray(pText.data(), static_cast<int>(pText.size()))), mDoc(*pDocument) {}

  bool Read(std::string* pError) {
    mDoc = MaterialDocument{};
    if (mXml.readNextStartElement()) {
      if (mXml.name() != QLatin1String("vantorShader"))
        Fail("the root element is <" + mXml.name().toString() + ">, not <vantorShader>");
      else
        ReadShader();
    } else if (!mXml.hasError()) {
      Fail("no <vantorShader> element");
    }
    if (!mXml.hasError()) {
      // Anything after the root is an error too.
      while (!mXml.atEnd()) mXml.readNext();
    }
    if (!mXml.hasError()) return true;
    if (pError)
      *pError = "material document line " + std::to_string(mXml.lineNumber()) + ", column " +
                std::to_string(mXml.columnNumber()) + ": " + mXml.errorString().toStdString();
    return false;
  }

 private:
  void Fail(const QString& pMessage) {
    if (!mXml.hasError()) mXml.raiseError(pMessage);
  }

  QString Attribute(const char* pName, bool pRequired = true) {
    const QString lValue = mXml.attributes().value(QLatin1String(pName)).toString();
    if (pRequired && !mXml.attributes().hasAttribute(QLatin1String(pName)))
      Fail("<" + mXml.name().toString() + "> has no '" + pName + "' attribute");
    return lValue;
  }

  bool Flag(const char* pName, bool pDefault) {
    if (!mXml.attributes().hasAttribute(QLatin1String(pName))) return pDefault;
    const QString lValue = Attribute(pName);
    if (lValue == QLatin1String("true")) return true;
    if (lValue != QLatin1String("false"))
      Fail(QString("'") + pName + "' must be 'true' or 'false', not '" + lValue + "'");
    return false;
  }

  // An element that carries only attributes.
  void EndEmpty() {
    const QString lName = mXml.name().toString();
    const QString lText = mXml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    if (!lText.trimmed().isEmpty()) Fail("<" + lName + "> holds text");
  }

  void Name(const QString& pName) {
    if (!IsIdentifier(pName)) return Fail("'" + pName + "' is not a usable GLSL name");
    for (const auto& lSymbol : mDoc.symbols)
      if (lSymbol.name == pName.toStdString()) return Fail("the name '" + pName + "' is used twice");
    for (const auto& lLobe : mDoc.lobes)
      if (lLobe.name == pName.toStdString()) return Fail("the name '" + pName + "' is used twice");
  }

  void ReadShader() {
    bool lNumber = false;
    mDoc.version = Attribute("version").toInt(&lNumber);
    if (!mXml.hasError() && !lNumber) return Fail("the version is not a number");
    bool lHaveDisplacement = false, lHaveSurface = false;
    while (!mXml.hasError() && mXml.readNextStartElement()) {
      const QStringRef lName = mXml.name();
      if (lName == QLatin1String("input")) {
        ReadInputs();
      } else if (lName == QLatin1String("surface")) {
        ReadLobes();
      } else if (lName == QLatin1String("symbol")) {
        ReadSymbol();
      } else if (lName == QLatin1String("implementation")) {
        const QString lKind = Attribute("kind");
        bool* lSeen = lKind == QLatin1String("glslDisplacement") ? &lHaveDisplacement
                      : lKind == QLatin1String("glslSurface")    ? &lHaveSurface
                                                                 : nullptr;
        if (mXml.hasError()) return;
        if (!lSeen) return Fail("unknown implementation kind '" + lKind + "'");
        if (*lSeen) return Fail("a second '" + lKind + "' implementation");
        *lSeen = true;
        const std::string lCode = mXml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).toStdString();
        (lSeen == &lHaveSurface ? mDoc.surface : mDoc.displacement) = lCode;
      } else {
        return Fail("unexpected element <" + lName.toString() + ">");
      }
    }
    if (mXml.hasError()) return;
    if (!lHaveDisplacement) return Fail("no 'glslDisplacement' implementation");
    if (!lHaveSurface) return Fail("no 'glslSurface' implementation");
    if (mDoc.lobes.empty()) return Fail("the surface has no lobe");
  }

  void ReadInputs() {
    while (!mXml.hasError() && mXml.readNextStartElement()) {
      if (mXml.name() != QLatin1String("element"))
        return Fail("unexpected element <" + mXml.name().toString() + "> in <input>");
      const std::string lSemantic = Attribute("semantic").toStdString();
      if (mXml.hasError()) return;
      if (lSemantic != "position" && lSemantic != "texCoord0")
        return Fail("unknown input semantic '" + QString::fromStdString(lSemantic) + "'");
      for (const auto& lInput : mDoc.inputs)
        if (lInput == lSemantic)
          return Fail("the input '" + QString::fromStdString(lSemantic) + "' is listed twice");
      mDoc.inputs.push_back(lSemantic);
      EndEmpty();
    }
  }

  void ReadLobes() {
    while (!mXml.hasError() && mXml.readNextStartElement()) {
      if (mXml.name() != QLatin1String("brdf"))
        return Fail("unexpected element <" + mXml.name().toString() + "> in <surface>");
      MaterialLobe lLobe;
      lLobe.model = Attribute("model").toStdString();
      const QString lName = Attribute("name");
      if (mXml.hasError()) return;
      if (lLobe.model != "constant")
        return Fail("unknown brdf model '" + QString::fromStdString(lLobe.model) + "'");
      Name(lName);
      lLobe.name = lName.toStdString();
      mDoc.lobes.push_back(lLobe);
      EndEmpty();
    }
  }

  void ReadSymbol() {
    MaterialSymbol lSymbol;
    lSymbol.type = Attribute("type").toStdString();
    const QString lName = Attribute("name");
    if (mXml.hasError()) return;
    const bool lColor = lSymbol.type == "color";
    if (!lColor && lSymbol.type != "float")
      return Fail("unknown symbol type '" + QString::fromStdString(lSymbol.type) + "'");
    Name(lName);
    lSymbol.name = lName.toStdString();
    lSymbol.sampler = Flag("sampler", false);
    lSymbol.display = Flag("display", true);
    if (lSymbol.sampler && !lColor) return Fail("only a color symbol can be a sampler");
    if (mXml.attributes().hasAttribute(QLatin1String("default"))) {
      const QStringList lParts = Attribute("default").split(' ', Qt::SkipEmptyParts);
      const int lWanted = lColor ? 3 : 1;
      if (lParts.size() != lWanted && !(lColor && lParts.size() == 4))
        return Fail("the default of '" + lName + "' needs " + (lColor ? "3 or 4 numbers" : "one number"));
      for (int i = 0; i < lParts.size(); ++i) {
        bool lOk = false;
        lSymbol.defaultValue[i] = lParts[i].toFloat(&lOk);
        if (!lOk || !std::isfinite(lSymbol.defaultValue[i]))
          return Fail("the default of '" + lName + "' holds '" + lParts[i] + "', not a number");
      }
    }
    if (mXml.hasError()) return;
    mDoc.symbols.push_back(lSymbol);
    EndEmpty();
  }

  QXmlStreamReader mXml;
  MaterialDocument& mDoc;
};

}  // namespace

bool ReadMaterialDocument(const std::string& pText, MaterialDocument* pDocument, std::string* pError) {
  if (pText.size() > static_cast<size_t>(INT_MAX / 2)) {
    if (pError) *pError = "material document of " + std::to_string(pText.size()) + " bytes is too long";
    return false;
  }
  MaterialDocument lScratch;
  return Reader(pText, pDocument ? pDocument : &lScratch).Read(pError);
}

}  // namespace vantor

#include "property_json.h"

#include "property_edit.h"

#include <QtCore/QByteArray>
#include <QtCore/QJsonArray>
#include <QtCore/QString>

#include <cmath>
#include <cstdio>

namespace vthost {

namespace {

struct TypeWord {
  FBPropertyType type;
  const char* name;
};
// What PropertyCreate makes, by the names the properties report.
const TypeWord kCreatable[] = {{kFBPT_bool, "Bool"},
                               {kFBPT_int, "Integer"},
                               {kFBPT_double, "Number"},
                               {kFBPT_charptr, "String"},
                               {kFBPT_ColorRGBA, "ColorAndAlpha"},
                               {kFBPT_TimeCode, "TimeCode"},
                               {kFBPT_Time, "Time"},
                               {kFBPT_object, "Object"}};

std::string Exact(double pValue) {
  char lBuffer[40];
  snprintf(lBuffer, sizeof lBuffer, "%.17g", pValue);
  return lBuffer;
}

bool Finite(const QJsonValue& pValue) { return pValue.isDouble() && std::isfinite(pValue.toDouble()); }

// What a value of the type looks like in a file, for messages.
const char* Shape(FBPropertyType pType) {
  switch (pType) {
    case kFBPT_bool: return "true or false";
    case kFBPT_int: return "a whole number from -2147483648 to 2147483647";
    case kFBPT_double: return "a number";
    case kFBPT_charptr: return "a string";
    case kFBPT_ColorRGBA: return "[red, green, blue, alpha], four numbers";
    case kFBPT_TimeCode: return "{\"seconds\": number, \"frame\": number, \"rate\": number}";
    case kFBPT_Time: return "a string of decimal ticks";
    default: return "a value of its type";
  }
}

// The property's text form of a typed JSON value.
bool JsonToValueText(const QJsonValue& pValue, FBPropertyType pType, std::string& pText) {
  switch (pType) {
    case kFBPT_bool:
      if (!pValue.isBool()) return false;
      pText = pValue.toBool() ? "true" : "false";
      return true;
    case kFBPT_int: {
      if (!Finite(pValue)) return false;
      const double d = pValue.toDouble();
      if (d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return false;
      pText = std::to_string(static_cast<int>(d));
      return true;
    }
    case kFBPT_double:
      if (!Finite(pValue)) return false;
      pText = Exact(pValue.toDouble());
      return true;
    case kFBPT_charptr: return JsonToText(pValue, pText);
    case kFBPT_ColorRGBA: {
      const QJsonArray lArray = pValue.toArray();
      if (!pValue.isArray() || lArray.size() != 4) return false;
      pText.clear();
      for (const QJsonValue& c : lArray) {
        if (!Finite(c)) return false;
        pText += (pText.empty() ? "" : " ") + Exact(c.toDouble());
      }
      return true;
    }
    case kFBPT_TimeCode: {
      const QJsonObject lObject = pValue.toObject();
      if (!pValue.isObject() || lObject.size() != 3) return false;
      pText.clear();
      for (const char* lKey : {"seconds", "frame", "rate"}) {
        const QJsonValue lPart = lObject.value(QLatin1String(lKey));
        if (!Finite(lPart)) return false;
        pText += (pText.empty() ? "" : " ") + Exact(lPart.toDouble());
      }
      return true;
    }
    case kFBPT_Time:
      if (!pValue.isString()) return false;
      pText = pValue.toString().toStdString();
      return true;
    default: return false;
  }
}

}  // namespace

QJsonValue TextToJson(const std::string& pText) {
  const QByteArray lBytes(pText.data(), static_cast<int>(pText.size()));
  const QString lText = QString::fromUtf8(lBytes);
  // Qt's decoder replaces what is not UTF-8; then only the bytes keep the text.
  if (lText.toUtf8() == lBytes) return lText;
  QJsonObject lRaw;
  lRaw.insert(QLatin1String("base64"), QString::fromLatin1(lBytes.toBase64()));
  return lRaw;
}

bool JsonToText(const QJsonValue& pValue, std::string& pText) {
  if (pValue.isString()) {
    pText = pValue.toString().toStdString();
    return true;
  }
  const QJsonObject lObject = pValue.toObject();
  const QJsonValue lRaw = lObject.value(QLatin1String("base64"));
  if (!pValue.isObject() || lObject.size() != 1 || !lRaw.isString()) return false;
  const auto lDecoded =
      QByteArray::fromBase64Encoding(lRaw.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
  if (!lDecoded) return false;
  pText.assign(lDecoded.decoded.constData(), static_cast<size_t>(lDecoded.decoded.size()));
  return true;
}

JsonKind KindOf(FBProperty* pProperty) {
  switch (pProperty->GetPropertyType()) {
    case kFBPT_bool:
    case kFBPT_int:
    case kFBPT_double:
    case kFBPT_charptr:
    case kFBPT_ColorRGBA:
    case kFBPT_TimeCode:
    case kFBPT_Time: return JsonKind::Value;
    case kFBPT_object: return dynamic_cast<FBPropertyListObject*>(pProperty) ? JsonKind::List : JsonKind::None;
    default: return JsonKind::None;
  }
}

bool ValueToJson(FBProperty* pProperty, QJsonValue& pValue, std::string& pError) {
  auto Number = [&](double pNumber) {
    if (std::isfinite(pNumber)) return true;
    pError = "holds " + Exact(pNumber) + ", which a file cannot keep";
    return false;
  };
  switch (pProperty->GetPropertyType()) {
    case kFBPT_bool: {
      bool b = false;
      pProperty->GetData(&b, sizeof b);
      pValue = b;
      return true;
    }
    case kFBPT_int: {
      int i = 0;
      pProperty->GetData(&i, sizeof i);
      pValue = i;
      return true;
    }
    case kFBPT_double: {
      double d = 0.0;
      pProperty->GetData(&d, sizeof d);
      pValue = d;
      return Number(d);
    }
    case kFBPT_charptr: pValue = TextToJson(pProperty->AsString().Buffer()); return true;
    case kFBPT_ColorRGBA: {
      FBColorAndAlpha c;
      pProperty->GetData(&c, sizeof c);
      QJsonArray lArray;
      for (int i = 0; i < 4; ++i) {
        if (!Number(c[i])) return false;
        lArray.append(c[i]);
      }
      pValue = lArray;
      return true;
    }
    case kFBPT_TimeCode: {
      FBTimeCode t;
      pProperty->GetData(&t, sizeof t);
      if (!Number(t.GetSeconds()) || !Number(t.GetFrame()) || !Number(t.GetRate())) return false;
      QJsonObject lObject;
      lObject.insert(QLatin1String("seconds"), t.GetSeconds());
      lObject.insert(QLatin1String("frame"), t.GetFrame());
      lObject.insert(QLatin1String("rate"), static_cast<double>(t.GetRate()));
      pValue = lObject;
      return true;
    }
    case kFBPT_Time: pValue = QString::fromLatin1(pProperty->AsString().Buffer()); return true;
    default: pError = "has no file form"; return false;
  }
}

bool TypeFromName(const std::string& pName, FBPropertyType& pType) {
  for (const TypeWord& t : kCreatable)
    if (pName == t.name) {
      pType = t.type;
      return true;
    }
  return false;
}

QJsonObject MakeEntry(FBProperty* pProperty, const QJsonValue& pValue, bool pCustom) {
  QJsonObject lEntry;
  lEntry.insert(QLatin1String("name"), TextToJson(pProperty->GetName()));
  lEntry.insert(QLatin1String("type"), QString::fromUtf8(pProperty->GetPropertyTypeName()));
  lEntry.insert(QLatin1String("value"), pValue);
  if (auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(pProperty))
    lEntry.insert(QLatin1String("animated"), lAnimatable->IsAnimated());
  if (pCustom) lEntry.insert(QLatin1String("custom"), true);
  return lEntry;
}

bool ReadEntry(const QJsonValue& pJson, PropertyEntry& pEntry, std::string& pField, std::string& pError) {
  pField.clear();
  if (!pJson.isObject()) {
    pError = "a property entry must be an object {\"name\", \"type\", \"value\"}";
    return false;
  }
  const QJsonObject lObject = pJson.toObject();
  for (auto lIt = lObject.begin(); lIt != lObject.end(); ++lIt) {
    const std::string lKey = lIt.key().toStdString();
    if (lKey != "name" && lKey != "type" && lKey != "value" && lKey != "animated" && lKey != "custom") {
      pField = lKey;
      pError = "unknown member '" + vthud::MessageText(lKey) +
               "' in a property entry (known: name, type, value, animated, custom)";
      return false;
    }
  }
  if (!JsonToText(lObject.value(QLatin1String("name")), pEntry.name) || pEntry.name.empty()) {
    pField = "name";
    pError = "a property entry needs its \"name\"";
    return false;
  }
  const QJsonValue lType = lObject.value(QLatin1String("type"));
  if (!lType.isString()) {
    pField = "type";
    pError = "property '" + vthud::MessageText(pEntry.name) + "' needs its \"type\" (Bool, Integer, Number, ...)";
    return false;
  }
  pEntry.type = lType.toString().toStdString();
  if (!lObject.contains(QLatin1String("value"))) {
    pError = "property '" + vthud::MessageText(pEntry.name) + "' needs a \"value\"";
    return false;
  }
  pEntry.value = lObject.value(QLatin1String("value"));
  for (const char* lFlag : {"animated", "custom"}) {
    const QJsonValue lValue = lObject.value(QLatin1String(lFlag));
    if (!lValue.isUndefined() && !lValue.isBool()) {
      pField = lFlag;
      pError = "\"" + std::string(lFlag) + "\" of property '" + vthud::MessageText(pEntry.name) +
               "' must be true or false";
      return false;
    }
  }
  pEntry.hasAnimated = lObject.contains(QLatin1String("animated"));
  pEntry.animated = lObject.value(QLatin1String("animated")).toBool();
  pEntry.custom = lObject.value(QLatin1String("custom")).toBool();
  return true;
}

bool ApplyEntry(FBProperty* pProperty, const PropertyEntry& pEntry, const std::string& pLabel, std::string& pField,
                std::string& pError) {
  pField.clear();
  if (pEntry.type != pProperty->GetPropertyTypeName()) {
    pField = "type";
    pError = pLabel + " is " + pProperty->GetPropertyTypeName() + " here, the file says " +
             vthud::MessageText(pEntry.type);
    return false;
  }
  auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(pProperty);
  if (pEntry.hasAnimated && !lAnimatable) {
    pField = "animated";
    pError = pLabel + " cannot be animated";
    return false;
  }
  std::string lText;
  if (!JsonToValueText(pEntry.value, pProperty->GetPropertyType(), lText)) {
    pField = "value";
    pError =
        pLabel + " expects " + Shape(pProperty->GetPropertyType()) + " (" + pProperty->GetPropertyTypeName() + ")";
    return false;
  }
  if (!SetPropertyText(pProperty, lText, pLabel, false, pError)) {
    pField = "value";
    return false;
  }
  if (pEntry.hasAnimated) lAnimatable->SetAnimated(pEntry.animated);
  return true;
}

}  // namespace vthost

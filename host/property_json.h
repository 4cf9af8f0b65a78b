#ifndef VTHOST_PROPERTY_JSON_H
#define VTHOST_PROPERTY_JSON_H
// Properties as typed JSON, shared by scene and layout files. One entry per
// property:
//
//   {"name": "Aspect", "type": "Number", "value": 2.35, "animated": false}
//
// "value" by type: Bool true/false; Integer a whole number; Number a number;
// String a string (bytes that are not UTF-8 as {"base64": "..."}, so nothing
// is lost); ColorAndAlpha [red, green, blue, alpha]; TimeCode {"seconds",
// "frame", "rate"}; Time its ticks as a decimal string (64 bits do not fit a
// JSON number); Object the names of the listed objects. "animated" is there
// for animatable properties only; "custom": true marks a property that the
// object made for itself (PropertyCreate) and that a load makes again.
#include <fbsdk/fbsdk.h>

#include <QtCore/QJsonObject>
#include <QtCore/QJsonValue>

#include <string>

namespace vthost {

QJsonValue TextToJson(const std::string& pText);
bool JsonToText(const QJsonValue& pValue, std::string& pText);

enum class JsonKind { Value, List, None };
// How a file keeps a property: by value, as a list of object names, or not at all
// (events, and object references held by value, which have no file form).
JsonKind KindOf(FBProperty* pProperty);

// The property's value as typed JSON; false for a number JSON cannot hold (NaN, infinity).
bool ValueToJson(FBProperty* pProperty, QJsonValue& pValue, std::string& pError);

// The property types a component can make for itself, by type name ("Bool", ...).
bool TypeFromName(const std::string& pName, FBPropertyType& pType);

struct PropertyEntry {
  std::string name, type;
  QJsonValue value;
  bool hasAnimated = false, animated = false, custom = false;
};

// The entry for a property (not for a list: pValue is what to write).
QJsonObject MakeEntry(FBProperty* pProperty, const QJsonValue& pValue, bool pCustom);
// Checks an entry's shape; pField names the member that is wrong, when one is.
bool ReadEntry(const QJsonValue& pJson, PropertyEntry& pEntry, std::string& pField, std::string& pError);

// Sets a property from an entry that is not a list: type name, value and
// animated flag, all checked before anything changes. pLabel names the
// property in messages ("property 'Aspect' of 'HUD 1'").
bool ApplyEntry(FBProperty* pProperty, const PropertyEntry& pEntry, const std::string& pLabel, std::string& pField,
                std::string& pError);

}  // namespace vthost

#endif

#ifndef VTHOST_PROPERTY_EDIT_H
#define VTHOST_PROPERTY_EDIT_H
// Editing properties by their display names, as a user does in the property view.
#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

#include "message_text.h"

namespace vthost {

// Sets the property named pName of pObject from text ("true", "42", "2.35",
// colours as four numbers "1 0 0 0.5", strings as they are). On failure
// returns false with one line: an unknown name lists the nearest existing
// names; a value that does not parse names the expected type.
bool SetPropertyFromText(FBComponent* pObject, const std::string& pName, const std::string& pValue,
                         std::string& pError);

// Sets the property named pName of the camera from text, as
// SetPropertyFromText does; a name the camera lacks adds a custom property
// (a user property, as the property view's "add property" makes) whose type
// follows the text: "true" or "false" a Bool, a whole number an Integer,
// another number a Number, four numbers a ColorAndAlpha, anything else a String.
bool SetCameraPropertyFromText(FBCamera* pCamera, const std::string& pName, const std::string& pValue,
                               std::string& pError);

// The names closest to pName among the object's properties, best first.
std::vector<std::string> NearestPropertyNames(FBComponent* pObject, const std::string& pName, size_t pCount = 3);

// One line per property from pFirstIndex on, numbered from 1: name, type,
// value, range, animatable.
std::string DescribeProperties(FBComponent* pObject, int pFirstIndex = 0);

// Sets one property from text, as SetPropertyFromText does once the property
// is found. Messages name the property as pLabel ("property 'Aspect' of
// 'HUD 1'"); pWithExample adds a sample of a valid value to a type mismatch.
bool SetPropertyText(FBProperty* pProperty, const std::string& pValue, const std::string& pLabel,
                     bool pWithExample, std::string& pError);

}  // namespace vthost

#endif

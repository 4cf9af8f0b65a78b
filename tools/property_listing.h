#ifndef VTHUD_TOOLS_PROPERTY_LISTING_H
#define VTHUD_TOOLS_PROPERTY_LISTING_H
// --list-properties: the host's property description with each value's unit.
#include <fbsdk/fbsdk.h>

#include <string>

namespace vthud_tool {

// The unit a property's value is in ("px", "cm", "frames", ...), or "".
std::string UnitOf(const std::string& pName);

// One line per property of pObject from pFirstIndex on, each ending in its
// unit where it has one.
std::string ListProperties(FBComponent* pObject, int pFirstIndex);

}  // namespace vthud_tool

#endif

#include "property_listing.h"

#include <sstream>

#include "property_edit.h"

namespace vthud_tool {

namespace {
bool EndsWith(const std::string& pText, const std::string& pEnd) {
  return pText.size() >= pEnd.size() && pText.compare(pText.size() - pEnd.size(), pEnd.size(), pEnd) == 0;
}
bool StartsWith(const std::string& pText, const std::string& pStart) {
  return pText.compare(0, pStart.size(), pStart) == 0;
}
}  // namespace

std::string UnitOf(const std::string& pName) {
  if (EndsWith(pName, "Offset") || EndsWith(pName, "Offset X") || EndsWith(pName, "Offset Y") ||
      pName == "Reticle Size")
    return "px";
  if (pName == "Interoccular" || pName == "Convergence" || pName == "FocusSpecificDistance") return "cm";
  if (pName == "In Frame" || pName == "Out Frame" || pName == "Bloop Light Duration" ||
      (StartsWith(pName, "Marker ") && EndsWith(pName, " Frame")))
    return "frames";
  if (pName == "Aspect Zoom") return "% of the width";
  if (pName == "Line Width") return "px";
  if (pName == "Action Safe %" || pName == "Title Safe %") return "% of the first decision";
  if (pName == "Aspect Lines") return "width:height ratios";
  if (pName == "FocalLength") return "mm";
  if (pName == "FieldOfView" || pName == "FieldOfViewX" || pName == "FieldOfViewY") return "degrees";
  if (pName == "FilmSizeWidth" || pName == "FilmSizeHeight") return "inches";
  return std::string();
}

std::string ListProperties(FBComponent* pObject, int pFirstIndex) {
  // The host's listing has one line per property in index order; the unit
  // goes at the end of the property's line.
  std::istringstream lLines(vthost::DescribeProperties(pObject, pFirstIndex));
  std::string lText, lLine;
  for (int i = pFirstIndex; std::getline(lLines, lLine); ++i) {
    const std::string lUnit =
        i < pObject->PropertyList.GetCount() ? UnitOf(pObject->PropertyList[i]->GetName()) : "";
    lText += lLine + (lUnit.empty() ? "" : "  unit " + lUnit) + "\n";
  }
  return lText;
}

}  // namespace vthud_tool

#include "property_edit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <numeric>

namespace vthost {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Levenshtein distance over bytes, ASCII letters compared without case.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> lRow(b.size() + 1);
  std::iota(lRow.begin(), lRow.end(), size_t{0});
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t lDiagonal = lRow[0];
    lRow[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t lAbove = lRow[j];
      const size_t lCost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      lRow[j] = std::min({lRow[j] + 1, lRow[j - 1] + 1, lDiagonal + lCost});
      lDiagonal = lAbove;
    }
  }
  return lRow[b.size()];
}

// What a valid value of the type is, so that a mismatch tells how to write one.
const char* ExampleFor(FBPropertyType pType) {
  switch (pType) {
    case kFBPT_bool: return "e.g. true, false, 1 or 0";
    case kFBPT_int: return "a whole number from -2147483648 to 2147483647, e.g. 42";
    case kFBPT_double: return "a finite number, e.g. 2.35";
    case kFBPT_ColorRGBA: return "e.g. 1 0 0 0.5 for red, green, blue, alpha";
    case kFBPT_TimeCode: return "e.g. 3600 12 -30 for seconds, frame, rate";
    case kFBPT_Time: return "e.g. 46186158000 ticks";
    default: return nullptr;
  }
}

std::string TypeName(const FBProperty* pProperty) {
  const char* lName = pProperty->GetPropertyTypeName();
  return (lName && *lName) ? lName : "a value of its type";
}

std::string FormatNumber(double pValue) {
  char lBuffer[64];
  snprintf(lBuffer, sizeof lBuffer, "%g", pValue);
  return lBuffer;
}

// What a property holds, as one line.
std::string ValueText(FBProperty* pProperty) {
  switch (pProperty->GetPropertyType()) {
    case kFBPT_event: return "-";
    case kFBPT_charptr: {
      // Quoted, with quotes and backslashes escaped, so the value's ends show.
      std::string lEscaped;
      for (const char c : std::string(pProperty->AsString().Buffer())) {
        if (c == '"' || c == '\\') lEscaped += '\\';
        lEscaped += c;
      }
      return "\"" + vthud::MessageText(lEscaped) + "\"";
    }
    case kFBPT_object: {
      auto* lList = dynamic_cast<FBPropertyListObject*>(pProperty);
      if (!lList) return "-";
      std::string lText = "[";
      for (int i = 0; i < lList->GetCount(); ++i) {
        FBComponent* lEntry = lList->GetAt(i);
        lText += (i ? ", '" : "'") +
                 vthud::MessageText(lEntry ? static_cast<const char*>(lEntry->Name.GetPropertyValue()) : "?") +
                 "'";
      }
      return lText + "]";
    }
    default: return vthud::MessageText(static_cast<const char*>(pProperty->AsString()));
  }
}

// A number that takes the whole of pText; false for NaN and infinity.
bool WholeNumber(const char* pText, double& pValue, const char** pEnd) {
  char* lEnd = nullptr;
  errno = 0;
  pValue = strtod(pText, &lEnd);
  if (lEnd == pText || !std::isfinite(pValue)) return false;
  *pEnd = lEnd;
  return true;
}

// The type a custom property gets for the text it is first set to.
FBPropertyType TypeForText(const std::string& pText) {
  if (pText == "true" || pText == "false") return kFBPT_bool;
  const char* lText = pText.c_str();
  char* lEnd = nullptr;
  errno = 0;
  const long lInteger = strtol(lText, &lEnd, 10);
  if (!pText.empty() && *lEnd == '\0' && errno == 0 && lInteger >= INT_MIN && lInteger <= INT_MAX)
    return kFBPT_int;
  double lNumber;
  const char* lAfter = nullptr;
  if (WholeNumber(lText, lNumber, &lAfter) && *lAfter == '\0') return kFBPT_double;
  int lCount = 0;
  for (const char* p = lText; lCount < 5;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    if (!WholeNumber(p, lNumber, &lAfter)) return kFBPT_charptr;
    p = lAfter;
    ++lCount;
  }
  return lCount == 4 ? kFBPT_ColorRGBA : kFBPT_charptr;
}

// Typed timecode text: whole seconds, a whole frame and a plain decimal rate
// ("3600 12 -30"). The host's own parser takes any three doubles, so "0.2 0.4
// 0.6" or "0x10 1e1 inf" would be stored as something the user did not mean.
bool PlainTimecodeText(const std::string& pText) {
  size_t i = 0, lPart = 0;
  for (; lPart < 3; ++lPart) {
    while (i < pText.size() && (pText[i] == ' ' || pText[i] == '\t')) ++i;
    if (i < pText.size() && (pText[i] == '-' || pText[i] == '+')) ++i;
    const size_t lDigits = i;
    while (i < pText.size() && isdigit(static_cast<unsigned char>(pText[i]))) ++i;
    if (i == lDigits) return false;
    if (lPart == 2 && i < pText.size() && pText[i] == '.') {
      const size_t lFraction = ++i;
      while (i < pText.size() && isdigit(static_cast<unsigned char>(pText[i]))) ++i;
      if (i == lFraction) return false;
    }
    if (i < pText.size() && pText[i] != ' ' && pText[i] != '\t') return false;
  }
  while (i < pText.size() && (pText[i] == ' ' || pText[i] == '\t')) ++i;
  return i == pText.size();
}

// Text typed for a timecode property must be plain; stored files keep the host's own reading.
bool CheckTypedTimecode(const FBProperty* pProperty, const std::string& pValue, const std::string& pLabel,
                        std::string& pError) {
  if (pProperty->GetPropertyType() != kFBPT_TimeCode || PlainTimecodeText(pValue)) return true;
  pError = pLabel + " expects a TimeCode as whole seconds, a whole frame and a rate (" +
           ExampleFor(kFBPT_TimeCode) + "), got '" + vthud::MessageText(pValue) + "'";
  return false;
}

const char* CreateTypeName(FBPropertyType pType) {
  switch (pType) {
    case kFBPT_bool: return "Bool";
    case kFBPT_int: return "Integer";
    case kFBPT_double: return "Number";
    case kFBPT_ColorRGBA: return "ColorAndAlpha";
    default: return "String";
  }
}

}  // namespace

bool SetPropertyText(FBProperty* pProperty, const std::string& pValue, const std::string& pLabel,
                     bool pWithExample, std::string& pError) {
  if (!pProperty) {
    pError = pLabel + " does not exist";
    return false;
  }
  const FBPropertyType lType = pProperty->GetPropertyType();
  if (lType == kFBPT_object) {
    pError = pLabel + " is a list of objects; connect objects to it instead of setting text";
    return false;
  }
  if (lType == kFBPT_event) {
    pError = pLabel + " is an event and holds no value";
    return false;
  }
  // The property reads C strings: an embedded NUL would silently cut the value.
  if (pValue.find('\0') != std::string::npos) {
    pError = pLabel + " cannot hold a NUL character";
    return false;
  }
  if (pProperty->SetString(pValue.c_str())) return true;
  pError = pLabel + " expects " + TypeName(pProperty);
  const char* lExample = ExampleFor(lType);
  if (pWithExample && lExample) pError += std::string(" (") + lExample + ")";
  pError += ", got '" + vthud::MessageText(pValue) + "'";
  return false;
}

bool SetPropertyFromText(FBComponent* pObject, const std::string& pName, const std::string& pValue,
                         std::string& pError) try {
  if (!pObject) {
    pError = "no object to set property '" + vthud::MessageText(pName) + "' on";
    return false;
  }
  FBProperty* lProperty = pObject->PropertyList.Find(pName.c_str());
  if (!lProperty) {
    pError = "unknown property '" + vthud::MessageText(pName) + "'";
    const std::vector<std::string> lNearest = NearestPropertyNames(pObject, pName);
    for (size_t i = 0; i < lNearest.size(); ++i)
      pError += (i ? ", '" : " (nearest: '") + lNearest[i] + "'" + (i + 1 == lNearest.size() ? ")" : "");
    return false;
  }
  const std::string lLabel = "property '" + vthud::MessageText(pName) + "'";
  return CheckTypedTimecode(lProperty, pValue, lLabel, pError) &&
         SetPropertyText(lProperty, pValue, lLabel, true, pError);
} catch (const std::exception& lException) {
  pError = "setting property '" + vthud::MessageText(pName) + "' failed: " + lException.what();
  return false;
}

bool SetCameraPropertyFromText(FBCamera* pCamera, const std::string& pName, const std::string& pValue,
                               std::string& pError) try {
  if (!pCamera) {
    pError = "no camera to set property '" + vthud::MessageText(pName) + "' on (the scene has no current camera)";
    return false;
  }
  const std::string lLabel = "camera property '" + vthud::MessageText(pName) + "' of '" +
                             vthud::MessageText(pCamera->Name.AsString().Buffer()) + "'";
  if (FBProperty* lProperty = pCamera->PropertyList.Find(pName.c_str()))
    return CheckTypedTimecode(lProperty, pValue, lLabel, pError) &&
           SetPropertyText(lProperty, pValue, lLabel, true, pError);
  if (pName.empty() || pName.find('\0') != std::string::npos) {
    pError = "a camera property needs a name without NUL characters";
    return false;
  }
  const FBPropertyType lType = TypeForText(pValue);
  FBProperty* lProperty = pCamera->PropertyCreate(pName.c_str(), lType, CreateTypeName(lType), false, true);
  if (!lProperty) {
    pError = "cannot add " + lLabel;
    return false;
  }
  if (!SetPropertyText(lProperty, pValue, lLabel, true, pError)) {
    pCamera->PropertyRemove(lProperty);
    return false;
  }
  return true;
} catch (const std::exception& lException) {
  pError = "setting camera property '" + vthud::MessageText(pName) + "' failed: " + lException.what();
  return false;
}

std::vector<std::string> NearestPropertyNames(FBComponent* pObject, const std::string& pName, size_t pCount) {
  std::vector<std::pair<size_t, std::string>> lScored;
  if (!pObject) return {};
  for (int i = 0; i < pObject->PropertyList.GetCount(); ++i) {
    const FBProperty* lProperty = pObject->PropertyList[i];
    if (!lProperty) continue;
    const std::string lName = lProperty->GetName();
    lScored.emplace_back(EditDistance(pName, lName), lName);
  }
  // Ties keep the property order, so the answer is stable.
  std::stable_sort(lScored.begin(), lScored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> lNames;
  for (size_t i = 0; i < lScored.size() && i < pCount; ++i) lNames.push_back(lScored[i].second);
  return lNames;
}

std::string DescribeProperties(FBComponent* pObject, int pFirstIndex) {
  if (!pObject) return std::string();
  const int lCount = pObject->PropertyList.GetCount();
  const int lFirst = std::max(pFirstIndex, 0);
  // Columns line up over the listed properties.
  size_t lNameWidth = 0, lTypeWidth = 0;
  for (int i = lFirst; i < lCount; ++i) {
    const FBProperty* lProperty = pObject->PropertyList[i];
    lNameWidth = std::max(lNameWidth, std::string(lProperty->GetName()).size());
    lTypeWidth = std::max(lTypeWidth, std::string(lProperty->GetPropertyTypeName()).size());
  }
  std::string lText;
  for (int i = lFirst; i < lCount; ++i) {
    FBProperty* lProperty = pObject->PropertyList[i];
    std::string lName = vthud::MessageText(lProperty->GetName());
    std::string lType = lProperty->GetPropertyTypeName();
    lName.resize(std::max(lName.size(), lNameWidth), ' ');
    lType.resize(std::max(lType.size(), lTypeWidth), ' ');
    char lIndex[16];
    snprintf(lIndex, sizeof lIndex, "%3d", i - lFirst + 1);
    std::string lLine = std::string(lIndex) + "  " + lName + "  " + lType + "  " + ValueText(lProperty);
    if (lProperty->HasMin() || lProperty->HasMax())
      lLine += "  range " + (lProperty->HasMin() ? FormatNumber(lProperty->GetMin()) : std::string()) + ".." +
               (lProperty->HasMax() ? FormatNumber(lProperty->GetMax()) : std::string());
    if (lProperty->IsAnimatable()) {
      lLine += "  animatable";
      auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(lProperty);
      if (lAnimatable && lAnimatable->IsAnimated()) lLine += " animated";
    }
    lText += lLine + "\n";
  }
  return lText;
}

}  // namespace vthost

// Properties: names, ranges, text forms, lists, look-up and events.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ORSDK2016 {

FBProperty::FBProperty() = default;
FBProperty::~FBProperty() = default;

void FBProperty::CreateInternal(FBComponent* pParent, const char* pName, fbExternalGetSetHandler,
                                fbExternalGetSetHandler) {
  mParent = pParent;
  mOwner = pParent;
  mName = pName;
}

const char* FBProperty::GetPropertyTypeName() const {
  switch (GetPropertyType()) {
    case kFBPT_bool: return "Bool";
    case kFBPT_int: return "Integer";
    case kFBPT_double: return "Number";
    case kFBPT_charptr: return "String";
    case kFBPT_ColorRGBA: return "ColorAndAlpha";
    case kFBPT_TimeCode: return "TimeCode";
    case kFBPT_Time: return "Time";
    case kFBPT_object: return "Object";
    case kFBPT_event: return "Event";
    default: return "";
  }
}

void FBProperty::SetMinMax(double pMin, double pMax, bool pSetMin, bool pSetMax) {
  mHasMin = pSetMin;
  mHasMax = pSetMax;
  mMin = pMin;
  mMax = pMax;
}

double FBProperty::Clamp(double pValue) const {
  if (mHasMin && pValue < mMin) return mMin;
  if (mHasMax && pValue > mMax) return mMax;
  return pValue;
}

namespace detail {
bool IsNumberType(FBPropertyType pType) {
  return pType == kFBPT_bool || pType == kFBPT_int || pType == kFBPT_double || pType == kFBPT_enum;
}
bool WriteNumber(FBPropertyType pType, double pNumber, void* pOut) {
  switch (pType) {
    case kFBPT_bool: *static_cast<bool*>(pOut) = pNumber != 0.0; return true;
    case kFBPT_int:
    case kFBPT_enum: *static_cast<int*>(pOut) = static_cast<int>(pNumber); return true;
    case kFBPT_double: *static_cast<double*>(pOut) = pNumber; return true;
    default: return false;
  }
}
}  // namespace detail

// ---- text forms: numbers with 17 significant digits so that they round-trip.
namespace {
FBString Format(const char* pFormat, double pValue) {
  char lBuffer[64];
  snprintf(lBuffer, sizeof lBuffer, pFormat, pValue);
  return FBString(lBuffer);
}
// The shortest text that reads back as the same double ("2.35", not "2.3500000000000001").
FBString Number(double pValue) {
  char lBuffer[64];
  for (int lDigits = 15; lDigits <= 17; ++lDigits) {
    snprintf(lBuffer, sizeof lBuffer, "%.*g", lDigits, pValue);
    if (strtod(lBuffer, nullptr) == pValue) break;
  }
  return FBString(lBuffer);
}
bool ParseDouble(const char*& pText, double& pValue) {
  while (*pText == ' ' || *pText == '\t' || *pText == ',') ++pText;
  if (!*pText) return false;
  char* lEnd = nullptr;
  errno = 0;
  pValue = strtod(pText, &lEnd);
  // ERANGE also flags subnormal results, which are exact values to keep.
  if (lEnd == pText || !std::isfinite(pValue) || (errno == ERANGE && pValue == 0.0)) return false;
  pText = lEnd;
  return true;
}
bool AtEnd(const char* pText) {
  while (*pText == ' ' || *pText == '\t') ++pText;
  return *pText == '\0';
}
}  // namespace

FBString FBPropertyTraits<bool>::ToString(bool v) { return FBString(v ? "true" : "false"); }
bool FBPropertyTraits<bool>::FromString(const char* s, bool& v) {
  if (!strcmp(s, "true") || !strcmp(s, "1"))
    v = true;
  else if (!strcmp(s, "false") || !strcmp(s, "0"))
    v = false;
  else
    return false;
  return true;
}
FBString FBPropertyTraits<int>::ToString(int v) {
  char lBuffer[16];
  snprintf(lBuffer, sizeof lBuffer, "%d", v);
  return FBString(lBuffer);
}
bool FBPropertyTraits<int>::FromString(const char* s, int& v) {
  char* lEnd = nullptr;
  errno = 0;
  long lValue = strtol(s, &lEnd, 10);
  if (lEnd == s || !AtEnd(lEnd) || errno == ERANGE || lValue < -2147483648L || lValue > 2147483647L) return false;
  v = static_cast<int>(lValue);
  return true;
}
FBString FBPropertyTraits<double>::ToString(double v) { return Number(v); }
bool FBPropertyTraits<double>::FromString(const char* s, double& v) {
  const char* p = s;
  return ParseDouble(p, v) && AtEnd(p);
}
FBString FBPropertyTraits<FBColorAndAlpha>::ToString(const FBColorAndAlpha& v) {
  FBString lText = Number(v[0]);
  for (int i = 1; i < 4; ++i) lText += (FBString(" ") + Number(v[i]));
  return lText;
}
bool FBPropertyTraits<FBColorAndAlpha>::FromString(const char* s, FBColorAndAlpha& v) {
  const char* p = s;
  double c[4];
  for (double& d : c)
    if (!ParseDouble(p, d)) return false;
  if (!AtEnd(p)) return false;
  v = FBColorAndAlpha(c);
  return true;
}
FBString FBPropertyTraits<FBTimeCode>::ToString(const FBTimeCode& v) {
  return Number(v.GetSeconds()) + " " + Number(v.GetFrame()) + " " + Format("%.9g", v.GetRate());
}
bool FBPropertyTraits<FBTimeCode>::FromString(const char* s, FBTimeCode& v) {
  const char* p = s;
  double lSeconds, lFrame, lRate;
  if (!ParseDouble(p, lSeconds) || !ParseDouble(p, lFrame) || !ParseDouble(p, lRate) || !AtEnd(p)) return false;
  v = FBTimeCode(static_cast<float>(lRate));
  v.SetRaw(lSeconds, lFrame);
  return true;
}
FBTimeCode FBPropertyTraits<FBTimeCode>::FromDefault(const double* p) {
  FBTimeCode lValue;
  lValue.SetRaw(p[0], 0.0);
  return lValue;
}
FBString FBPropertyTraits<FBTime>::ToString(const FBTime& v) {
  char lBuffer[32];
  snprintf(lBuffer, sizeof lBuffer, "%lld", v.Get());
  return FBString(lBuffer);
}
bool FBPropertyTraits<FBTime>::FromString(const char* s, FBTime& v) {
  char* lEnd = nullptr;
  errno = 0;
  long long lTicks = strtoll(s, &lEnd, 10);
  if (lEnd == s || !AtEnd(lEnd) || errno == ERANGE) return false;
  v = FBTime(lTicks);
  return true;
}

// ---- animatable properties
bool FBPropertyAnimatable::Init(FBBox* pOwner, const char* pName, const char* pType, double* pInit) {
  CreateInternal(pOwner, pName);
  mTypeName = pType;
  SetDefault(pInit);
  if (pOwner) pOwner->PropertyAdd(this);
  return true;
}

const char* FBPropertyAnimatable::GetPropertyTypeName() const {
  return mTypeName.IsEmpty() ? FBProperty::GetPropertyTypeName() : mTypeName.Buffer();
}

// ---- object lists
int FBPropertyListObject::Add(FBComponent* pComponent) {
  if (!pComponent) return -1;
  if (mSingleConnect) DisconnectAllSrc();
  ConnectSrc(pComponent);
  for (int i = 0; i < GetSrcCount(); ++i)
    if (GetSrc(i) == pComponent) return i;
  return -1;
}
int FBPropertyListObject::Remove(FBComponent* pComponent) {
  for (int i = 0; i < GetSrcCount(); ++i)
    if (GetSrc(i) == pComponent) {
      DisconnectSrc(pComponent);
      return i;
    }
  return -1;
}
void FBPropertyListObject::RemoveAt(int pIndex) {
  if (FBPlug* lSrc = GetSrc(pIndex)) DisconnectSrc(lSrc);
}
FBComponent* FBPropertyListObject::operator[](int pIndex) { return dynamic_cast<FBComponent*>(GetSrc(pIndex)); }

// ---- the property list
int FBPropertyManager::Add(FBProperty* pProperty) {
  if (!pProperty) return -1;
  if (pProperty == mFirst) return 0;
  auto lIt = std::find(mRest.begin(), mRest.end(), pProperty);
  if (lIt != mRest.end()) return 1 + static_cast<int>(lIt - mRest.begin());
  if (!mFirst) {
    mFirst = pProperty;
    return 0;
  }
  mRest.push_back(pProperty);
  return GetCount() - 1;
}
void FBPropertyManager::Remove(FBProperty* pProperty) {
  if (!pProperty) return;
  mRest.erase(std::remove(mRest.begin(), mRest.end(), pProperty), mRest.end());
  if (pProperty != mFirst) return;
  mFirst = nullptr;
  if (mRest.empty()) return;
  mFirst = mRest.front();
  mRest.erase(mRest.begin());
}
FBProperty* FBPropertyManager::operator[](int pIndex) const {
  if (pIndex < 0 || pIndex >= GetCount()) return nullptr;
  return pIndex == 0 ? mFirst : mRest[static_cast<size_t>(pIndex - 1)];
}
FBProperty* FBPropertyManager::Find(const char* pPropertyName, bool) const {
  if (!pPropertyName) return nullptr;
  if (mFirst && strcmp(mFirst->GetName(), pPropertyName) == 0) return mFirst;
  for (FBProperty* lProperty : mRest)
    if (strcmp(lProperty->GetName(), pPropertyName) == 0) return lProperty;
  return nullptr;
}

// ---- events
FBPropertyEvent::FBPropertyEvent() : mSubscribers(std::make_shared<FBEventSubscribers>()) {}
FBPropertyEvent::~FBPropertyEvent() = default;

void FBPropertyEvent::ShareSubscribers(std::shared_ptr<FBEventSubscribers> pSubscribers) {
  mSubscribers = std::move(pSubscribers);
}

void FBPropertyEvent::Add(HICallback pOwner, kICallbackHandler pHandler) {
  if (!pOwner || !pHandler) return;
  for (const auto& lEntry : mSubscribers->entries)
    if (lEntry.owner == pOwner && lEntry.handler == pHandler) return;
  mSubscribers->entries.push_back({pOwner, pHandler});
}

void FBPropertyEvent::Remove(HICallback pOwner, kICallbackHandler pHandler) {
  auto& lEntries = mSubscribers->entries;
  lEntries.erase(std::remove_if(lEntries.begin(), lEntries.end(),
                                [&](const FBEventSubscribers::Entry& e) {
                                  return e.owner == pOwner && e.handler == pHandler;
                                }),
                 lEntries.end());
}

int FBPropertyEvent::GetCount() const { return static_cast<int>(mSubscribers->entries.size()); }

void FBPropertyEvent::Fire(HKEventBase pEvent) {
  // A handler may add or remove subscribers (or destroy their owners) while
  // the event runs: work on a snapshot and skip entries no longer subscribed.
  std::shared_ptr<FBEventSubscribers> lKeep = mSubscribers;
  const std::vector<FBEventSubscribers::Entry> lSnapshot = lKeep->entries;
  for (const auto& lEntry : lSnapshot) {
    const auto& lNow = lKeep->entries;
    bool lStill = std::any_of(lNow.begin(), lNow.end(), [&](const FBEventSubscribers::Entry& e) {
      return e.owner == lEntry.owner && e.handler == lEntry.handler;
    });
    if (lStill) (lEntry.owner->*lEntry.handler)(nullptr, pEvent);
  }
}

}  // namespace ORSDK2016

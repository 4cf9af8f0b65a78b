#ifndef FBSDK_FBPROPERTY_H
#define FBSDK_FBPROPERTY_H
// Properties: typed values owned by components, optionally clamped, optionally
// animatable, and reading their value from a connected source when they have one.
#include <fbsdk/fbplug.h>
#include <fbsdk/fbtime.h>
#include <memory>
#include <type_traits>

namespace ORSDK2016 {

class FBBox;

enum FBPropertyType {
  kFBPT_unknown,
  kFBPT_int,
  kFBPT_int64,
  kFBPT_uint64,
  kFBPT_bool,
  kFBPT_float,
  kFBPT_double,
  kFBPT_charptr,
  kFBPT_enum,
  kFBPT_Time,
  kFBPT_TimeCode,
  kFBPT_object,
  kFBPT_event,
  kFBPT_stringlist,
  kFBPT_Vector4D,
  kFBPT_Vector3D,
  kFBPT_ColorRGB,
  kFBPT_ColorRGBA,
  kFBPT_Action,
  kFBPT_Reference,
  kFBPT_TimeSpan,
  kFBPT_kReference,
  kFBPT_Vector2D
};

typedef void* fbExternalGetSetHandler;

class FBSDK_DLL FBProperty : public FBPlug {
 public:
  FBProperty();
  ~FBProperty() override;

  // Names the property and ties it to its owner; the owner publishes it with PropertyAdd.
  void CreateInternal(FBComponent* pParent, const char* pName, fbExternalGetSetHandler pGet = nullptr,
                      fbExternalGetSetHandler pSet = nullptr);

  const char* GetName() const { return mName; }
  void SetName(const char* pName) { mName = pName; }
  virtual FBPropertyType GetPropertyType() const { return kFBPT_unknown; }
  // The host type name ("Bool", "Integer", "Number", "ColorAndAlpha", "TimeCode", ...).
  virtual const char* GetPropertyTypeName() const;
  virtual bool IsAnimatable() const { return false; }
  bool IsList() const { return GetPropertyType() == kFBPT_object; }
  FBPlug* GetOwner() override { return mParent; }
  FBComponent* GetOwnerComponent() const { return mOwner; }

  // Range: values written afterwards are clamped to the ends that are set.
  void SetMinMax(double pMin, double pMax, bool pSetMin = true, bool pSetMax = true);
  bool HasMin() const { return mHasMin; }
  bool HasMax() const { return mHasMax; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }

  // Raw access; pSize must be the size of the property's value type.
  virtual bool GetData(void* pData, int pSize) const { return false; }
  virtual bool SetData(const void* pData) { return false; }
  // Text form, exact enough to round-trip every value.
  virtual FBString AsString() const { return FBString(); }
  virtual bool SetString(const char* pString) { return false; }
  // Reads the value converted to another property type (numbers convert among
  // themselves); false when the types do not convert.
  virtual bool ReadAs(FBPropertyType pType, void* pOut) const { return false; }

 protected:
  // Clamps a number to the range, when one is set.
  double Clamp(double pValue) const;
  FBPlug* mParent = nullptr;
  FBComponent* mOwner = nullptr;
  FBString mName;
  bool mHasMin = false, mHasMax = false;
  double mMin = 0.0, mMax = 0.0;
};

// Value handling per type: text form, number conversion and animatable defaults.
template <class T>
struct FBPropertyTraits;

template <>
struct FBSDK_DLL FBPropertyTraits<bool> {
  static FBString ToString(bool v);
  static bool FromString(const char* s, bool& v);
  static bool IsNumber() { return true; }
  static double ToNumber(bool v) { return v ? 1.0 : 0.0; }
  static bool FromNumber(double d) { return d != 0.0; }
  static bool FromDefault(const double* p) { return p[0] != 0.0; }
};
template <>
struct FBSDK_DLL FBPropertyTraits<int> {
  static FBString ToString(int v);
  static bool FromString(const char* s, int& v);
  static bool IsNumber() { return true; }
  static double ToNumber(int v) { return v; }
  static int FromNumber(double d) { return static_cast<int>(d); }
  static int FromDefault(const double* p) { return static_cast<int>(p[0]); }
};
template <>
struct FBSDK_DLL FBPropertyTraits<double> {
  static FBString ToString(double v);
  static bool FromString(const char* s, double& v);
  static bool IsNumber() { return true; }
  static double ToNumber(double v) { return v; }
  static double FromNumber(double d) { return d; }
  static double FromDefault(const double* p) { return p[0]; }
};
template <>
struct FBSDK_DLL FBPropertyTraits<FBColorAndAlpha> {
  static FBString ToString(const FBColorAndAlpha& v);
  static bool FromString(const char* s, FBColorAndAlpha& v);
  static bool IsNumber() { return false; }
  static double ToNumber(const FBColorAndAlpha&) { return 0.0; }
  static FBColorAndAlpha FromNumber(double) { return FBColorAndAlpha(); }
  static FBColorAndAlpha FromDefault(const double* p) { return FBColorAndAlpha(p); }
};
template <>
struct FBSDK_DLL FBPropertyTraits<FBTimeCode> {
  static FBString ToString(const FBTimeCode& v);
  static bool FromString(const char* s, FBTimeCode& v);
  static bool IsNumber() { return false; }
  static double ToNumber(const FBTimeCode&) { return 0.0; }
  static FBTimeCode FromNumber(double) { return FBTimeCode(); }
  static FBTimeCode FromDefault(const double* p);
};
template <>
struct FBSDK_DLL FBPropertyTraits<FBTime> {
  static FBString ToString(const FBTime& v);
  static bool FromString(const char* s, FBTime& v);
  static bool IsNumber() { return false; }
  static double ToNumber(const FBTime&) { return 0.0; }
  static FBTime FromNumber(double) { return FBTime(); }
  static FBTime FromDefault(const double* p) { return FBTime(static_cast<kLongLong>(p[0])); }
};
template <>
struct FBSDK_DLL FBPropertyTraits<FBString> {
  static FBString ToString(const FBString& v) { return v; }
  static bool FromString(const char* s, FBString& v) {
    v = s;
    return true;
  }
  static bool IsNumber() { return false; }
  static double ToNumber(const FBString&) { return 0.0; }
  static FBString FromNumber(double) { return FBString(); }
  static FBString FromDefault(const double*) { return FBString(); }
};
// Object references held by value (the renderer's camera, the current take...).
template <class T>
struct FBPropertyTraits<T*> {
  static FBString ToString(T*) { return FBString(); }
  static bool FromString(const char*, T*&) { return false; }
  static bool IsNumber() { return false; }
  static double ToNumber(T*) { return 0.0; }
  static T* FromNumber(double) { return nullptr; }
  static T* FromDefault(const double*) { return nullptr; }
};

// The value logic shared by plain and animatable properties. The value comes
// from, in order: the first connected source, the host's getter, the stored value.
template <class T, FBPropertyType PT, class Base>
class FBPropertyValue : public Base {
 public:
  typedef FBPropertyTraits<T> Traits;
  typedef T (*GetHandler)(void* pObject);
  typedef void (*SetHandler)(void* pObject, T pValue);

  // Installs host handlers; used by the SDK's own objects.
  void Init(void* pParent, const char* pName, GetHandler pGet = nullptr, SetHandler pSet = nullptr) {
    mHandlerObject = pParent;
    this->mName = pName;
    mGet = pGet;
    mSet = pSet;
  }
  FBPropertyType GetPropertyType() const override { return PT; }

  T GetPropertyValue() const {
    if (this->GetSrcCount() > 0) {
      const FBProperty* lSrc = dynamic_cast<const FBProperty*>(this->GetSrc(0));
      T lValue{};
      if (lSrc && lSrc->ReadAs(PT, &lValue)) return lValue;
    }
    if (mGet) return mGet(mHandlerObject);
    return mValue;
  }
  void SetPropertyValue(const T& pValue) {
    T lValue = pValue;
    if constexpr (std::is_arithmetic<T>::value) {
      if (this->HasMin() || this->HasMax()) lValue = static_cast<T>(this->Clamp(static_cast<double>(lValue)));
    }
    if (mSet) {
      mSet(mHandlerObject, lValue);
      return;
    }
    mValue = lValue;
  }
  operator T() const { return GetPropertyValue(); }

  bool GetData(void* pData, int pSize) const override {
    if (pSize != static_cast<int>(sizeof(T))) return false;
    *static_cast<T*>(pData) = GetPropertyValue();
    return true;
  }
  bool SetData(const void* pData) override {
    SetPropertyValue(*static_cast<const T*>(pData));
    return true;
  }
  FBString AsString() const override { return Traits::ToString(GetPropertyValue()); }
  bool SetString(const char* pString) override {
    T lValue{};
    if (!pString || !Traits::FromString(pString, lValue)) return false;
    SetPropertyValue(lValue);
    return true;
  }
  bool ReadAs(FBPropertyType pType, void* pOut) const override;

 protected:
  void SetStoredValue(const T& pValue) { mValue = pValue; }
  T mValue{};
  GetHandler mGet = nullptr;
  SetHandler mSet = nullptr;
  void* mHandlerObject = nullptr;
};

namespace detail {
bool FBSDK_DLL WriteNumber(FBPropertyType pType, double pNumber, void* pOut);
bool FBSDK_DLL IsNumberType(FBPropertyType pType);
}  // namespace detail

template <class T, FBPropertyType PT, class Base>
bool FBPropertyValue<T, PT, Base>::ReadAs(FBPropertyType pType, void* pOut) const {
  if (pType == PT) {
    *static_cast<T*>(pOut) = GetPropertyValue();
    return true;
  }
  if (Traits::IsNumber() && detail::IsNumberType(pType))
    return detail::WriteNumber(pType, Traits::ToNumber(GetPropertyValue()), pOut);
  return false;
}

template <class T, FBPropertyType PT>
class FBPropertyBase : public FBPropertyValue<T, PT, FBProperty> {
 public:
  using FBPropertyValue<T, PT, FBProperty>::operator T;
  FBPropertyBase& operator=(const T& pValue) {
    this->SetPropertyValue(pValue);
    return *this;
  }
};

// An animatable property: created by Init with a host type name and a default.
class FBSDK_DLL FBPropertyAnimatable : public FBProperty {
 public:
  bool Init(FBBox* pOwner, const char* pName, const char* pType, double* pInit);
  bool IsAnimatable() const override { return true; }
  bool IsAnimated() const { return mAnimated; }
  void SetAnimated(bool pState, bool pCheckLocked = false) { mAnimated = pState; }
  const char* GetPropertyTypeName() const override;

 protected:
  virtual void SetDefault(const double* pInit) = 0;
  FBString mTypeName;
  bool mAnimated = false;
};

template <class T, FBPropertyType PT>
class FBPropertyBaseAnimatable : public FBPropertyValue<T, PT, FBPropertyAnimatable> {
 public:
  using FBPropertyValue<T, PT, FBPropertyAnimatable>::operator T;
  using FBPropertyAnimatable::Init;
  FBPropertyBaseAnimatable& operator=(const T& pValue) {
    this->SetPropertyValue(pValue);
    return *this;
  }

 protected:
  void SetDefault(const double* pInit) override {
    if (pInit) this->SetPropertyValue(FBPropertyTraits<T>::FromDefault(pInit));
  }
};

typedef FBPropertyBase<bool, kFBPT_bool> FBPropertyBool;
typedef FBPropertyBase<int, kFBPT_int> FBPropertyInt;
typedef FBPropertyBase<double, kFBPT_double> FBPropertyDouble;
typedef FBPropertyBase<FBString, kFBPT_charptr> FBPropertyString;
typedef FBPropertyBase<FBTime, kFBPT_Time> FBPropertyTime;
typedef FBPropertyBase<FBTimeCode, kFBPT_TimeCode> FBPropertyTimeCode;
typedef FBPropertyBase<FBColorAndAlpha, kFBPT_ColorRGBA> FBPropertyColorAndAlpha;
typedef FBPropertyBaseAnimatable<bool, kFBPT_bool> FBPropertyAnimatableBool;
typedef FBPropertyBaseAnimatable<int, kFBPT_int> FBPropertyAnimatableInt;
typedef FBPropertyBaseAnimatable<double, kFBPT_double> FBPropertyAnimatableDouble;
typedef FBPropertyBaseAnimatable<FBColorAndAlpha, kFBPT_ColorRGBA> FBPropertyAnimatableColorAndAlpha;
typedef FBPropertyBaseAnimatable<FBTimeCode, kFBPT_TimeCode> FBPropertyAnimatableTimeCode;

// A list property. Object lists keep their entries as source connections, so
// adding or removing an entry raises the host's connection notification.
class FBSDK_DLL FBPropertyBasicList : public FBProperty {
 public:
  virtual int GetCount() = 0;
  virtual void RemoveAt(int pIndex) = 0;
  void RemoveAll() {
    for (int i = GetCount() - 1; i >= 0; --i) RemoveAt(i);
  }
};

class FBSDK_DLL FBPropertyListObject : public FBPropertyBasicList {
 public:
  FBPropertyType GetPropertyType() const override { return kFBPT_object; }
  const char* GetPropertyTypeName() const override { return "Object"; }
  int Add(FBComponent* pComponent);
  int Remove(FBComponent* pComponent);
  int GetCount() override { return GetSrcCount(); }
  void RemoveAt(int pIndex) override;
  FBComponent* operator[](int pIndex);
  FBComponent* GetAt(int pIndex) { return (*this)[pIndex]; }
  void SetSingleConnect(bool pSingle) { mSingleConnect = pSingle; }
  bool GetSingleConnect() const { return mSingleConnect; }

 private:
  bool mSingleConnect = false;
};

// The properties of a component, in publication order.
class FBSDK_DLL FBPropertyManager {
 public:
  int Add(FBProperty* pProperty);
  void Remove(FBProperty* pProperty);
  int GetCount() const { return (mFirst ? 1 : 0) + static_cast<int>(mRest.size()); }
  FBProperty* operator[](int pIndex) const;
  // The property with that name, or null; pMultilangLookup also matches the
  // name shown to the user, which in this host is the same name.
  FBProperty* Find(const char* pPropertyName, bool pMultilangLookup = true) const;

 private:
  // The first entry (every component's Name) is held in place, so a
  // temporary component that publishes nothing else allocates nothing.
  FBProperty* mFirst = nullptr;
  std::vector<FBProperty*> mRest;
};

// Events: handlers are member callbacks of their owner.
class FBEventSubscribers;
class FBSDK_DLL FBPropertyEvent : public FBProperty {
 public:
  FBPropertyEvent();
  ~FBPropertyEvent() override;
  FBPropertyType GetPropertyType() const override { return kFBPT_event; }
  void Add(HICallback pOwner, kICallbackHandler pHandler);
  void Remove(HICallback pOwner, kICallbackHandler pHandler);
  int GetCount() const;
  // Calls every handler subscribed when the call starts and still subscribed when reached.
  void Fire(HKEventBase pEvent);

 protected:
  // Events that stand for one process-wide event share their subscriber list.
  void ShareSubscribers(std::shared_ptr<FBEventSubscribers> pSubscribers);
  std::shared_ptr<FBEventSubscribers> mSubscribers;
};

}  // namespace ORSDK2016

#endif

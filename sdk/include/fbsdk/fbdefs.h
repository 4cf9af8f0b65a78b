#ifndef FBSDK_FBDEFS_H
#define FBSDK_FBDEFS_H
// Basic types shared by every part of the SDK.
#include <cstddef>
#include <cstdint>
#include <string>

#define FBSDK_DLLEXPORT __attribute__((visibility("default")))
#define FBSDK_DLL FBSDK_DLLEXPORT
#define FBSDKNamespace ORSDK2016

namespace ORSDK2016 {

typedef long long kLongLong;
typedef unsigned long long kULongLong;

class FBPlug;
class FBComponent;
class FBProperty;

// Opaque handle of a host object; the SDK maps it back to its FBPlug.
class IObject {
 public:
  FBPlug* mPlug = nullptr;
};
typedef IObject* HIObject;

// Callback owners and events.
class ICallback {};
typedef ICallback* HICallback;
class IRegister {};
typedef IRegister* HIRegister;
typedef IRegister* HISender;
class KEventBase {
 public:
  virtual ~KEventBase() = default;
};
typedef KEventBase* HKEventBase;
typedef KEventBase* HKEvent;
typedef void (ICallback::*kICallbackHandler)(HISender pSender, HKEvent pEvent);
#define FBCallback ORSDK2016::kICallbackHandler

enum kFBDllOperation { kFBDllLoad, kFBDllUnLoad };

// Host string: owns a copy of its text; never null as a C string.
class FBSDK_DLL FBString {
 public:
  FBString(const char* pString = nullptr, int pLen = -1);
  // Copies and release are the SDK library's own, as for every class it exports.
  FBString(const FBString& pString);
  ~FBString();
  FBString& operator=(const FBString& pString);
  FBString& operator=(const char* pString);
  FBString& operator+=(const char* pString);
  FBString operator+(const char* pString) const;
  bool operator==(const char* pString) const;
  bool operator!=(const char* pString) const { return !(*this == pString); }
  bool operator==(const FBString& pString) const { return mText == pString.mText; }
  operator const char*() const { return mText.c_str(); }
  operator char*() { return &mText[0]; }
  const char* Buffer() const { return mText.c_str(); }
  int GetLen() const { return static_cast<int>(mText.size()); }
  bool IsEmpty() const { return mText.empty(); }

 private:
  std::string mText;
};

// A colour with alpha: red, green, blue, alpha at indices 0 to 3.
class FBColorAndAlpha {
 public:
  FBColorAndAlpha(double r = 0.0, double g = 0.0, double b = 0.0, double a = 1.0) : mValue{r, g, b, a} {}
  explicit FBColorAndAlpha(const double* p) : mValue{p[0], p[1], p[2], p[3]} {}
  double& operator[](int i) { return mValue[i]; }
  const double& operator[](int i) const { return mValue[i]; }
  bool operator==(const FBColorAndAlpha& o) const {
    return mValue[0] == o.mValue[0] && mValue[1] == o.mValue[1] && mValue[2] == o.mValue[2] &&
           mValue[3] == o.mValue[3];
  }
  bool operator!=(const FBColorAndAlpha& o) const { return !(*this == o); }

 private:
  double mValue[4];
};

}  // namespace ORSDK2016

#endif

#ifndef FBSDK_FBPLUG_H
#define FBSDK_FBPLUG_H
// Plugs: type ids, host handles, status flags and source/destination connections.
#include <fbsdk/fbdefs.h>
#include <vector>

namespace ORSDK2016 {

enum FBConnectionType { kFBConnectionTypeNone = 0, kFBConnectionTypeSystem = 1 };

// The host's order; 4 and 10 are the completed connect and disconnect of a source.
enum FBConnectionAction {
  kFBRequestConnectSrc,
  kFBRequestConnectDst,
  kFBConnectSrc,
  kFBConnectDst,
  kFBConnectedSrc,
  kFBConnectedDst,
  kFBRequestDisconnectSrc,
  kFBRequestDisconnectDst,
  kFBDisconnectSrc,
  kFBDisconnectDst,
  kFBDisconnectedSrc,
  kFBDisconnectedDst,
  kFBRequestRename,
  kFBRename,
  kFBRenamed,
  kFBRequestDestroy,
  kFBDestroy,
  kFBDestroyed,
  kFBNewSrc,
  kFBNewDst,
  kFBReorderSrc,
  kFBReorderDst,
  kFBReorderedSrc,
  kFBReorderedDst,
  kFBChangingSrc,
  kFBChangedSrc
};

enum FBPlugStatusFlag {
  kFBStatusNone = 0,
  kFBStatusSelected = 0x1,
  kFBStatusOwnedByUndo = 0x200000  // deleted by the user but kept alive for undo
};

// Declares the type identity, deletion and destructor of a class derived from
// a component; ends in the default (private) scope, as the host's macro does.
#define FBClassDeclare(Name, Parent)        \
 public:                                    \
  typedef Parent ParentClass;               \
  virtual const char* ClassName() override; \
  static int TypeInfo;                      \
  virtual bool Is(int pTypeId) override;    \
  virtual void FBDelete() override;         \
  virtual int GetTypeId() override;         \
  virtual ~Name();                          \
                                            \
 private:

#define FBClassImplementation(Name)                                                            \
  Name::~Name() {}                                                                             \
  const char* Name::ClassName() { return #Name; }                                              \
  int Name::GetTypeId() { return TypeInfo; }                                                   \
  bool Name::Is(int pTypeId) { return pTypeId == TypeInfo ? true : ParentClass::Is(pTypeId); } \
  void Name::FBDelete() { ParentClass::FBDelete(); }                                           \
  int Name::TypeInfo = ORSDK2016::FBPlug::mGlobalTypeInfo++;

class FBSDK_DLL FBPlug : public ICallback {
 public:
  // The host's counter of class type ids; each class takes the next value.
  static int mGlobalTypeInfo;
  static int TypeInfo;

  explicit FBPlug(HIObject pObject = nullptr);
  virtual ~FBPlug();
  FBPlug(const FBPlug&) = delete;
  FBPlug& operator=(const FBPlug&) = delete;

  virtual HIObject GetHIObject() const { return mHandle; }
  virtual void SetHIObject(HIObject pObject, bool pSDKComponent);
  virtual const char* ClassName() { return "FBPlug"; }
  virtual bool Is(int pTypeId) { return pTypeId == TypeInfo; }
  virtual int GetTypeId() { return TypeInfo; }
  virtual bool PlugDataNotify(int pAction, FBPlug* pThis, void* pData = nullptr, void* pDataOld = nullptr,
                              int pDataSize = 0) {
    return true;
  }
  virtual bool PlugStateNotify(int pAction, FBPlug* pThis, void* pData = nullptr, void* pDataOld = nullptr,
                               int pDataSize = 0) {
    return true;
  }
  virtual bool PlugNotify(FBConnectionAction pAction, FBPlug* pThis, int pIndex, FBPlug* pPlug,
                          FBConnectionType pConnectionType, FBPlug* pNewPlug) {
    return true;
  }

  // Connections. Every change raises the system's connection notification.
  bool ConnectSrc(FBPlug* pSrc, FBConnectionType pConnectionType = kFBConnectionTypeNone);
  bool ConnectDst(FBPlug* pDst, FBConnectionType pConnectionType = kFBConnectionTypeNone);
  bool DisconnectSrc(FBPlug* pSrc);
  bool DisconnectDst(FBPlug* pDst);
  void DisconnectAllSrc();
  void DisconnectAllDst();
  int GetSrcCount() const { return static_cast<int>(mSrc.size()); }
  FBPlug* GetSrc(int pIndex) const;
  int GetDstCount() const { return static_cast<int>(mDst.size()); }
  FBPlug* GetDst(int pIndex) const;

  bool GetStatusFlag(FBPlugStatusFlag pStatus) const { return (mStatus & pStatus) != 0; }
  void SetStatusFlag(FBPlugStatusFlag pStatus, bool pValue);
  // The plug that owns this one (a component for its properties).
  virtual FBPlug* GetOwner() { return nullptr; }

 protected:
  // Components destroy themselves through this; a bare plug belongs to its
  // owner, which destroys it with itself, so here it does nothing.
  virtual void FBDelete() {}

 private:
  IObject mObject;
  HIObject mHandle;
  std::vector<FBPlug*> mSrc;
  std::vector<FBPlug*> mDst;
  unsigned mStatus = 0;
};

// Maps a host handle back to its object; null for a null or foreign handle.
FBSDK_DLL FBPlug* FBGetFBPlug(HIObject pObject);
FBSDK_DLL FBComponent* FBGetFBObject(HIObject pObject);

}  // namespace ORSDK2016

#endif

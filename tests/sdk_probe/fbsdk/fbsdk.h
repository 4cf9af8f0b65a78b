#ifndef SDK_PROBE_FBSDK_H
#define SDK_PROBE_FBSDK_H
// The host SDK as its public reference shows it, and nothing else: names,
// signatures and the class macros, no bodies and no host state. The plug-in's
// sources compile against this header alone (syntax only), which proves they
// use nothing the stand-in SDK offers beyond the real one.
#include <cstddef>

#define FBSDK_DLL
#define FBSDKNamespace ORSDK2016

namespace ORSDK2016 {

typedef long long kLongLong;
class FBPlug;
class FBComponent;
class FBBox;
class FBProperty;
class FBCamera;
class FBTake;
class FBRenderer;
class FBRenderOptions;
class FBEvaluateInfo;

class IObject;
typedef IObject* HIObject;
class ICallback {};
typedef ICallback* HICallback;
class IRegister;
typedef IRegister* HIRegister;
typedef IRegister* HISender;
class KEventBase;
typedef KEventBase* HKEventBase;
typedef KEventBase* HKEvent;
typedef void (ICallback::*kICallbackHandler)(HISender pSender, HKEvent pEvent);
#define FBCallback ORSDK2016::kICallbackHandler

enum kFBDllOperation { kFBDllLoad, kFBDllUnLoad };

class FBString {
 public:
  FBString(const char* pString = NULL, int pLen = -1);
  FBString(const FBString& pString);
  ~FBString();
  FBString& operator=(const FBString& pString);
  FBString& operator=(const char* pString);
  bool operator==(const char* pString) const;
  bool operator!=(const char* pString) const;
  bool operator==(const FBString& pString) const;
  operator const char*() const;
  operator char*();
  const char* Buffer() const;
  int GetLen() const;
  bool IsEmpty() const;
};

class FBColorAndAlpha {
 public:
  FBColorAndAlpha(double pR = 0.0, double pG = 0.0, double pB = 0.0, double pA = 1.0);
  FBColorAndAlpha(const double* pValue);
  double& operator[](int pIndex);
  const double& operator[](int pIndex) const;
};

enum FBTimeMode { kFBTimeModeDefault, kFBTimeMode1000Frames, kFBTimeMode120Frames, kFBTimeMode30Frames };

class FBTime {
 public:
  FBTime(kLongLong pTime = 0);
  FBTime(int pHour, int pMinute, int pSecond = 0, int pFrame = 0, int pField = 0,
         FBTimeMode pTimeMode = kFBTimeModeDefault);
  kLongLong Get() const;
  void Set(kLongLong pTime);
  kLongLong GetMilliSeconds() const;
  kLongLong GetFrame(FBTimeMode pTimeMode = kFBTimeModeDefault) const;
  bool GetTime(int& pHour, int& pMinute, int& pSecond, int& pFrame, int& pField, int& pMilliSecond,
               FBTimeMode pTimeMode = kFBTimeModeDefault) const;
  double GetSecondDouble() const;
};

class FBTimeCode {
 public:
  static const float FRAMES_30;
  FBTimeCode(float pRate = FRAMES_30);
  void SetTimeCode(int pHour, int pMinute = 0, int pSecond = 0, float pFrame = 0.0f);
  double GetSeconds() const;
  double GetFrame() const;
  float GetRate() const;
};

// ---- class macros (fbdefines.h)
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

#define FBClassImplementation(Name)                                                              \
  Name::~Name() {}                                                                               \
  const char* Name::ClassName() { return #Name; }                                                \
  int Name::GetTypeId() { return TypeInfo; }                                                     \
  bool Name::Is(int pTypeId) { return (pTypeId == TypeInfo) ? true : ParentClass::Is(pTypeId); } \
  void Name::FBDelete() { ParentClass::FBDelete(); }                                             \
  int Name::TypeInfo = FBPlug::mGlobalTypeInfo++;

// ---- plugs and properties
enum FBConnectionType { kFBConnectionTypeNone, kFBConnectionTypeSystem };
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
  kFBDisconnectedDst
};
enum FBPlugStatusFlag { kFBStatusNone = 0, kFBStatusOwnedByUndo = 0x200000 };

class FBPlug : public ICallback {
 public:
  static int mGlobalTypeInfo;
  static int TypeInfo;
  FBPlug(HIObject pObject = NULL);
  virtual ~FBPlug();
  virtual HIObject GetHIObject() const;
  virtual const char* ClassName();
  virtual bool Is(int pTypeId);
  virtual int GetTypeId();
  bool ConnectSrc(FBPlug* pSrc, FBConnectionType pConnectionType = kFBConnectionTypeNone);
  bool DisconnectSrc(FBPlug* pSrc);
  void DisconnectAllSrc();
  int GetSrcCount();
  FBPlug* GetSrc(int pIndex);
  bool GetStatusFlag(FBPlugStatusFlag pStatus) const;

 protected:
  virtual void FBDelete();
};

enum FBPropertyType { kFBPT_unknown, kFBPT_int, kFBPT_bool = 4, kFBPT_charptr = 7, kFBPT_enum, kFBPT_object = 11 };
typedef void* fbExternalGetSetHandler;

class FBProperty : public FBPlug {
 public:
  FBProperty();
  void CreateInternal(FBComponent* pParent, const char* pName, fbExternalGetSetHandler pGet = NULL,
                      fbExternalGetSetHandler pSet = NULL);
  const char* GetName();
  virtual FBPropertyType GetPropertyType();
  virtual void GetData(void* pData, int pSize, FBEvaluateInfo* pEvalInfo = NULL) const;
  virtual void SetData(void* pData);
  void SetMinMax(double pMin, double pMax, bool pSetMin = true, bool pSetMax = true);
};

template <class tType, FBPropertyType pPT>
class FBPropertyBase : public FBProperty {
 public:
  FBPropertyBase& Init(void* pParent, const char* pName, tType (*pGet)(void*) = NULL,
                       void (*pSet)(void*, tType) = NULL);
  void operator=(tType pValue);
  operator tType() const;
  virtual void SetPropertyValue(tType pValue);
  tType GetPropertyValue() const;
};

class FBPropertyAnimatable : public FBProperty {
 public:
  bool Init(FBBox* pOwner, const char* pName, const char* pType, double* pInit);
  bool IsAnimated();
  void SetAnimated(bool pState, bool pCheckLocked = false);
};

template <class tType, FBPropertyType pPT>
class FBPropertyBaseAnimatable : public FBPropertyAnimatable {
 public:
  void operator=(tType pValue);
  operator tType() const;
  virtual void SetPropertyValue(tType pValue);
  tType GetPropertyValue() const;
};

typedef FBPropertyBase<bool, kFBPT_bool> FBPropertyBool;
typedef FBPropertyBase<int, kFBPT_int> FBPropertyInt;
typedef FBPropertyBase<double, kFBPT_unknown> FBPropertyDouble;
typedef FBPropertyBase<FBString, kFBPT_charptr> FBPropertyString;
typedef FBPropertyBase<FBTime, kFBPT_unknown> FBPropertyTime;
typedef FBPropertyBaseAnimatable<bool, kFBPT_bool> FBPropertyAnimatableBool;
typedef FBPropertyBaseAnimatable<int, kFBPT_int> FBPropertyAnimatableInt;
typedef FBPropertyBaseAnimatable<double, kFBPT_unknown> FBPropertyAnimatableDouble;
typedef FBPropertyBaseAnimatable<FBColorAndAlpha, kFBPT_unknown> FBPropertyAnimatableColorAndAlpha;
typedef FBPropertyBaseAnimatable<FBTimeCode, kFBPT_unknown> FBPropertyAnimatableTimeCode;

class FBPropertyListObject : public FBProperty {
 public:
  int Add(FBComponent* pComponent);
  int Remove(FBComponent* pComponent);
  void RemoveAll();
  void RemoveAt(int pIndex);
  int GetCount();
  FBComponent* operator[](int pIndex);
  void SetSingleConnect(bool pSingleConnect);
};

class FBPropertyManager {
 public:
  FBProperty* Find(const char* pPropertyName, bool pMultilangLookup = true);
  int GetCount();
  FBProperty& operator[](int pIndex);
};

class FBPropertyEvent : public FBProperty {
 public:
  void Add(HICallback pOwner, kICallbackHandler pHandler);
  void Remove(HICallback pOwner, kICallbackHandler pHandler);
};
class FBPropertyEventConnectionNotify : public FBPropertyEvent {};
class FBPropertyEventCallbackRenderPipeline : public FBPropertyEvent {};

// ---- components
class FBFbxObject;
enum kFbxObjectStore { kAttributes, kCleanup, kInit };

class FBComponent : public FBPlug {
  FBClassDeclare(FBComponent, FBPlug);

 public:
  FBComponent(HIObject pObject);
  virtual bool FBCreate();
  virtual void FBDestroy();
  virtual int PropertyAdd(FBProperty* pProperty);
  FBProperty* PropertyCreate(const char* pName, FBPropertyType pType, const char* pDataType, bool pAnimatable,
                             bool pIsUser = false, FBProperty* pReferenceSource = NULL);
  virtual bool UseCustomPropertyViewSet() const;
  virtual bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat);
  virtual bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat);
  virtual const char* FbxGetObjectSubType();
  virtual const char* FbxGetObjectType();
  FBPropertyManager PropertyList;
  FBPropertyString Name;
  bool mAllocated;
};

class FBBox : public FBComponent {
  FBClassDeclare(FBBox, FBComponent);

 public:
  FBBox(const char* pName, HIObject pObject = NULL);
};

class FBViewingOptions {
 public:
  FBCamera* GetViewingCamera();
  int PaneIndex() const;
};

class FBHUDElement : public FBBox {
  FBClassDeclare(FBHUDElement, FBBox);

 public:
  struct Rect {
    double mX, mY, mWidth, mHeight, mWidthScale, mHeightScale;
  };
  FBHUDElement(const char* pName, HIObject pObject = NULL);
  virtual void GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight);
  virtual void DrawElement(FBViewingOptions* pViewingOption, Rect& pRect);
  FBPropertyBool Visibility;
  FBPropertyBool Show;
  FBPropertyBool PositionByPercent;
  FBPropertyBool ScaleByPercent;
  FBPropertyBool ScaleUniformly;
  FBPropertyDouble X, Y, Width, Height;
};

class FBCamera : public FBBox {
  FBClassDeclare(FBCamera, FBBox);

 public:
  FBCamera(const char* pName, HIObject pObject = NULL);
  FBPropertyDouble ResolutionWidth;
  FBPropertyDouble ResolutionHeight;
  FBPropertyDouble FilmSizeWidth;
  FBPropertyDouble FilmSizeHeight;
  FBPropertyInt ApertureMode;
  FBPropertyAnimatableDouble FieldOfView;
  FBPropertyAnimatableDouble FieldOfViewX;
  FBPropertyAnimatableDouble FocalLength;
  FBPropertyAnimatableDouble FStop;
  FBPropertyAnimatableDouble FocusSpecificDistance;
};

class FBTake : public FBComponent {
  FBClassDeclare(FBTake, FBComponent);

 public:
  FBTake(const char* pName, HIObject pObject = NULL);
};

class FBRendererCallback : public FBComponent {
  FBClassDeclare(FBRendererCallback, FBComponent);

 public:
  FBRendererCallback(const char* pName);
  virtual const char* GetCallbackName() const = 0;
  virtual const char* GetCallbackDesc() const = 0;
  virtual unsigned int GetCallbackPrefCount() const;
  virtual const char* GetCallbackPrefName(unsigned int pIndex) const;
  virtual void Render(FBRenderOptions* pRenderOptions);
  virtual void Attach();
  virtual void Detach();
};

class FBPropertyListRendererCallback : public FBProperty {
 public:
  virtual int Add(FBRendererCallback* pItem);
  virtual void RemoveAt(int pIndex);
  virtual FBRendererCallback* operator[](int pIndex);
  virtual int GetCount();
};

class FBRenderer : public FBComponent {
  FBClassDeclare(FBRenderer, FBComponent);

 public:
  FBRenderer(HIObject pObject);
  FBPropertyBase<FBCamera*, kFBPT_object> CurrentCamera;
  FBPropertyListRendererCallback RendererCallbacks;
  FBPropertyInt CurrentPaneCallbackIndex;
  FBPropertyInt CurrentPaneCallbackPrefIndex;
};

class FBPlayerControl : public FBComponent {
  FBClassDeclare(FBPlayerControl, FBComponent);

 public:
  FBPlayerControl();
  FBPropertyTime LoopStart;
  FBPropertyTime LoopStop;
  FBPropertyBool IsRecording;
  FBPropertyBool IsPlaying;
};

enum FBGlobalEvalCallbackTiming {
  kFBGlobalEvalCallbackBeforeDAG,
  kFBGlobalEvalCallbackAfterDAG,
  kFBGlobalEvalCallbackAfterDeform,
  kFBGlobalEvalCallbackSyn,
  kFBGlobalEvalCallbackBeforeRender,
  kFBGlobalEvalCallbackAfterRender,
  kFBGlobalEvalCallbackBeforePlottingFrame,
  kFBGlobalEvalCallbackAfterPlottingFrame
};

class FBEvaluateManager : public FBComponent {
  FBClassDeclare(FBEvaluateManager, FBComponent);

 public:
  static FBEvaluateManager& TheOne();
  FBPropertyEventCallbackRenderPipeline OnRenderingPipelineEvent;
};

class FBEvent {
 public:
  FBEvent(HKEventBase pEvent);
};

class FBEventEvalGlobalCallback : public FBEvent {
 public:
  FBEventEvalGlobalCallback(HKEventBase pEvent);
  FBGlobalEvalCallbackTiming GetTiming() const;
};

class FBEventConnectionNotify : public FBEvent {
 public:
  FBEventConnectionNotify(HKEventBase pEvent);
  FBPropertyBase<FBConnectionAction, kFBPT_enum> Action;
  FBPropertyInt SrcIndex;
  FBPropertyBase<FBConnectionType, kFBPT_enum> ConnectionType;
  FBPropertyBase<FBPlug*, kFBPT_object> SrcPlug;
  FBPropertyBase<FBPlug*, kFBPT_object> DstPlug;
  FBPropertyBase<FBPlug*, kFBPT_object> NewPlug;
};

class FBSystem : public FBComponent {
  FBClassDeclare(FBSystem, FBComponent);

 public:
  FBSystem();
  static FBSystem& TheOne();
  FBPropertyTime LocalTime;
  FBPropertyTime SystemTime;
  FBPropertyBase<FBTake*, kFBPT_object> CurrentTake;
  FBPropertyBase<FBRenderer*, kFBPT_object> Renderer;
  FBPropertyEventConnectionNotify OnConnectionNotify;
};

// ---- libraries and registration (fblibrary.h, fbhud.h)
class FBLibraryBase {
 public:
  virtual bool LibInit();
  virtual bool LibOpen();
  virtual bool LibReady();
  virtual bool LibClose();
  virtual bool LibRelease();
};
class FBLibrary : public FBLibraryBase {
 public:
  bool LibInit() override;
  bool LibOpen() override;
  bool LibReady() override;
  bool LibClose() override;
  bool LibRelease() override;
};

typedef HIObject (*kFBObjectCreateFunc)(HIObject pOwner, const char* pName, void* pData);
void FBObject_Register(const char* pGroupPath, const char* pEntryName, const char* pDescription,
                       kFBObjectCreateFunc pCreateFunc, bool pIsStorable, const char* pIconFilename);

}  // namespace ORSDK2016

#define FBLibraryModule(Name) void FBModule##Name()
#define FBLibraryRegister(Name) \
  {                             \
    void FBModule##Name();      \
    FBModule##Name();           \
  }
#define FBLibraryRegisterStorable(ClassName) FBLibraryRegister(ClassName##Storable)
#define FBLibraryDeclare(LibName)                                  \
  void EntryPoint##LibName(ORSDK2016::kFBDllOperation pOperation); \
  void KdsoInit##LibName();                                        \
  void KdsoDone##LibName();                                        \
  void EntryPoint##LibName(ORSDK2016::kFBDllOperation pOperation) {
#define FBLibraryDeclareEnd }
#define FBRegisterObject(UniqueNameStr, Path, Entry, Desc, CreateFunc, IsStorable, Icon) \
  ORSDK2016::FBObject_Register(Path, Entry, Desc, CreateFunc, IsStorable, Icon)

#define FBStorableClassDeclare(Name, Parent)          \
  FBClassDeclare(Name, Parent);                       \
                                                      \
 public:                                              \
  virtual const char* FbxGetObjectSubType() override; \
                                                      \
 private:

#define FBStorableCustomHUDElementImplementation(ClassName, Desc)                                               \
  const char* ClassName::FbxGetObjectSubType() { return #ClassName; }                                           \
  ORSDK2016::HIObject RegisterStorable##ClassName##Create(ORSDK2016::HIObject, const char* pName, void*) {      \
    ClassName* Class = new ClassName(pName);                                                                    \
    Class->mAllocated = true;                                                                                   \
    if (Class->FBCreate()) {                                                                                    \
      return Class->GetHIObject();                                                                              \
    } else {                                                                                                    \
      delete Class;                                                                                             \
      return NULL;                                                                                              \
    }                                                                                                           \
  }                                                                                                             \
  FBLibraryModule(ClassName##Storable) {                                                                        \
    ORSDK2016::FBString lGroup = "FbxStorable/HUDElement";                                                      \
    FBRegisterObject(ClassName##R2, lGroup, #ClassName, Desc, RegisterStorable##ClassName##Create, true, NULL); \
  }

using namespace ORSDK2016;

#endif

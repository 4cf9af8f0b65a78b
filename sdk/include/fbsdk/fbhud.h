#ifndef FBSDK_FBHUD_H
#define FBSDK_FBHUD_H
// HUD elements: overlays the viewer sizes and draws for every pane.
#include <fbsdk/fbcomponent.h>
#include <fbsdk/fblibrary.h>

namespace ORSDK2016 {

class FBViewingOptions;

enum FBHUDElementHAlignment { kFBHUDLeft, kFBHUDRight, kFBHUDCenter };
enum FBHUDElementVAlignment { kFBHUDBottom, kFBHUDTop, kFBHUDVCenter };

class FBSDK_DLL FBHUDElement : public FBBox {
  FBClassDeclare(FBHUDElement, FBBox);

 public:
  struct Rect {
    double mX, mY, mWidth, mHeight, mWidthScale, mHeightScale;  // mX, mY: bottom left
  };

  FBHUDElement(const char* pName, HIObject pObject = nullptr);

  virtual void GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight);
  virtual void DrawElement(FBViewingOptions* pViewingOption, Rect& pRect) {}

  FBPropertyBool Visibility;
  // Whether the element takes part in drawing; a new element starts hidden
  // until its creator shows it.
  FBPropertyBool Show;
  FBPropertyBool PositionByPercent;
  FBPropertyBool ScaleByPercent;
  FBPropertyBool ScaleUniformly;
  FBPropertyDouble X;
  FBPropertyDouble Y;
  FBPropertyDouble Width;
  FBPropertyDouble Height;
};

typedef HIObject (*kFBObjectCreateFunc)(HIObject pOwner, const char* pName, void* pData);

// Registers a creatable, storable class under a group path.
FBSDK_DLL void FBObject_Register(const char* pGroupPath, const char* pEntryName, const char* pDescription,
                                 kFBObjectCreateFunc pCreateFunc, bool pIsStorable, const char* pIconFilename);

// A persistent class: the class macro and the FBX sub-type. The class
// declares FbxStore and FbxRetrieve itself when it stores anything.
#define FBStorableClassDeclare(ClassName, Parent)     \
  FBClassDeclare(ClassName, Parent);                  \
                                                      \
 public:                                              \
  virtual const char* FbxGetObjectSubType() override; \
                                                      \
 private:

// The FBX sub-type, the create function the host calls, and the module that
// registers the class; the class's own FBClassImplementation goes beside it.
#define FBStorableCustomHUDElementImplementation(ClassName, Desc)                                          \
  const char* ClassName::FbxGetObjectSubType() { return #ClassName; }                                      \
  ORSDK2016::HIObject RegisterStorable##ClassName##Create(ORSDK2016::HIObject pOwner, const char* pName,   \
                                                          void* pData) {                                   \
    ClassName* Class = new ClassName(pName);                                                               \
    Class->mAllocated = true;                                                                              \
    if (Class->FBCreate()) return Class->GetHIObject();                                                    \
    delete Class;                                                                                          \
    return nullptr;                                                                                        \
  }                                                                                                        \
  FBLibraryModule(ClassName##Storable) {                                                                   \
    ORSDK2016::FBString lGroup("FbxStorable/HUDElement");                                                  \
    static const bool sRegistered =                                                                        \
        (ORSDK2016::FBObject_Register(lGroup, #ClassName, Desc, RegisterStorable##ClassName##Create, true, \
                                      nullptr),                                                            \
         true);                                                                                            \
    (void)sRegistered;                                                                                     \
  }

}  // namespace ORSDK2016

#endif

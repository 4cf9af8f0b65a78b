#ifndef FBSDK_FBCOMPONENT_H
#define FBSDK_FBCOMPONENT_H
// Components: objects with a property list, created and destroyed by the host.
#include <fbsdk/fbproperty.h>

namespace ORSDK2016 {

// The scene file's view of one object, handed to FbxStore and FbxRetrieve.
class FBSDK_DLL FBFbxObject {
 public:
  void FieldWriteC(const char* pName, const char* pValue);
  const char* FieldReadC(const char* pName) const;
  int GetFieldCount() const { return static_cast<int>(mFields.size()); }

 private:
  std::vector<std::pair<std::string, std::string>> mFields;
};

enum kFbxObjectStore { kAttributes, kCleanup, kInit };

class FBSDK_DLL FBComponent : public FBPlug {
 public:
  // The class macros' members, written out: FBDelete and the destructor do
  // real work here.
  typedef FBPlug ParentClass;
  static int TypeInfo;
  const char* ClassName() override;
  bool Is(int pTypeId) override;
  int GetTypeId() override;

  explicit FBComponent(HIObject pObject = nullptr);
  ~FBComponent() override;

  // The component allocator: every component the host creates comes from here.
  static void* operator new(size_t pSize);
  static void operator delete(void* pObject);
  // Components alive from the allocator, for leak checks.
  static int GetAllocatedCount();

  virtual bool FBCreate() { return true; }
  virtual void FBDestroy() {}
  // Destroys the object: FBDestroy, then delete when the allocator made it.
  void FBDelete() override;

  virtual int PropertyAdd(FBProperty* pProperty);
  // A dynamic property owned by the component; object type gives an object list.
  FBProperty* PropertyCreate(const char* pName, FBPropertyType pType, const char* pDataType, bool pAnimatable,
                             bool pIsUser = false, FBProperty* pReferenceSource = nullptr);
  void PropertyRemove(FBProperty* pProperty);
  virtual bool UseCustomPropertyViewSet() const { return false; }

  virtual bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) { return true; }
  virtual bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) { return true; }
  virtual const char* FbxGetObjectSubType() { return ""; }
  virtual const char* FbxGetObjectType() { return ClassName(); }

  FBPropertyManager PropertyList;
  FBPropertyString Name;
  // Set by the registered create function on objects it allocated.
  bool mAllocated = false;

 private:
  std::vector<FBProperty*> mDynamicProperties;
};

class FBSDK_DLL FBBox : public FBComponent {
  FBClassDeclare(FBBox, FBComponent);

 public:
  explicit FBBox(const char* pName, HIObject pObject = nullptr);
};

// Host handle of a component, or null.
FBSDK_DLL FBComponent* FBGetFBObject(HIObject pObject);

}  // namespace ORSDK2016

#endif

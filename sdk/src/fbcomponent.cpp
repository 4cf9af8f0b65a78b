// Components, boxes, HUD elements and class registration.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>

#include <new>
#include <stdexcept>

namespace ORSDK2016 {

int FBComponent::TypeInfo = FBPlug::mGlobalTypeInfo++;
const char* FBComponent::ClassName() { return "FBComponent"; }
bool FBComponent::Is(int pTypeId) { return pTypeId == TypeInfo ? true : ParentClass::Is(pTypeId); }
int FBComponent::GetTypeId() { return TypeInfo; }

FBClassImplementation(FBBox) FBClassImplementation(FBHUDElement)

    namespace {
  int gAllocatedComponents = 0;
}

void* FBComponent::operator new(size_t pSize) {
  void* lMemory = ::operator new(pSize);
  ++gAllocatedComponents;
  return lMemory;
}
void FBComponent::operator delete(void* pObject) {
  if (!pObject) return;
  --gAllocatedComponents;
  ::operator delete(pObject);
}
int FBComponent::GetAllocatedCount() { return gAllocatedComponents; }

FBComponent::FBComponent(HIObject pObject) : FBPlug(pObject) {
  Name.CreateInternal(this, "Name");
  PropertyAdd(&Name);
}

FBComponent::~FBComponent() {
  for (FBProperty* lProperty : mDynamicProperties) delete lProperty;
}

void FBComponent::FBDelete() {
  FBDestroy();
  if (mAllocated) delete this;
}

int FBComponent::PropertyAdd(FBProperty* pProperty) { return PropertyList.Add(pProperty); }

FBProperty* FBComponent::PropertyCreate(const char* pName, FBPropertyType pType, const char* pDataType,
                                        bool pAnimatable, bool pIsUser, FBProperty* pReferenceSource) {
  if (!pName || PropertyList.Find(pName)) return nullptr;
  FBProperty* lProperty = nullptr;
  switch (pType) {
    case kFBPT_object: lProperty = new FBPropertyListObject; break;
    case kFBPT_bool:
      lProperty = pAnimatable ? static_cast<FBProperty*>(new FBPropertyAnimatableBool) : new FBPropertyBool;
      break;
    case kFBPT_int:
      lProperty = pAnimatable ? static_cast<FBProperty*>(new FBPropertyAnimatableInt) : new FBPropertyInt;
      break;
    case kFBPT_double:
      lProperty = pAnimatable ? static_cast<FBProperty*>(new FBPropertyAnimatableDouble) : new FBPropertyDouble;
      break;
    case kFBPT_charptr: lProperty = new FBPropertyString; break;
    case kFBPT_ColorRGBA:
      lProperty = pAnimatable ? static_cast<FBProperty*>(new FBPropertyAnimatableColorAndAlpha)
                              : new FBPropertyColorAndAlpha;
      break;
    case kFBPT_TimeCode:
      lProperty =
          pAnimatable ? static_cast<FBProperty*>(new FBPropertyAnimatableTimeCode) : new FBPropertyTimeCode;
      break;
    case kFBPT_Time: lProperty = new FBPropertyTime; break;
    default: return nullptr;
  }
  lProperty->CreateInternal(this, pName);
  mDynamicProperties.push_back(lProperty);
  PropertyAdd(lProperty);
  return lProperty;
}

void FBComponent::PropertyRemove(FBProperty* pProperty) {
  PropertyList.Remove(pProperty);
  for (auto lIt = mDynamicProperties.begin(); lIt != mDynamicProperties.end(); ++lIt)
    if (*lIt == pProperty) {
      mDynamicProperties.erase(lIt);
      delete pProperty;
      return;
    }
}

FBComponent* FBGetFBObject(HIObject pObject) { return dynamic_cast<FBComponent*>(FBGetFBPlug(pObject)); }

void FBFbxObject::FieldWriteC(const char* pName, const char* pValue) {
  mFields.emplace_back(pName ? pName : "", pValue ? pValue : "");
}
const char* FBFbxObject::FieldReadC(const char* pName) const {
  for (const auto& lField : mFields)
    if (lField.first == (pName ? pName : "")) return lField.second.c_str();
  return nullptr;
}

FBBox::FBBox(const char* pName, HIObject pObject) : FBComponent(pObject) { Name = pName; }

FBHUDElement::FBHUDElement(const char* pName, HIObject pObject) : FBBox(pName, pObject) {
  struct Entry {
    FBProperty* property;
    const char* name;
  };
  const Entry lEntries[] = {{&Visibility, "Visibility"},
                            {&Show, "Show"},
                            {&PositionByPercent, "PositionByPercent"},
                            {&ScaleByPercent, "ScaleByPercent"},
                            {&ScaleUniformly, "ScaleUniformly"},
                            {&X, "X"},
                            {&Y, "Y"},
                            {&Width, "Width"},
                            {&Height, "Height"}};
  for (const Entry& lEntry : lEntries) {
    lEntry.property->CreateInternal(this, lEntry.name);
    PropertyAdd(lEntry.property);
  }
  Visibility = true;
  Show = false;
  PositionByPercent = true;
  ScaleByPercent = true;
  ScaleUniformly = true;
  Width = 100.0;
  Height = 100.0;
}

void FBHUDElement::GetIntrinsicDimension(FBViewingOptions*, int& pWidth, int& pHeight) {
  pWidth = 0;
  pHeight = 0;
}

namespace {
bool gFailRegistration = false;
}

void FBObject_Register(const char* pGroupPath, const char* pEntryName, const char* pDescription,
                       kFBObjectCreateFunc pCreateFunc, bool pIsStorable, const char* pIconFilename) {
  if (gFailRegistration) throw std::runtime_error("registration refused");
  fbsdk_host::RegisteredClass lClass;
  lClass.group = pGroupPath ? pGroupPath : "";
  lClass.entry = pEntryName ? pEntryName : "";
  lClass.description = pDescription ? pDescription : "";
  lClass.create = pCreateFunc;
  lClass.storable = pIsStorable;
  lClass.iconNull = pIconFilename == nullptr;
  lClass.icon = pIconFilename ? pIconFilename : "";
  fbsdk_host::Registry().push_back(lClass);
}

}  // namespace ORSDK2016

namespace fbsdk_host {
std::vector<RegisteredClass>& Registry() {
  static std::vector<RegisteredClass> sRegistry;
  return sRegistry;
}
void SetRegistrationFailure(bool pFail) { ORSDK2016::gFailRegistration = pFail; }
}  // namespace fbsdk_host

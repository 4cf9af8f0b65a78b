// Class registration, creation through the registry, the component allocator,
// handle mapping, status flags and type ids.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class Objects : public ::testing::Test {
 protected:
  void SetUp() override { fbsdk_host::ResetState(); }
  void TearDown() override { fbsdk_host::SetRegistrationFailure(false); }
};

int gTestHudDestroyed = 0;

// A storable HUD element declared the way plug-ins declare theirs.
class TestHud : public FBHUDElement {
  FBStorableClassDeclare(TestHud, FBHUDElement);

 public:
  explicit TestHud(const char* pName) : FBHUDElement(pName) {}
  bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;
  bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;
  bool FBCreate() override {
    Show = true;
    return true;
  }
  void FBDestroy() override { ++gTestHudDestroyed; }
};
bool TestHud::FbxStore(FBFbxObject*, kFbxObjectStore) { return true; }
bool TestHud::FbxRetrieve(FBFbxObject*, kFbxObjectStore) { return true; }
FBClassImplementation(TestHud) FBStorableCustomHUDElementImplementation(TestHud, "HUD element for the SDK tests")

    // Logs destruction steps in order.
    class Tracked : public FBComponent {
 public:
  explicit Tracked(std::vector<std::string>& pLog) : mLog(pLog) {}
  ~Tracked() override { mLog.push_back("deleted"); }
  void FBDestroy() override { mLog.push_back("FBDestroy"); }

 private:
  std::vector<std::string>& mLog;
};

TEST_F(Objects, RegisterAppendsToTheRegistry) {
  auto& lRegistry = fbsdk_host::Registry();
  const size_t lBefore = lRegistry.size();
  FBObject_Register("Group/Path", "Entry", "Description", nullptr, true, nullptr);
  FBObject_Register("Group/Path", "WithIcon", "", nullptr, false, "icon.png");
  ASSERT_EQ(lBefore + 2, lRegistry.size());
  const auto& lPlain = lRegistry[lBefore];
  EXPECT_EQ("Group/Path", lPlain.group);
  EXPECT_EQ("Entry", lPlain.entry);
  EXPECT_EQ("Description", lPlain.description);
  EXPECT_TRUE(lPlain.storable);
  EXPECT_TRUE(lPlain.iconNull);
  EXPECT_EQ("", lPlain.icon);
  const auto& lIcon = lRegistry[lBefore + 1];
  EXPECT_FALSE(lIcon.storable);
  EXPECT_FALSE(lIcon.iconNull);
  EXPECT_EQ("icon.png", lIcon.icon);
}

TEST_F(Objects, RegistrationFailureThrowsAndRegistersNothing) {
  const size_t lBefore = fbsdk_host::Registry().size();
  fbsdk_host::SetRegistrationFailure(true);
  EXPECT_THROW(FBObject_Register("Group", "Refused", "", nullptr, true, nullptr), std::runtime_error);
  EXPECT_EQ(lBefore, fbsdk_host::Registry().size());
  fbsdk_host::SetRegistrationFailure(false);
  EXPECT_NO_THROW(FBObject_Register("Group", "Accepted", "", nullptr, true, nullptr));
  EXPECT_EQ(lBefore + 1, fbsdk_host::Registry().size());
}

TEST_F(Objects, StorableModuleRegistersOnceAndCreatesThroughTheAllocator) {
  FBLibraryRegisterStorable(TestHud);
  FBLibraryRegisterStorable(TestHud);
  const fbsdk_host::RegisteredClass* lEntry = nullptr;
  int lMatches = 0;
  for (const auto& lClass : fbsdk_host::Registry())
    if (lClass.entry == "TestHud") {
      lEntry = &lClass;
      ++lMatches;
    }
  ASSERT_EQ(1, lMatches);
  EXPECT_EQ("FbxStorable/HUDElement", lEntry->group);
  EXPECT_EQ("HUD element for the SDK tests", lEntry->description);
  EXPECT_TRUE(lEntry->storable);
  EXPECT_TRUE(lEntry->iconNull);
  ASSERT_NE(nullptr, lEntry->create);

  const int lCount = FBComponent::GetAllocatedCount();
  const int lDestroyed = gTestHudDestroyed;
  HIObject lHandle = lEntry->create(nullptr, "Hud 1", nullptr);
  ASSERT_NE(nullptr, lHandle);
  EXPECT_EQ(lCount + 1, FBComponent::GetAllocatedCount());
  FBComponent* lObject = FBGetFBObject(lHandle);
  ASSERT_NE(nullptr, lObject);
  EXPECT_TRUE(lObject->Is(TestHud::TypeInfo));
  EXPECT_TRUE(lObject->Is(FBHUDElement::TypeInfo));
  EXPECT_STREQ("TestHud", lObject->ClassName());
  EXPECT_STREQ("TestHud", lObject->FbxGetObjectSubType());
  EXPECT_STREQ("Hud 1", lObject->Name.GetPropertyValue().Buffer());
  EXPECT_TRUE(lObject->mAllocated);
  EXPECT_TRUE(static_cast<bool>(static_cast<TestHud*>(lObject)->Show));  // FBCreate ran

  lObject->FBDelete();
  EXPECT_EQ(lDestroyed + 1, gTestHudDestroyed);
  EXPECT_EQ(lCount, FBComponent::GetAllocatedCount());
}

TEST_F(Objects, AllocatorCountsNewAndDelete) {
  const int lCount = FBComponent::GetAllocatedCount();
  auto* lComponent = new FBComponent;
  auto* lHud = new FBHUDElement("Hud");
  EXPECT_EQ(lCount + 2, FBComponent::GetAllocatedCount());
  delete lHud;
  delete lComponent;
  EXPECT_EQ(lCount, FBComponent::GetAllocatedCount());

  // Components on the stack or inside other objects are not the allocator's.
  FBComponent lLocal;
  EXPECT_EQ(lCount, FBComponent::GetAllocatedCount());
}

// The host's own singletons are not plug-in allocations: using them for the
// first time must not look like a leak.
TEST_F(Objects, SystemSingletonsAreNotCountedAsAllocations) {
  const int lCount = FBComponent::GetAllocatedCount();
  FBSystem::TheOne();
  FBEvaluateManager::TheOne();
  FBComponent lSrc, lDst;
  lDst.ConnectSrc(&lSrc);
  EXPECT_EQ(lCount, FBComponent::GetAllocatedCount());
}

TEST_F(Objects, FBDeleteDestroysThenDeletesAllocatedObjectsOnly) {
  std::vector<std::string> lLog;
  const int lCount = FBComponent::GetAllocatedCount();
  auto* lAllocated = new Tracked(lLog);
  lAllocated->mAllocated = true;
  lAllocated->FBDelete();
  EXPECT_EQ((std::vector<std::string>{"FBDestroy", "deleted"}), lLog);
  EXPECT_EQ(lCount, FBComponent::GetAllocatedCount());

  lLog.clear();
  {
    Tracked lLocal(lLog);
    lLocal.FBDelete();
    EXPECT_EQ((std::vector<std::string>{"FBDestroy"}), lLog);
  }
  EXPECT_EQ((std::vector<std::string>{"FBDestroy", "deleted"}), lLog);
}

TEST_F(Objects, HandlesMapBackToTheirObjects) {
  FBHUDElement lHud("Hud");
  EXPECT_EQ(&lHud, FBGetFBObject(lHud.GetHIObject()));
  EXPECT_EQ(&lHud, FBGetFBPlug(lHud.GetHIObject()));
  EXPECT_EQ(nullptr, FBGetFBObject(nullptr));
  // A property is a plug but not a component.
  EXPECT_EQ(&lHud.Show, FBGetFBPlug(lHud.Show.GetHIObject()));
  EXPECT_EQ(nullptr, FBGetFBObject(lHud.Show.GetHIObject()));
  FBComponent lOther;
  EXPECT_NE(lHud.GetHIObject(), lOther.GetHIObject());
}

TEST_F(Objects, StatusFlagsAreIndependentBits) {
  EXPECT_EQ(0x200000, kFBStatusOwnedByUndo);
  FBComponent lComponent;
  EXPECT_FALSE(lComponent.GetStatusFlag(kFBStatusOwnedByUndo));
  lComponent.SetStatusFlag(kFBStatusSelected, true);
  lComponent.SetStatusFlag(kFBStatusOwnedByUndo, true);
  EXPECT_TRUE(lComponent.GetStatusFlag(kFBStatusOwnedByUndo));
  lComponent.SetStatusFlag(kFBStatusOwnedByUndo, false);
  EXPECT_FALSE(lComponent.GetStatusFlag(kFBStatusOwnedByUndo));
  EXPECT_TRUE(lComponent.GetStatusFlag(kFBStatusSelected));
}

TEST_F(Objects, TypeChainFollowsTheClassHierarchy) {
  FBHUDElement lHud("Hud");
  FBCamera lCamera("Camera");
  struct Case {
    FBPlug* object;
    int type;
    bool is;
  };
  const Case lCases[] = {
      {&lHud, FBHUDElement::TypeInfo, true}, {&lHud, FBBox::TypeInfo, true},
      {&lHud, FBComponent::TypeInfo, true},  {&lHud, FBPlug::TypeInfo, true},
      {&lHud, FBCamera::TypeInfo, false},    {&lHud, FBSystem::TypeInfo, false},
      {&lCamera, FBBox::TypeInfo, true},     {&lCamera, FBHUDElement::TypeInfo, false},
  };
  for (const Case& c : lCases) EXPECT_EQ(c.is, c.object->Is(c.type)) << c.object->ClassName() << " " << c.type;
  EXPECT_STREQ("FBHUDElement", lHud.ClassName());
  EXPECT_EQ(FBHUDElement::TypeInfo, lHud.GetTypeId());

  const int kIds[] = {FBPlug::TypeInfo,   FBComponent::TypeInfo, FBBox::TypeInfo,  FBHUDElement::TypeInfo,
                      FBCamera::TypeInfo, FBSystem::TypeInfo,    TestHud::TypeInfo};
  for (size_t i = 0; i < std::size(kIds); ++i)
    for (size_t j = i + 1; j < std::size(kIds); ++j) EXPECT_NE(kIds[i], kIds[j]);
}

}  // namespace

// Loading the library: exports, registration at load, the type id, creation
// and its failure path.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QtCore/QFile>
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include "hud_support.h"
#include "vantor.h"

using namespace vthud_test;

namespace {

std::vector<std::string>* gMessages = nullptr;
void Capture(QtMsgType, const QMessageLogContext&, const QString& pMessage) {
  if (gMessages) gMessages->push_back(pMessage.toStdString());
}

struct MessageCapture {
  std::vector<std::string> lines;
  QtMessageHandler previous;
  MessageCapture() : previous(qInstallMessageHandler(&Capture)) { gMessages = &lines; }
  ~MessageCapture() {
    gMessages = nullptr;
    qInstallMessageHandler(previous);
  }
};

using ResourceFn = int (*)();

}  // namespace

TEST(PluginEntry, ExportsPlainNamesForTheHostAndRendererAndMangledNamesOtherwise) {
  std::string lError;
  auto lLibrary = vthost::PluginLibrary::Load(VTHUD_PLUGIN_PATH, lError);
  ASSERT_NE(lLibrary, nullptr) << lError;
  for (const char* lPlain :
       {"LIBRARY_INIT", "libvthudelementMoonfairHandshake", "libvthudelementMoonfairInterfaceExchange"})
    EXPECT_NE(lLibrary->Symbol(lPlain), nullptr) << lPlain;
  for (const char* lMangledOnly : {"EntryPointvthudeelement", "KdsoInitvthudeelement", "KdsoDonevthudeelement"})
    EXPECT_EQ(lLibrary->Symbol(lMangledOnly), nullptr) << lMangledOnly << " must not be exported unmangled";
  for (const char* lMangled : {"_Z23EntryPointvthudeelementN9ORSDK201615kFBDllOperationE",
                               "_Z21KdsoInitvthudeelementv", "_Z21KdsoDonevthudeelementv"})
    EXPECT_NE(lLibrary->Symbol(lMangled), nullptr) << lMangled;
}

TEST(PluginEntry, LoadRegistersOnceAndTakesTheNextTypeIdFromTheHostCounter) {
  ASSERT_TRUE(EnsureGL());
  const int lCounterBefore = FBPlug::mGlobalTypeInfo;
  vthost::Host lHost;
  std::string lError;
  vthost::PluginLibrary* lLibrary = lHost.LoadPlugin(VTHUD_PLUGIN_PATH, lError);
  ASSERT_NE(lLibrary, nullptr) << lError;
  EXPECT_EQ(FBPlug::mGlobalTypeInfo, lCounterBefore + 1);

  ASSERT_EQ(lLibrary->Classes().size(), 1u);
  const fbsdk_host::RegisteredClass& lClass = lLibrary->Classes()[0];
  EXPECT_EQ(lClass.group, "FbxStorable/HUDElement");
  EXPECT_EQ(lClass.entry, "VTHUDElement");
  EXPECT_EQ(lClass.description, "VT HUD Element");
  EXPECT_TRUE(lClass.storable);
  EXPECT_TRUE(lClass.iconNull);

  // The entry point may be called again by the host: loading twice registers nothing more.
  auto lEntry = reinterpret_cast<void (*)(kFBDllOperation)>(
      lLibrary->Symbol("_Z23EntryPointvthudeelementN9ORSDK201615kFBDllOperationE"));
  ASSERT_NE(lEntry, nullptr);
  const size_t lRegistered = fbsdk_host::Registry().size();
  lEntry(kFBDllLoad);
  lEntry(kFBDllUnLoad);
  lEntry(static_cast<kFBDllOperation>(7));
  EXPECT_EQ(fbsdk_host::Registry().size(), lRegistered);

  auto lInit = reinterpret_cast<bool (*)(HIRegister)>(lLibrary->Symbol("LIBRARY_INIT"));
  EXPECT_TRUE(lInit(nullptr));

  FBComponent* lElement = lHost.Create("VTHUDElement", "e", lError);
  ASSERT_NE(lElement, nullptr) << lError;
  EXPECT_EQ(lElement->GetTypeId(), lCounterBefore);
  EXPECT_STREQ(lElement->ClassName(), "VTHUDElement");
  EXPECT_STREQ(lElement->FbxGetObjectSubType(), "VTHUDElement");
  EXPECT_TRUE(lElement->Is(lCounterBefore));
  EXPECT_TRUE(lElement->Is(FBHUDElement::TypeInfo));
  EXPECT_TRUE(lElement->Is(FBBox::TypeInfo));
  EXPECT_TRUE(lElement->Is(FBComponent::TypeInfo));
  EXPECT_FALSE(lElement->Is(FBCamera::TypeInfo));
  EXPECT_TRUE(lElement->mAllocated);
  EXPECT_STREQ(static_cast<const char*>(lElement->Name.GetPropertyValue()), "e");

  FBFbxObject lFbx;
  EXPECT_TRUE(lElement->FbxStore(&lFbx, kAttributes));
  EXPECT_TRUE(lElement->FbxRetrieve(&lFbx, kAttributes));
  EXPECT_EQ(lFbx.GetFieldCount(), 0);
}

TEST(PluginEntry, ResourceBundleResolvesFromLoadUntilUnload) {
  ASSERT_TRUE(EnsureGL());
  // The test binary carries its own bundle with the value font only.
  std::string lError;
  auto lLibrary = vthost::PluginLibrary::Load(VTHUD_PLUGIN_PATH, lError);
  ASSERT_NE(lLibrary, nullptr) << lError;
  QFile lArial(":resources/Arial.ttf");
  ASSERT_TRUE(lArial.open(QIODevice::ReadOnly));
  EXPECT_GT(lArial.readAll().size(), 10000);
  lArial.close();
  lLibrary->Unload();
  EXPECT_EQ(dlopen(VTHUD_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library stayed loaded";
  EXPECT_FALSE(QFile(":resources/Arial.ttf").exists());
}

class PluginCreateFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureGL());
    std::string lError;
    library = host.LoadPlugin(VTHUD_PLUGIN_PATH, lError);
    ASSERT_NE(library, nullptr) << lError;
    cleanup = reinterpret_cast<ResourceFn>(library->Symbol("_Z30qCleanupResources_vshudelementv"));
    init = reinterpret_cast<ResourceFn>(library->Symbol("_Z27qInitResources_vshudelementv"));
    ASSERT_TRUE(cleanup && init);
    ASSERT_TRUE(renderer.attach(library->Handle(), "libvthudelement", &lError)) << lError;
  }
  void TearDown() override {
    if (init) init();
  }
  // Creation fails, leaves nothing allocated and nothing the renderer could reach.
  void ExpectNothingLeft(int pAllocatedBefore) {
    EXPECT_EQ(FBComponent::GetAllocatedCount(), pAllocatedBefore);
    EXPECT_TRUE(host.HUDElements().empty());
    renderer.connect();
    renderer.update();
    EXPECT_EQ(renderer.entityCount(), 0u) << "a discarded element is still in the node registry";
  }

  vthost::Host host;
  vthost::PluginLibrary* library = nullptr;
  vantor::Renderer renderer;
  ResourceFn cleanup = nullptr, init = nullptr;
};

TEST_F(PluginCreateFailure, MissingValueFontFailsWithOneMessageAndDoesNotTryTheLabelFont) {
  cleanup();  // both bundles gone but the test's own, which holds the value font: remove it too
  Q_CLEANUP_RESOURCE(orator_only);
  MessageCapture lMessages;
  const int lBefore = FBComponent::GetAllocatedCount();
  std::string lError;
  EXPECT_EQ(host.Create("VTHUDElement", "e", lError), nullptr);
  ASSERT_EQ(lMessages.lines.size(), 1u);
  EXPECT_EQ(lMessages.lines[0].rfind("Couldn't open oratorstd font: ", 0), 0u) << lMessages.lines[0];
  EXPECT_STRNE(lMessages.lines[0].c_str() + 30, "") << "the error code follows the message";
  ExpectNothingLeft(lBefore);
  Q_INIT_RESOURCE(orator_only);
}

TEST_F(PluginCreateFailure, MissingLabelFontFailsWithOneMessageAndFreesTheValueFont) {
  cleanup();  // only the test's bundle with the value font is left
  MessageCapture lMessages;
  const int lBefore = FBComponent::GetAllocatedCount();
  std::string lError;
  EXPECT_EQ(host.Create("VTHUDElement", "e", lError), nullptr);
  ASSERT_EQ(lMessages.lines.size(), 1u);
  EXPECT_EQ(lMessages.lines[0].rfind("Couldn't open arial font: ", 0), 0u) << lMessages.lines[0];
  ExpectNothingLeft(lBefore);
}

// Scene files: every property type round-trips exactly, a damaged file
// changes nothing, and a failed save keeps the previous file.
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host.h"
#include "scene_file.h"

namespace fs = std::filesystem;

// A plug-in class registered by the test, so that registered objects are
// covered without the real plug-in.
class TestGauge : public FBBox {
  FBClassDeclare(TestGauge, FBBox);

 public:
  explicit TestGauge(const char* pName) : FBBox(pName) {
    double lInit[1] = {1.5};
    Level.Init(this, "Level", "Number", lInit);
    Level.SetMinMax(0.0, 10.0);
    Caption.CreateInternal(this, "Caption");
    PropertyAdd(&Caption);
    Sources = static_cast<FBPropertyListObject*>(PropertyCreate("Sources", kFBPT_object, "", false));
  }
  FBPropertyAnimatableDouble Level;
  FBPropertyString Caption;
  FBPropertyListObject* Sources;
};
FBClassImplementation(TestGauge)

    namespace {
  HIObject CreateTestGauge(HIObject, const char* pName, void*) {
    auto* lGauge = new TestGauge(pName);
    lGauge->mAllocated = true;
    return lGauge->GetHIObject();
  }

  const std::string kAwkward = "say \"hi\" \\ back\\slash\nnew line\ttab\r\x01 ünïcödé 名前 🎬 end";

  std::string ReadAll(const std::string& pPath) {
    std::ifstream lIn(pPath, std::ios::binary);
    std::stringstream lText;
    lText << lIn.rdbuf();
    return lText.str();
  }

  void WriteAll(const std::string& pPath, const std::string& pText) {
    std::ofstream(pPath, std::ios::binary) << pText;
  }

  // Everything a scene file must keep, one line per property.
  std::string Dump(const vthost::Host& pHost) {
    std::string lText;
    for (FBComponent* lObject : pHost.Objects()) {
      lText += std::string("object ") + lObject->ClassName() + "\n";
      for (int i = 0; i < lObject->PropertyList.GetCount(); ++i) {
        FBProperty* p = lObject->PropertyList[i];
        auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(p);
        lText += std::string("  ") + p->GetName() + "|" + p->GetPropertyTypeName() + "|" +
                 (lAnimatable ? (lAnimatable->IsAnimated() ? "animated|" : "animatable|") : "-|") +
                 p->AsString().Buffer();
        auto* lList = dynamic_cast<FBPropertyListObject*>(p);
        for (int e = 0; lList && e < lList->GetCount(); ++e)
          lText += std::string("<") + lList->GetAt(e)->Name.AsString().Buffer() + ">";
        lText += "\n";
      }
    }
    return lText;
  }

  FBPropertyListObject* MakeList(FBComponent * pObject, const char* pName) {
    return static_cast<FBPropertyListObject*>(pObject->PropertyCreate(pName, kFBPT_object, "", false));
  }

  class SceneFile : public ::testing::Test {
   protected:
    void SetUp() override {
      char lTemplate[] = "/tmp/vthost-scene-test-XXXXXX";
      ASSERT_NE(nullptr, mkdtemp(lTemplate));
      mDir = lTemplate;
      mPath = mDir + "/scene.txt";
      FBObject_Register("Test", "TestGauge", "a gauge", CreateTestGauge, true, nullptr);
    }
    void TearDown() override {
      auto& lRegistry = fbsdk_host::Registry();
      lRegistry.erase(std::remove_if(lRegistry.begin(), lRegistry.end(),
                                     [](const fbsdk_host::RegisteredClass& c) { return c.entry == "TestGauge"; }),
                      lRegistry.end());
      chmod(mDir.c_str(), 0755);
      fs::remove_all(mDir);
    }

    // Every creatable type, animatable or not, references forward and backward,
    // to several objects and to a host camera.
    static void Build(vthost::Host& pHost) {
      FBComponent* lSource = pHost.AddObject("Source \"1\"");
      const struct {
        const char* name;
        FBPropertyType type;
        int animatable;  // 2: animated
        std::string value;
      } lProperties[] = {{"Flag", kFBPT_bool, 0, "true"},
                         {"Anim Flag", kFBPT_bool, 1, "true"},
                         {"Count", kFBPT_int, 0, "-123456"},
                         {"Anim Count", kFBPT_int, 1, "2147483647"},
                         {"Ratio", kFBPT_double, 0, "0.1"},
                         {"Anim Ratio", kFBPT_double, 2, "-1e-300"},
                         {"Label", kFBPT_charptr, 0, kAwkward},
                         {"Empty", kFBPT_charptr, 0, ""},
                         {"Tint", kFBPT_ColorRGBA, 0, "0.1 0.2 0.30000000000000004 0.4"},
                         {"Anim Tint", kFBPT_ColorRGBA, 2, "1 0 0 0.5"},
                         {"Code", kFBPT_TimeCode, 0, "3600.5 12 -29.97"},
                         {"Anim Code", kFBPT_TimeCode, 1, "7200 3 29.97"},
                         {"When", kFBPT_Time, 0, "123456789012"}};
      for (const auto& p : lProperties) {
        FBProperty* lProperty = lSource->PropertyCreate(p.name, p.type, "", p.animatable != 0);
        EXPECT_TRUE(lProperty->SetString(p.value.c_str())) << p.name;
        if (p.animatable == 2) static_cast<FBPropertyAnimatable*>(lProperty)->SetAnimated(true);
      }
      FBPropertyListObject* lTargets = MakeList(lSource, "Targets");
      MakeList(lSource, "Nothing");

      std::string lError;
      auto* lGauge = static_cast<TestGauge*>(pHost.Create("TestGauge", "Gauge " + kAwkward, lError));
      ASSERT_NE(nullptr, lGauge) << lError;
      lGauge->Level = 7.25;
      lGauge->Level.SetAnimated(true);
      lGauge->Caption = kAwkward.c_str();
      lGauge->Sources->Add(lSource);
      lGauge->Sources->Add(pHost.FindCamera("Producer Perspective"));

      FBComponent* lB = pHost.AddObject("Target B");
      FBComponent* lA = pHost.AddObject("Target A");
      lTargets->Add(lB);
      lTargets->Add(lA);
      MakeList(lA, "Back")->Add(lSource);
    }

    std::string mDir, mPath;
  };

  TEST_F(SceneFile, EveryTypeRoundTripsExactly) {
    std::string lSaved, lError;
    {
      vthost::Host lHost;
      Build(lHost);
      lSaved = Dump(lHost);
      ASSERT_TRUE(vthost::SaveScene(lHost, mPath, lError)) << lError;
    }
    vthost::Host lHost;
    lHost.AddObject("Old");
    ASSERT_TRUE(vthost::LoadScene(lHost, mPath, lError)) << lError;
    EXPECT_EQ(lSaved, Dump(lHost));
    EXPECT_EQ(nullptr, lHost.FindObject("Old"));
    // References point at the loaded objects themselves and at the host's camera.
    auto* lTargets =
        static_cast<FBPropertyListObject*>(lHost.FindObject("Source \"1\"")->PropertyList.Find("Targets"));
    EXPECT_EQ(lHost.FindObject("Target B"), lTargets->GetAt(0));
    auto* lGauge = dynamic_cast<TestGauge*>(lHost.FindObject("Gauge " + kAwkward));
    ASSERT_NE(nullptr, lGauge);
    EXPECT_EQ(lHost.FindCamera("Producer Perspective"), lGauge->Sources->GetAt(1));

    // Saving the loaded scene again writes the same bytes.
    const std::string lAgain = mDir + "/again.txt";
    ASSERT_TRUE(vthost::SaveScene(lHost, lAgain, lError)) << lError;
    EXPECT_EQ(ReadAll(mPath), ReadAll(lAgain));
  }

  TEST_F(SceneFile, DamagedFileLeavesSceneUntouchedAndNamesTheLine) {
    vthost::Host lHost;
    Build(lHost);
    std::string lError;
    ASSERT_TRUE(vthost::SaveScene(lHost, mPath, lError)) << lError;
    const std::string lGood = ReadAll(mPath);
    auto LineOf = [&](const std::string& pStart) {
      const size_t lAt = lGood.find("\n" + pStart);
      if (lAt == std::string::npos) return -1;
      return static_cast<int>(std::count(lGood.begin(), lGood.begin() + static_cast<long>(lAt) + 1, '\n')) + 1;
    };
    auto Replace = [&](const std::string& pFrom, const std::string& pTo) {
      std::string lText = lGood;
      const size_t lAt = lText.find(pFrom);
      EXPECT_NE(std::string::npos, lAt) << pFrom;
      return lAt == std::string::npos ? lText : lText.replace(lAt, pFrom.size(), pTo);
    };
    struct Case {
      const char* what;
      std::string text;
      int line;
      std::string message;
    };
    const Case lCases[] = {
        {"bad value", Replace("value \"-123456\"", "value \"abc\""), LineOf("dynamic-property \"Count\""),
         "property 'Count' of 'Source \"1\"' expects Integer, got 'abc'"},
        {"unknown property", Replace("property \"Level\"", "property \"Levle\""), LineOf("property \"Level\""),
         "has no property 'Levle' (nearest: 'Level'"},
        {"unknown class", Replace("object \"TestGauge\"", "object \"NoSuchGauge\""),
         LineOf("object \"TestGauge\""), "class 'NoSuchGauge' is not registered"},
        {"missing reference", Replace("refs \"Target B\"", "refs \"Nobody\""),
         LineOf("dynamic-property \"Targets\""), "refers to 'Nobody', which is not in the scene"},
        {"missing end", lGood.substr(0, lGood.size() - 4), LineOf("end") - 1, "before its 'end' line"},
        {"cut inside a string", lGood.substr(0, lGood.find("ünïcödé")), LineOf("dynamic-property \"Label\""),
         "not closed"},
        {"bad escape", Replace("\\\\ back", "\\q back"), LineOf("dynamic-property \"Label\""), "unknown escape"},
        {"newer version", Replace("vthost-scene 1", "vthost-scene 2"), 1, "unsupported scene version '2'"},
        {"not a scene", "hello\nend\n", 1, "not a scene file"},
    };
    const std::string lBefore = Dump(lHost);
    const std::vector<FBComponent*> lObjects = lHost.Objects();
    const int lAllocated = FBComponent::GetAllocatedCount();
    for (const Case& c : lCases) {
      SCOPED_TRACE(c.what);
      WriteAll(mPath, c.text);
      EXPECT_FALSE(vthost::LoadScene(lHost, mPath, lError));
      EXPECT_EQ(0u, lError.find(mPath + ":" + std::to_string(c.line) + ": ")) << lError;
      EXPECT_NE(std::string::npos, lError.find(c.message)) << lError;
      EXPECT_EQ(std::string::npos, lError.find('\n')) << lError;
      EXPECT_EQ(lObjects, lHost.Objects());
      EXPECT_EQ(lBefore, Dump(lHost));
      EXPECT_EQ(lAllocated, FBComponent::GetAllocatedCount()) << "objects built for the load were not destroyed";
    }
    EXPECT_FALSE(vthost::LoadScene(lHost, mDir + "/absent.txt", lError));
    EXPECT_NE(std::string::npos, lError.find("absent.txt")) << lError;
  }

  class SaveFailure : public SceneFile {
   protected:
    void SetUp() override {
      SceneFile::SetUp();
      std::string lError;
      mHost.AddObject("Only");
      ASSERT_TRUE(vthost::SaveScene(mHost, mPath, lError)) << lError;
      mOld = ReadAll(mPath);
      Build(mHost);
    }
    // The previous file is unchanged and no temporary file is left behind.
    void ExpectOldFileKept() {
      EXPECT_EQ(mOld, ReadAll(mPath));
      for (const auto& lEntry : fs::directory_iterator(mDir))
        EXPECT_TRUE(lEntry.path().filename() == "scene.txt" || fs::is_directory(lEntry.path())) << lEntry.path();
    }
    vthost::Host mHost;
    std::string mOld;
  };

  TEST_F(SaveFailure, FullDiskKeepsOldFile) {
    // A file size limit makes the write fail part-way, as a full disk does.
    rlimit lOld;
    getrlimit(RLIMIT_FSIZE, &lOld);
    rlimit lSmall = lOld;
    lSmall.rlim_cur = 256;
    auto lPrevious = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &lSmall));
    std::string lError;
    const bool lSaved = vthost::SaveScene(mHost, mPath, lError);
    setrlimit(RLIMIT_FSIZE, &lOld);
    signal(SIGXFSZ, lPrevious);
    EXPECT_FALSE(lSaved);
    EXPECT_NE(std::string::npos, lError.find("File too large")) << lError;
    ExpectOldFileKept();
  }

  TEST_F(SaveFailure, ReadOnlyDirectoryKeepsOldFile) {
    ASSERT_EQ(0, chmod(mDir.c_str(), 0555));
    if (access(mDir.c_str(), W_OK) == 0) GTEST_SKIP() << "directory permissions do not apply to this user";
    std::string lError;
    EXPECT_FALSE(vthost::SaveScene(mHost, mPath, lError));
    EXPECT_NE(std::string::npos, lError.find(mPath)) << lError;
    ExpectOldFileKept();
  }

  TEST_F(SaveFailure, PathThatIsADirectoryIsRefused) {
    const std::string lDirectory = mDir + "/folder";
    fs::create_directory(lDirectory);
    std::string lError;
    EXPECT_FALSE(vthost::SaveScene(mHost, lDirectory, lError));
    EXPECT_TRUE(fs::is_directory(lDirectory));
    EXPECT_NE(std::string::npos, lError.find("folder")) << lError;
    ExpectOldFileKept();
  }

  TEST_F(SaveFailure, UnloadableSceneIsNotWritten) {
    // A reference by a name that two objects share could not be resolved again.
    std::string lError;
    mHost.AddObject("Target A");
    EXPECT_FALSE(vthost::SaveScene(mHost, mPath, lError));
    EXPECT_NE(std::string::npos, lError.find("'Target A', a name that 2 objects share")) << lError;
    ExpectOldFileKept();
  }

}  // namespace

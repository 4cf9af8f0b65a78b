// Scene files: every property type round-trips exactly, a damaged file
// changes nothing and says where, and a failed save keeps the previous file.
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host.h"
#include "json_file.h"
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
    FBTake* lTake = FBSystem::TheOne().CurrentTake;
    FBCamera* lCurrent = const_cast<vthost::Host&>(pHost).Renderer().CurrentCamera;
    lText += std::string("take ") + (lTake ? lTake->Name.AsString().Buffer() : "(none)") + "\n";
    lText += std::string("camera ") + (lCurrent ? lCurrent->Name.AsString().Buffer() : "(none)") + "\n";
    std::vector<FBComponent*> lAll;
    for (const auto& lCamera : pHost.Cameras()) lAll.push_back(lCamera.get());
    lAll.insert(lAll.end(), pHost.Objects().begin(), pHost.Objects().end());
    for (FBComponent* lObject : lAll) {
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
      mPath = mDir + "/scene.json";
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
                         {"Raw Bytes", kFBPT_charptr, 0, "\xff\xfe not UTF-8 \xc0\x80"},
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

      // The cameras' own properties and custom ones, and the take.
      FBCamera* lCamera = pHost.FindCamera("Producer Perspective");
      lCamera->FocalLength = 85.0;
      lCamera->FocalLength.SetAnimated(true);
      lCamera->ShowCrosshair = false;
      lCamera->PropertyCreate("Gate", kFBPT_bool, "Bool", false, true)->SetString("true");
      lCamera->PropertyCreate("Lens Note", kFBPT_charptr, "String", false, true)->SetString(kAwkward.c_str());
      FBCamera* lWitness = pHost.AddCamera("Witness \"2\"");
      lWitness->FStop = 2.8;
      pHost.Renderer().CurrentCamera = lWitness;
      pHost.SetCurrentTake(pHost.AddTake("Shot 12 Take 3 ü"));

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
    const std::string lAgain = mDir + "/again.json";
    ASSERT_TRUE(vthost::SaveScene(lHost, lAgain, lError)) << lError;
    EXPECT_EQ(ReadAll(mPath), ReadAll(lAgain));
  }

  TEST_F(SceneFile, DamagedFileLeavesSceneUntouchedAndNamesLineAndColumn) {
    vthost::Host lHost;
    Build(lHost);
    std::string lError;
    ASSERT_TRUE(vthost::SaveScene(lHost, mPath, lError)) << lError;
    const std::string lGood = ReadAll(mPath);
    auto Replace = [&](const std::string& pFrom, const std::string& pTo) {
      std::string lText = lGood;
      const size_t lAt = lText.find(pFrom);
      EXPECT_NE(std::string::npos, lAt) << pFrom;
      return lAt == std::string::npos ? lText : lText.replace(lAt, pFrom.size(), pTo);
    };
    struct Case {
      const char* what;
      std::string text;
      std::string at;  // the error lies where this text starts (its first occurrence)
      std::string message;
      size_t skip = 0;        // ... or this many bytes after it
      bool lineOnly = false;  // the JSON reader names the line; its column may be past the token
    };
    const Case lCases[] = {
        {"wrong JSON type", Replace("-123456", "\"abc\""), "\"abc\"",
         "property 'Count' of 'Source \"1\"' expects a whole number"},
        {"integer out of range", Replace("-123456", "2147483648"), "2147483648", "expects a whole number"},
        {"value the property refuses", Replace("\"123456789012\"", "\"12x\""), "\"12x\"",
         "property 'When' of 'Source \"1\"' expects Time"},
        {"unknown property", Replace("\"Level\"", "\"Levle\""), "\"Levle\"",
         "has no property 'Levle' (nearest: 'Level'"},
        {"wrong type name",
         Replace("\"Number\",\n                    \"value\": 7.25",
                 "\"Integer\",\n                    \"value\": 7.25"),
         "\"Integer\",\n                    \"value\": 7.25", "is Number here, the file says Integer"},
        {"unknown class", Replace("\"TestGauge\"", "\"NoSuchGauge\""), "\"NoSuchGauge\"",
         "class 'NoSuchGauge' is not registered"},
        {"missing reference",
         Replace("[\n                        \"Target B\"", "[\n                        \"Nobody\""), "\"Nobody\"",
         "refers to 'Nobody', which is not in the scene"},
        {"unknown member", Replace("\"custom\": true", "\"custm\": true"), "\"custm\": true",
         "unknown member 'custm'", 9},
        {"not JSON", Replace("\"value\": true", "\"value\": tru"), "\"value\": tru", "illegal value", 9, true},
        {"cut short", lGood.substr(0, lGood.size() / 2), "\x01end", "cut short"},
        {"bytes that are not UTF-8", Replace("ünïcödé", "\xff\xfe"), "\xff", "invalid UTF8 string", 0, true},
        {"newer version", Replace("\"version\": 1", "\"version\": 2"), "2\n}", "unsupported \"version\" (2;"},
        {"a layout", Replace("vthost-scene", "vthost-layout"), "\"vthost-layout\"",
         "this is a layout, not a scene file"},
        {"not an object", "[1, 2]\n", "[", "holds no JSON object"},
        {"empty", "\n", "\n", "the file is empty"},
    };
    const std::string lBefore = Dump(lHost);
    const std::vector<FBComponent*> lObjects = lHost.Objects();
    const int lAllocated = FBComponent::GetAllocatedCount();
    for (const Case& c : lCases) {
      SCOPED_TRACE(c.what);
      WriteAll(mPath, c.text);
      size_t lAt = c.text.find(c.at);
      if (c.at == "\x01end") lAt = c.text.find_last_not_of(" \n") + 1;  // where the text stops
      ASSERT_NE(std::string::npos, lAt);
      std::string lPlace = vthud::LineColumn(QByteArray(c.text.data(), static_cast<int>(c.text.size())),
                                             static_cast<int>(lAt + c.skip));
      if (c.lineOnly) lPlace = lPlace.substr(0, lPlace.find(':') + 1);
      EXPECT_FALSE(vthost::LoadScene(lHost, mPath, lError));
      EXPECT_EQ(0u, lError.find(mPath + ":" + lPlace + (c.lineOnly ? "" : ": ")))
          << lError << " (expected at " << lPlace << ")";
      EXPECT_NE(std::string::npos, lError.find(c.message)) << lError;
      EXPECT_EQ(std::string::npos, lError.find('\n')) << lError;
      EXPECT_EQ(lObjects, lHost.Objects());
      EXPECT_EQ(lBefore, Dump(lHost));
      EXPECT_EQ(lAllocated, FBComponent::GetAllocatedCount()) << "objects built for the load were not destroyed";
    }
    EXPECT_FALSE(vthost::LoadScene(lHost, mDir + "/absent.json", lError));
    EXPECT_NE(std::string::npos, lError.find("absent.json")) << lError;
  }

  // Reads are bounded: a device or a huge file is refused before it is read.
  TEST_F(SceneFile, EndlessOrHugeInputIsRefusedUnread) {
    vthost::Host lHost;
    lHost.AddObject("Kept");
    std::string lError;
    EXPECT_FALSE(vthost::LoadScene(lHost, "/dev/zero", lError));
    EXPECT_NE(std::string::npos, lError.find("/dev/zero: not a regular file")) << lError;
    EXPECT_FALSE(vthost::LoadScene(lHost, mDir, lError));
    EXPECT_NE(std::string::npos, lError.find("it is a directory")) << lError;
    const std::string lHuge = mDir + "/huge.json";
    WriteAll(lHuge, "{");
    fs::resize_file(lHuge, 1LL << 32);  // sparse: no disk is used
    EXPECT_FALSE(vthost::LoadScene(lHost, lHuge, lError));
    EXPECT_NE(std::string::npos, lError.find("larger than the 32 MiB")) << lError;
    ASSERT_EQ(1u, lHost.Objects().size());
    EXPECT_EQ(lHost.FindObject("Kept"), lHost.Objects()[0]);
  }

  TEST_F(SceneFile, NoTakeAndNoCameraRoundTrip) {
    std::string lError;
    {
      vthost::Host lHost;
      lHost.SetCurrentTake(nullptr);
      lHost.Renderer().CurrentCamera = nullptr;
      ASSERT_TRUE(vthost::SaveScene(lHost, mPath, lError)) << lError;
    }
    vthost::Host lHost;
    ASSERT_TRUE(vthost::LoadScene(lHost, mPath, lError)) << lError;
    EXPECT_EQ(nullptr, static_cast<FBTake*>(FBSystem::TheOne().CurrentTake));
    EXPECT_EQ(nullptr, static_cast<FBCamera*>(lHost.Renderer().CurrentCamera));
  }

  // A load puts the file's custom camera properties in place of the host's.
  TEST_F(SceneFile, LoadReplacesCustomCameraProperties) {
    std::string lError;
    vthost::Host lHost;
    FBCamera* lCamera = lHost.FindCamera("Producer Perspective");
    ASSERT_TRUE(vthost::SaveScene(lHost, mPath, lError)) << lError;
    lCamera->PropertyCreate("Stray", kFBPT_int, "Integer", false, true);
    lCamera->FocalLength = 12.0;
    ASSERT_TRUE(vthost::LoadScene(lHost, mPath, lError)) << lError;
    EXPECT_EQ(nullptr, lCamera->PropertyList.Find("Stray"));
    EXPECT_EQ(35.0, static_cast<double>(lCamera->FocalLength));
    EXPECT_EQ(1u, lHost.Cameras().size());
    EXPECT_EQ(1u, lHost.Takes().size()) << "the take of the same name is reused";
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
        EXPECT_TRUE(lEntry.path().filename() == "scene.json" || fs::is_directory(lEntry.path())) << lEntry.path();
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

  // A save that was killed leaves its temporary; the next save removes it,
  // but never the temporary of a save that is still writing (it holds a lock).
  TEST_F(SaveFailure, StaleTemporariesAreRemovedLiveOnesKept) {
    const std::string lStale = mPath + ".tmp-a1B2c3", lLive = mPath + ".tmp-Live00";
    const std::string lOther = mDir + "/other.json.tmp-a1B2c3";
    WriteAll(lStale, "{\"half");
    WriteAll(lLive, "{\"writing");
    WriteAll(lOther, "{");
    const int lFd = open(lLive.c_str(), O_RDONLY);
    ASSERT_LE(0, lFd);
    ASSERT_EQ(0, flock(lFd, LOCK_EX));
    std::string lError;
    EXPECT_TRUE(vthost::SaveScene(mHost, mPath, lError)) << lError;
    EXPECT_FALSE(fs::exists(lStale));
    EXPECT_TRUE(fs::exists(lLive));
    EXPECT_TRUE(fs::exists(lOther)) << "another file's temporary is not this save's business";
    close(lFd);
    vthost::Host lHost;
    EXPECT_TRUE(vthost::LoadScene(lHost, mPath, lError)) << lError;
  }

  TEST_F(SaveFailure, UnloadableSceneIsNotWritten) {
    // A reference by a name that two objects share could not be resolved again.
    std::string lError;
    mHost.AddObject("Target A");
    EXPECT_FALSE(vthost::SaveScene(mHost, mPath, lError));
    EXPECT_NE(std::string::npos, lError.find("'Target A', a name that 2 objects share")) << lError;
    ExpectOldFileKept();
  }

  TEST_F(SaveFailure, NumberJsonCannotHoldIsNotWritten) {
    // Values set through the SDK bypass text parsing; JSON has no NaN.
    const double lNaN = std::nan("");
    mHost.FindObject("Only")->PropertyCreate("Broken", kFBPT_double, "", false)->SetData(&lNaN);
    std::string lError;
    EXPECT_FALSE(vthost::SaveScene(mHost, mPath, lError));
    EXPECT_NE(std::string::npos, lError.find("property 'Broken' of 'Only' holds nan, which a file cannot keep"))
        << lError;
    ExpectOldFileKept();
  }

}  // namespace

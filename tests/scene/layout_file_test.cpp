// Layouts: one element's changes from a new element, applied whole or not at all.
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host.h"
#include "json_file.h"
#include "scene_file.h"

namespace fs = std::filesystem;

// An element-like registered class with a value of each common kind.
class TestDial : public FBBox {
  FBClassDeclare(TestDial, FBBox);

 public:
  explicit TestDial(const char* pName) : FBBox(pName) {
    double lLevel[1] = {1.5}, lCount[1] = {3};
    Level.Init(this, "Level", "Number", lLevel);
    Level.SetMinMax(0.0, 10.0);
    Count.Init(this, "Count", "Integer", lCount);
    Caption.CreateInternal(this, "Caption");
    PropertyAdd(&Caption);
    Caption = "Dial";
    Sources = static_cast<FBPropertyListObject*>(PropertyCreate("Sources", kFBPT_object, "", false));
  }
  FBPropertyAnimatableDouble Level;
  FBPropertyAnimatableInt Count;
  FBPropertyString Caption;
  FBPropertyListObject* Sources;
};
FBClassImplementation(TestDial)

    namespace {
  HIObject CreateTestDial(HIObject, const char* pName, void*) {
    auto* lDial = new TestDial(pName);
    lDial->mAllocated = true;
    return lDial->GetHIObject();
  }

  std::string ReadAll(const std::string& pPath) {
    std::ifstream lIn(pPath, std::ios::binary);
    std::stringstream lText;
    lText << lIn.rdbuf();
    return lText.str();
  }

  std::string State(TestDial * pDial) {
    return std::string(pDial->Level.AsString().Buffer()) + (pDial->Level.IsAnimated() ? "~" : "") + "|" +
           pDial->Count.AsString().Buffer() + (pDial->Count.IsAnimated() ? "~" : "") + "|" +
           pDial->Caption.AsString().Buffer() + "|" + (pDial->PropertyList.Find("Extra") ? "extra" : "");
  }

  class Layout : public ::testing::Test {
   protected:
    void SetUp() override {
      char lTemplate[] = "/tmp/vthost-layout-test-XXXXXX";
      ASSERT_NE(nullptr, mkdtemp(lTemplate));
      mDir = lTemplate;
      mPath = mDir + "/dial.json";
      FBObject_Register("Test", "TestDial", "a dial", CreateTestDial, true, nullptr);
      std::string lError;
      mDial = static_cast<TestDial*>(mHost.Create("TestDial", "Dial 1", lError));
      ASSERT_NE(nullptr, mDial) << lError;
    }
    void TearDown() override {
      mHost.DestroyAll();
      auto& lRegistry = fbsdk_host::Registry();
      lRegistry.erase(std::remove_if(lRegistry.begin(), lRegistry.end(),
                                     [](const fbsdk_host::RegisteredClass& c) { return c.entry == "TestDial"; }),
                      lRegistry.end());
      fs::remove_all(mDir);
    }
    TestDial* NewDial(const char* pName) {
      std::string lError;
      auto* lDial = static_cast<TestDial*>(mHost.Create("TestDial", pName, lError));
      EXPECT_NE(nullptr, lDial) << lError;
      return lDial;
    }
    void Write(const std::string& pText) { std::ofstream(mPath, std::ios::binary) << pText; }

    vthost::Host mHost;
    TestDial* mDial = nullptr;
    std::string mDir, mPath;
  };

  TEST_F(Layout, SavesOnlyWhatDiffersFromANewElement) {
    mDial->Level = 7.25;
    mDial->Count.SetAnimated(true);                  // same value, other flag
    mDial->Sources->Add(mHost.AddObject("Source"));  // a scene's objects are not a layout's
    mDial->PropertyCreate("Extra", kFBPT_charptr, "", false)->SetString("added");
    std::string lError;
    ASSERT_TRUE(vthost::SaveLayout(mDial, mPath, lError)) << lError;

    const QJsonObject lRoot = QJsonDocument::fromJson(QByteArray::fromStdString(ReadAll(mPath))).object();
    EXPECT_EQ("vthost-layout", lRoot.value("format").toString().toStdString());
    const QJsonArray lObjects = lRoot.value("objects").toArray();
    ASSERT_EQ(1, lObjects.size());
    EXPECT_EQ("TestDial", lObjects[0].toObject().value("class").toString().toStdString());
    std::vector<std::string> lNames;
    for (const QJsonValue& lEntry : lObjects[0].toObject().value("properties").toArray())
      lNames.push_back(lEntry.toObject().value("name").toString().toStdString());
    EXPECT_EQ(std::vector<std::string>({"Level", "Count", "Extra"}), lNames);

    TestDial* lOther = NewDial("Dial 2");
    ASSERT_TRUE(vthost::ApplyLayout(lOther, mPath, lError)) << lError;
    EXPECT_EQ(State(mDial), State(lOther));
    EXPECT_EQ("Dial 2", std::string(lOther->Name.AsString().Buffer())) << "a layout does not rename";
    EXPECT_EQ(0, lOther->Sources->GetCount());
  }

  TEST_F(Layout, DamagedLayoutChangesNothingAndSaysWhere) {
    const std::string lHead =
        "{\"format\": \"vthost-layout\", \"version\": 1, \"objects\": [{\"class\": \"TestDial\",";
    const std::string lGood =
        "\"properties\": [{\"name\": \"Level\", \"type\": \"Number\", \"value\": 9, \"animated\": true},\n"
        "  {\"name\": \"Extra\", \"type\": \"Bool\", \"value\": true, \"custom\": true},\n"
        "  {\"name\": \"Caption\", \"type\": \"String\", \"value\": \"changed\"},\n";
    struct Case {
      const char* what;
      std::string text;
      std::string at;
      std::string message;
    };
    const Case lCases[] = {
        {"bad last value", lHead + lGood + "  {\"name\": \"Count\", \"type\": \"Integer\", \"value\": 1.5}]}]}",
         "1.5", "property 'Count' of 'Dial 1' expects a whole number"},
        {"unknown last name", lHead + lGood + "  {\"name\": \"Cuont\", \"type\": \"Integer\", \"value\": 1}]}]}",
         "\"Cuont\"", "has no property 'Cuont' (nearest: 'Count'"},
        {"object list", lHead + lGood + "  {\"name\": \"Sources\", \"type\": \"Object\", \"value\": []}]}]}",
         "\"Sources\"", "lists objects of a scene, which a layout does not hold"},
        {"other class", "{\"format\": \"vthost-layout\", \"version\": 1, \"objects\": [{\"class\": \"Gauge\"}]}",
         "\"Gauge\"", "the layout is for class 'Gauge', the element is a TestDial"},
        {"two elements",
         "{\"format\": \"vthost-layout\", \"version\": 1, \"objects\": [{\"class\": \"TestDial\"}, {}]}", "[",
         "a layout holds exactly one element"},
        {"a scene file", "{\"format\": \"vthost-scene\", \"version\": 1, \"objects\": []}", "\"vthost-scene\"",
         "this is a scene file, not a layout"},
    };
    mDial->Count = 4;
    const std::string lBefore = State(mDial);
    for (const Case& c : lCases) {
      SCOPED_TRACE(c.what);
      Write(c.text);
      std::string lError;
      EXPECT_FALSE(vthost::ApplyLayout(mDial, mPath, lError));
      const std::string lPlace =
          vthud::LineColumn(QByteArray::fromStdString(c.text), static_cast<int>(c.text.find(c.at)));
      EXPECT_EQ(0u, lError.find(mPath + ":" + lPlace + ": ")) << lError << " (expected at " << lPlace << ")";
      EXPECT_NE(std::string::npos, lError.find(c.message)) << lError;
      EXPECT_EQ(lBefore, State(mDial));
    }
  }

}  // namespace

// Editing properties by name: messages that point at the right name or the
// expected type, and a listing that stays one line per property.
#include <gtest/gtest.h>

#include <algorithm>

#include "host.h"
#include "property_edit.h"

namespace {

class PropertyEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    mObject = mHost.AddObject("Box");
    mObject->PropertyCreate("Show Labels", kFBPT_bool, "", true);
    mObject->PropertyCreate("Count", kFBPT_int, "", false);
    mObject->PropertyCreate("Aspect", kFBPT_double, "", true)->SetMinMax(1.0, 3.0);
    mObject->PropertyCreate("Aspect Zoom", kFBPT_double, "", true);
    mObject->PropertyCreate("Slate", kFBPT_charptr, "", false);
    mObject->PropertyCreate("Font Color", kFBPT_ColorRGBA, "", true);
    mObject->PropertyCreate("Sources", kFBPT_object, "", false);
  }
  std::string Value(const char* pName) { return mObject->PropertyList.Find(pName)->AsString().Buffer(); }

  vthost::Host mHost;
  FBComponent* mObject = nullptr;
};

TEST_F(PropertyEdit, SetsFromTextOrSaysWhyOnOneLine) {
  mObject->PropertyCreate("Character Timecode", kFBPT_TimeCode, "", true);
  std::string lError;
  EXPECT_TRUE(vthost::SetPropertyFromText(mObject, "Show Labels", "0", lError)) << lError;
  EXPECT_TRUE(vthost::SetPropertyFromText(mObject, "Font Color", "1 0 0 0.5", lError)) << lError;
  EXPECT_TRUE(vthost::SetPropertyFromText(mObject, "Slate", " as is \"\n", lError)) << lError;
  EXPECT_TRUE(vthost::SetPropertyFromText(mObject, "Character Timecode", "3600 12 -29.97", lError)) << lError;
  EXPECT_EQ("false|1 0 0 0.5| as is \"\n",
            Value("Show Labels") + "|" + Value("Font Color") + "|" + Value("Slate"));

  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const Case lCases[] = {
      {"Aspect", "abc", "property 'Aspect' expects Number (a finite number, e.g. 2.35), got 'abc'"},
      {"Count", "99999999999",
       "property 'Count' expects Integer (a whole number from -2147483648 to 2147483647, e.g. 42), got "
       "'99999999999'"},
      {"Show Labels", "yes", "property 'Show Labels' expects Bool (e.g. true, false, 1 or 0), got 'yes'"},
      {"Font Color", "1 0 0", "property 'Font Color' expects ColorAndAlpha (e.g. "},
      {"Aspect", "2\n3", "got '2\\n3'"},
      {"Sources", "Box", "property 'Sources' is a list of objects"},
      // The host's own reading would take any three doubles and store something else.
      {"Character Timecode", "0.2 0.4 0.6",
       "property 'Character Timecode' expects a TimeCode as whole seconds, a whole frame and a rate"},
      {"Character Timecode", "0x10 1e1 -30", "got '0x10 1e1 -30'"},
      {"Character Timecode", "3600 12 inf", "expects a TimeCode"},
      {"Character Timecode", "3600 12", "expects a TimeCode"},
      {"Slate", std::string("a\0b", 3), "NUL"},
      {"aspect zom", "2", "unknown property 'aspect zom' (nearest: 'Aspect Zoom', 'Aspect', 'Slate')"},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.name);
    FBProperty* lProperty = mObject->PropertyList.Find(c.name);
    const std::string lBefore = lProperty ? Value(c.name) : "";
    EXPECT_FALSE(vthost::SetPropertyFromText(mObject, c.name, c.text, lError));
    EXPECT_NE(std::string::npos, lError.find(c.message)) << lError;
    EXPECT_EQ(std::string::npos, lError.find('\n')) << lError;
    if (lProperty) {
      EXPECT_EQ(lBefore, Value(c.name));
    }
  }
  EXPECT_FALSE(vthost::SetPropertyFromText(nullptr, "Aspect", "2", lError));
}

TEST_F(PropertyEdit, NearestNamesIgnoreCaseAndKeepPropertyOrderOnTies) {
  EXPECT_EQ(std::vector<std::string>({"Slate", "Name"}), vthost::NearestPropertyNames(mObject, "SLATE", 2));
  // Name, Count, Aspect Zoom and Slate are all five edits away.
  EXPECT_EQ(std::vector<std::string>({"Aspect", "Name", "Count"}),
            vthost::NearestPropertyNames(mObject, "ASPECT"));
  EXPECT_EQ(8u, vthost::NearestPropertyNames(mObject, "x", 50).size());
  EXPECT_TRUE(vthost::NearestPropertyNames(nullptr, "x").empty());
}

TEST_F(PropertyEdit, DescriptionHasOneLinePerPropertyFromTheFirstIndex) {
  mObject->PropertyList.Find("Slate")->SetString("two\nlines");
  static_cast<FBPropertyAnimatable*>(mObject->PropertyList.Find("Aspect Zoom"))->SetAnimated(true);
  const std::string lText = vthost::DescribeProperties(mObject, 2);
  std::vector<std::string> lRows;
  for (size_t lStart = 0, lEnd; (lEnd = lText.find('\n', lStart)) != std::string::npos; lStart = lEnd + 1)
    lRows.push_back(lText.substr(lStart, lEnd - lStart));
  ASSERT_EQ(6u, lRows.size()) << lText;
  EXPECT_EQ(0u, lRows[0].find("  1  Count ")) << lRows[0] << " (numbered from the first listed)";
  EXPECT_EQ(std::string::npos, lRows[0].find("animatable")) << lRows[0];
  EXPECT_NE(std::string::npos, lRows[1].find("Number")) << lRows[1];
  EXPECT_NE(std::string::npos, lRows[1].find("range 1..3  animatable")) << lRows[1];
  EXPECT_NE(std::string::npos, lRows[2].find("animatable animated")) << lRows[2];
  EXPECT_NE(std::string::npos, lRows[3].find("\"two\\nlines\"")) << lRows[3];
}

// Camera properties: existing ones set as any property; new names become
// custom properties typed by their first value.
TEST(CameraPropertyEdit, SetsOrAddsTypedCustomProperties) {
  vthost::Host lHost;
  FBCamera* lCamera = lHost.FindCamera("Producer Perspective");
  std::string lError;
  EXPECT_TRUE(vthost::SetCameraPropertyFromText(lCamera, "ShowCrosshair", "false", lError)) << lError;
  EXPECT_FALSE(static_cast<bool>(lCamera->ShowCrosshair));
  const int lCount = lCamera->PropertyList.GetCount();
  const struct {
    const char* name;
    const char* value;
    const char* type;
  } kAdded[] = {{"Gate", "true", "Bool"},      {"Lens Id", "-12", "Integer"},
                {"Squeeze", "1.33", "Number"}, {"Tint", "1 0 0 0.5", "ColorAndAlpha"},
                {"Note", "1 2 3", "String"},   {"Big", "99999999999", "Number"}};
  for (const auto& a : kAdded) {
    ASSERT_TRUE(vthost::SetCameraPropertyFromText(lCamera, a.name, a.value, lError)) << a.name << ": " << lError;
    FBProperty* lProperty = lCamera->PropertyList.Find(a.name);
    ASSERT_NE(nullptr, lProperty);
    EXPECT_EQ(std::string(a.type), lProperty->GetPropertyTypeName()) << a.name;
  }
  EXPECT_EQ(lCount + 6, lCamera->PropertyList.GetCount());
  EXPECT_TRUE(vthost::SetCameraPropertyFromText(lCamera, "Gate", "0", lError)) << "now an existing Bool";

  // Errors name the property and the type it expects, and change nothing.
  EXPECT_FALSE(vthost::SetCameraPropertyFromText(lCamera, "Gate", "maybe", lError));
  EXPECT_NE(std::string::npos, lError.find("camera property 'Gate' of 'Producer Perspective' expects Bool"))
      << lError;
  EXPECT_FALSE(vthost::SetCameraPropertyFromText(lCamera, "FocalLength", "long", lError));
  EXPECT_NE(std::string::npos, lError.find("'FocalLength'")) << lError;
  EXPECT_NE(std::string::npos, lError.find("expects Number")) << lError;
  EXPECT_FALSE(vthost::SetCameraPropertyFromText(lCamera, "", "true", lError));
  EXPECT_FALSE(vthost::SetCameraPropertyFromText(nullptr, "Gate", "true", lError));
  EXPECT_NE(std::string::npos, lError.find("no current camera")) << lError;
  EXPECT_EQ(lCount + 6, lCamera->PropertyList.GetCount());
}

}  // namespace

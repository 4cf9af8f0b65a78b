// The element's properties as a new element carries them.
#include "hud_support.h"

using namespace vthud_test;

namespace {

struct Expected {
  std::string name;
  const char* type;
  bool animatable;
  const char* start;  // text form; null where not checked
};

// The whole table in creation order; markers come between "Reticle Size" and "Mask Color".
std::vector<Expected> ExpectedProperties() {
  std::vector<Expected> e = {
      {"Show Labels", "Bool", true, "true"},
      {"Show Timeline", "Bool", true, "true"},
      {"In Frame", "Integer", true, "0"},
      {"Out Frame", "Integer", true, "0"},
      {"Show FQN", "Bool", true, "true"},
      {"Use Take for FQN", "Bool", true, "true"},
      {"FQN", "String", false, "999_00A_001_0A01_X1_PC001_AV001"},
      {"Show Slate", "Bool", true, "false"},
      {"Slate", "String", false, "999A1"},
      {"Show FPS", "Bool", true, "false"},
      {"Saving", "Bool", true, "false"},
      {"Standby", "Bool", true, "false"},
      {"Show Reticle", "Bool", true, "false"},
      {"Reticle Bound Property", "String", false, "ShowCrosshair"},
      {"Save Message", "String", false, "Saving..."},
      {"Aspect", "Number", true, "2.35"},
      {"Aspect Distribution", "Number", true, "0.5"},
      {"Aspect Zoom", "Number", true, "0"},
      {"Show Focal Length", "Bool", true, "true"},
      {"Show F-Stop", "Bool", true, "false"},
      {"Show Focus Distance", "Bool", true, "false"},
      {"Metric Units", "Bool", true, "false"},
      {"Show Camera Name", "Bool", true, "false"},
      {"Show Interoccular", "Bool", true, "false"},
      {"Interoccular", "Number", true, "0"},
      {"Show Convergence", "Bool", true, "false"},
      {"Convergence", "Number", true, "0"},
      {"Show Scene Frame", "Bool", true, "true"},
      {"Show Scene Timecode", "Bool", true, "true"},
      {"Timecode Property Name", "String", false, "TimeCode"},
      {"Show Character Timecode", "Bool", true, "true"},
      {"Character Timecode Source", "Object", false, nullptr},
      {"Character Hour", "Integer", true, "0"},
      {"Character Minute", "Integer", true, "0"},
      {"Character Second", "Integer", true, "0"},
      {"Character Frame", "Integer", true, "0"},
      {"Character Timecode", "TimeCode", true, nullptr},
      {"Show Camera Timecode", "Bool", true, "true"},
      {"Camera Timecode Source", "Object", false, nullptr},
      {"Camera Hour", "Integer", true, "0"},
      {"Camera Minute", "Integer", true, "0"},
      {"Camera Second", "Integer", true, "0"},
      {"Camera Frame", "Integer", true, "0"},
      {"Camera Timecode", "TimeCode", true, nullptr},
      {"Show Value 1", "Bool", true, "false"},
      {"Value 1", "Number", true, "0"},
      {"Value 1 Label", "String", false, "Value 1"},
      {"Show Value 2", "Bool", true, "false"},
      {"Value 2", "Number", true, "0"},
      {"Value 2 Label", "String", false, "Value 2"},
      {"Bloop Light Duration", "Integer", true, "12"},
      {"Bloop Color", "ColorAndAlpha", true, "1 0 0 0.25"},
      {"Use X For Bloop", "Bool", true, "false"},
      {"Reticle Color", "ColorAndAlpha", true, "1 0 0 0.9"},
      {"Reticle Size", "Integer", true, "50"},
  };
  for (int n = 1; n <= 20; ++n) {
    e.push_back({"Show Marker " + std::to_string(n), "Bool", true, "false"});
    e.push_back({"Marker " + std::to_string(n) + " Name", "String", false, ""});
    e.push_back({"Marker " + std::to_string(n) + " Frame", "Integer", true, "0"});
  }
  const std::vector<Expected> kTail = {
      {"Mask Color", "ColorAndAlpha", true, "0 0 0 0.75"},
      {"Font Color", "ColorAndAlpha", true, "1 1 1 1"},
      {"Timeline Offset", "Integer", false, "90"},
      {"Focal Length Offset", "Integer", false, "10"},
      {"F-Stop Offset", "Integer", false, "175"},
      {"Focus Distance Offset", "Integer", false, "310"},
      {"Camera Name Offset", "Integer", false, "200"},
      {"Interoccular Offset", "Integer", false, "515"},
      {"Convergence Offset", "Integer", false, "610"},
      {"FQN Offset", "Integer", false, "760"},
      {"Slate Offset", "Integer", false, "1400"},
      {"Frame Offset", "Integer", false, "10"},
      {"Scene TC Offset", "Integer", false, "200"},
      {"Character TC Offset", "Integer", false, "500"},
      {"Camera TC Offset", "Integer", false, "800"},
      {"Status Offset", "Integer", false, "1700"},
      {"Value 1 Offset X", "Integer", false, "1200"},
      {"Value 1 Offset Y", "Integer", false, "24"},
      {"Value 2 Offset X", "Integer", false, "1450"},
      {"Value 2 Offset Y", "Integer", false, "24"},
      {"FPS Offset", "Integer", false, "1600"},
  };
  e.insert(e.end(), kTail.begin(), kTail.end());
  return e;
}

}  // namespace

class Properties : public HudTest {};

TEST_F(Properties, NewElementHas136OwnPropertiesInCreationOrderWithTheirStartValues) {
  FBHUDElement lBase("base");
  const int lFirst = lBase.PropertyList.GetCount();
  const std::vector<Expected> lExpected = ExpectedProperties();
  ASSERT_EQ(lExpected.size(), 136u);
  ASSERT_EQ(element->PropertyList.GetCount() - lFirst, 136);
  for (size_t i = 0; i < lExpected.size(); ++i) {
    FBProperty* p = element->PropertyList[lFirst + static_cast<int>(i)];
    const Expected& e = lExpected[i];
    SCOPED_TRACE("#" + std::to_string(i + 1) + " " + e.name);
    EXPECT_EQ(std::string(p->GetName()), e.name);
    EXPECT_STREQ(p->GetPropertyTypeName(), e.type);
    EXPECT_EQ(p->IsAnimatable(), e.animatable);
    if (e.start) {
      EXPECT_EQ(std::string(p->AsString()), e.start);
    }
  }
  for (const char* lAbsent : {"Show Marker 0", "Marker 0 Name", "Show Marker 21", "Marker 21 Frame"})
    EXPECT_EQ(element->PropertyList.Find(lAbsent), nullptr) << lAbsent;
}

TEST_F(Properties, MarkerNamesAreEmptyStringsNeverNull) {
  for (int n = 1; n <= 20; ++n) {
    FBProperty* p = element->PropertyList.Find(("Marker " + std::to_string(n) + " Name").c_str());
    ASSERT_NE(p, nullptr);
    FBString lValue;
    ASSERT_TRUE(p->GetData(&lValue, sizeof lValue));
    ASSERT_NE(static_cast<const char*>(lValue), nullptr);
    EXPECT_STREQ(static_cast<const char*>(lValue), "");
  }
}

TEST_F(Properties, TheThreeRangesClampAtBothEnds) {
  struct Case {
    const char* name;
    const char* set;
    const char* read;
  };
  const Case kCases[] = {
      {"Aspect", "3.5", "3"},
      {"Aspect", "0.5", "1"},
      {"Aspect", "1.85", "1.85"},
      {"Aspect Distribution", "-0.1", "0"},
      {"Aspect Distribution", "1.5", "1"},
      {"Aspect Zoom", "150", "100"},
      {"Aspect Zoom", "-5", "0"},
      {"Aspect Zoom", "50", "50"},
      {"Interoccular", "-5", "-5"},
      {"Value 1", "1e9", "1000000000"},  // no range: any value
  };
  for (const Case& c : kCases) {
    Set(element, c.name, c.set);
    EXPECT_EQ(Get(element, c.name), c.read) << c.name << " set to " << c.set;
  }
}

TEST_F(Properties, TimecodeSourcesAreObjectLists) {
  for (const char* lName : {"Character Timecode Source", "Camera Timecode Source"}) {
    FBProperty* p = element->PropertyList.Find(lName);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetPropertyType(), kFBPT_object);
    EXPECT_EQ(p->GetSrcCount(), 0);
  }
}

// Timecode sources: running and held timecodes as scene frames move, the
// four integers, the texts that make them, and their place in scene files.
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host.h"
#include "scene_file.h"
#include "timecode_sources.h"

namespace {

// "HH:MM:SS:FF" of a source's carried property or of its four integers.
std::string Reading(FBComponent* pSource, const std::string& pCarried) {
  int lParts[4];
  if (pCarried == "TC") {
    const char* const kNames[] = {"TCHour", "TCMinute", "TCSecond", "TCFrame"};
    for (int i = 0; i < 4; ++i) pSource->PropertyList.Find(kNames[i])->GetData(&lParts[i], sizeof(int));
  } else {
    FBTimeCode lValue;
    pSource->PropertyList.Find(pCarried.c_str())->GetData(&lValue, sizeof lValue);
    const int s = static_cast<int>(lValue.GetSeconds());
    lParts[0] = s / 3600;
    lParts[1] = s / 60 % 60;
    lParts[2] = s % 60;
    lParts[3] = static_cast<int>(lValue.GetFrame());
  }
  char lText[32];
  snprintf(lText, sizeof lText, "%02d:%02d:%02d:%02d", lParts[0], lParts[1], lParts[2], lParts[3]);
  return lText;
}

class TimecodeSources : public ::testing::Test {
 protected:
  void SetUp() override {
    // Stands in for an element: the two source lists and the name it looks for.
    mElement = mHost.AddObject("Element");
    mElement->PropertyCreate("Character Timecode Source", kFBPT_object, "", false);
    mElement->PropertyCreate("Camera Timecode Source", kFBPT_object, "", false);
    mElement->PropertyCreate("Timecode Property Name", kFBPT_charptr, "", false)->SetString("Take TC");
  }
  FBPropertyListObject* List(const char* pName) {
    return static_cast<FBPropertyListObject*>(mElement->PropertyList.Find(pName));
  }
  vthost::SceneObject* Add(vthost::TimecodeSlot pSlot, const std::string& pText) {
    std::string lError;
    vthost::SceneObject* lSource = vthost::AddTimecodeSource(mHost, mElement, pSlot, pText, lError);
    EXPECT_NE(nullptr, lSource) << lError;
    return lSource;
  }
  vthost::Host mHost;
  vthost::SceneObject* mElement = nullptr;
};

TEST_F(TimecodeSources, RunOneFrameAPerSceneFrameFromWhereTheyStart) {
  mHost.SetFrame(100);
  vthost::SceneObject* lRunning = Add(vthost::TimecodeSlot::Character, "master=01:00:00:00");
  ASSERT_NE(nullptr, lRunning);
  EXPECT_EQ(lRunning, List("Character Timecode Source")->GetAt(0));
  const struct {
    long long frame;
    const char* reading;
  } kSteps[] = {{100, "01:00:00:00"}, {101, "01:00:00:01"}, {129, "01:00:00:29"},
                {130, "01:00:01:00"}, {99, "00:59:59:29"},  {100 + 30 * 3600, "02:00:00:00"}};
  for (const auto& s : kSteps) {
    mHost.SetFrame(s.frame);
    EXPECT_EQ(s.reading, Reading(lRunning, "master")) << "scene frame " << s.frame;
  }

  // A held source stands still; the four integers read the same timecode.
  mHost.SetFrame(0);
  vthost::SceneObject* lHeld = Add(vthost::TimecodeSlot::Camera, "TC=23:59:59:29,held");
  vthost::SceneObject* lFour = Add(vthost::TimecodeSlot::Camera, "TC=23:59:59:29");
  EXPECT_EQ(lFour, List("Camera Timecode Source")->GetAt(0));
  EXPECT_EQ(1, List("Camera Timecode Source")->GetCount()) << "a new source takes the old one's place";
  mHost.SetFrame(1);
  EXPECT_EQ("23:59:59:29", Reading(lHeld, "TC"));
  EXPECT_EQ("00:00:00:00", Reading(lFour, "TC")) << "wraps at 24 hours";
  mHost.SetFrame(-0x7fffffffffffffffLL / 46186158000LL * 29);
  EXPECT_EQ(11u, Reading(lFour, "TC").size()) << "far-off frames still give a timecode";
}

TEST_F(TimecodeSources, CountAtTheScenesRate) {
  mHost.SetTimeMode(kFBTimeMode24Frames);
  vthost::SceneObject* lSource = Add(vthost::TimecodeSlot::Character, "Take TC=10:00:00:23");
  ASSERT_NE(nullptr, lSource);
  mHost.SetFrame(1);
  EXPECT_EQ("10:00:01:00", Reading(lSource, "Take TC"));
  std::string lError;
  EXPECT_EQ(nullptr, vthost::AddTimecodeSource(mHost, mElement, vthost::TimecodeSlot::Camera, "master=00:00:00:24",
                                               lError));
  EXPECT_NE(std::string::npos, lError.find("frames 00-23")) << lError;
}

TEST_F(TimecodeSources, BadTextIsRefusedWithAReason) {
  const struct {
    std::string text;
    const char* message;
  } kCases[] = {
      {"", "PROPERTY=HH:MM:SS:FF"},
      {"master", "PROPERTY=HH:MM:SS:FF"},
      {"=01:00:00:00", "PROPERTY=HH:MM:SS:FF"},
      {"master=1:00:00:00", "is not HH:MM:SS:FF"},
      {"master=01:00:00", "is not HH:MM:SS:FF"},
      {"master=01-00-00-00", "is not HH:MM:SS:FF"},
      {"master=24:00:00:00", "out of range"},
      {"master=00:60:00:00", "out of range"},
      {"master=00:00:00:30", "frames 00-29"},
      {"master=01:00:00:00,hold", "unknown option 'hold'"},
      {"Master=01:00:00:00",
       "'Master' is not a timecode property the element looks for (one of 'Take TC', 'master'"},
  };
  for (const auto& c : kCases) {
    std::string lError;
    EXPECT_EQ(nullptr, vthost::AddTimecodeSource(mHost, mElement, vthost::TimecodeSlot::Character, c.text, lError))
        << c.text;
    EXPECT_NE(std::string::npos, lError.find(c.message)) << c.text << ": " << lError;
  }
  EXPECT_EQ(1u, mHost.Objects().size()) << "nothing was added";
  std::string lError;
  EXPECT_EQ(nullptr, vthost::AddTimecodeSource(mHost, mHost.AddObject("Plain"), vthost::TimecodeSlot::Camera,
                                               "master=01:00:00:00", lError));
  EXPECT_NE(std::string::npos, lError.find("has no 'Camera Timecode Source' list")) << lError;
}

TEST_F(TimecodeSources, SceneFilesKeepThemAndTheirPlaceInTheLists) {
  char lTemplate[] = "/tmp/vthost-sources-test-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(lTemplate));
  const std::string lPath = std::string(lTemplate) + "/scene.json";
  mHost.SetFrame(10);
  Add(vthost::TimecodeSlot::Character, "amc:timecode=01:00:00:00");
  Add(vthost::TimecodeSlot::Camera, "TC=02:00:00:00,held");
  std::string lError;
  ASSERT_TRUE(vthost::SaveScene(mHost, lPath, lError)) << lError;
  std::stringstream lText;
  lText << std::ifstream(lPath).rdbuf();
  EXPECT_EQ(std::string::npos, lText.str().find("\"TCHour\"")) << "computed values are not stored";

  vthost::Host lHost;
  ASSERT_TRUE(vthost::LoadScene(lHost, lPath, lError)) << lError;
  FBComponent* lElement = lHost.FindObject("Element");
  ASSERT_NE(nullptr, lElement);
  auto* lCharacter = static_cast<FBPropertyListObject*>(lElement->PropertyList.Find("Character Timecode Source"));
  auto* lCamera = static_cast<FBPropertyListObject*>(lElement->PropertyList.Find("Camera Timecode Source"));
  ASSERT_EQ(1, lCharacter->GetCount());
  ASSERT_EQ(1, lCamera->GetCount());
  lHost.SetFrame(12);
  EXPECT_EQ("01:00:00:02", Reading(lCharacter->GetAt(0), "amc:timecode"));
  EXPECT_EQ("02:00:00:00", Reading(lCamera->GetAt(0), "TC"));
  std::filesystem::remove_all(lTemplate);
}

}  // namespace

// Text field boxes measured from outside the plug-in, held against what the
// element draws, and the shipped layouts checked as a TD checks them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hud_support.h"
#include "layout_check.h"
#include "scene_file.h"

using namespace vthud_test;

namespace {

const char* const kEveryGate[] = {"Show F-Stop",       "Show Focus Distance", "Show Camera Name",
                                  "Show Interoccular", "Show Convergence",    "Show Slate",
                                  "Show FPS",          "Show Value 1",        "Show Value 2"};

class LayoutBoxes : public QuietHudTest {};

// Every pixel the text fields light touches a measured box (an edge pixel
// partly covered by a glyph counts), and every box holds some lit pixels:
// with the default offsets (which overlap) and with the shipped layout that
// shows every field.
TEST_F(LayoutBoxes, MeasuredBoxesHoldEveryDrawnPixel) {
  for (const char* lLayout : {"", "all-fields.json"}) {
    SCOPED_TRACE(*lLayout ? lLayout : "default offsets");
    Quiet();
    std::string lError;
    if (*lLayout) {
      ASSERT_TRUE(vthost::ApplyLayout(element, std::string(VTHUD_LAYOUTS_DIR) + "/" + lLayout, lError)) << lError;
    }
    for (const char* lGate : kEveryGate) Set(element, lGate, "true");
    for (const char* lGate : {"Show Labels", "Show FQN", "Show Focal Length", "Show Scene Frame",
                              "Show Scene Timecode", "Show Character Timecode", "Show Camera Timecode"})
      Set(element, lGate, "true");
    Set(element, "Show Timeline", "false");
    const vthost::Image lImage = Draw();
    std::vector<vthud_tool::FieldBox> lBoxes;
    // No frame time is known on the first draw, so FRAMERATE shows 0.0.
    ASSERT_TRUE(vthud_tool::MeasureFields(element, VTHUD_RESOURCES_DIR, 0, lBoxes, lError)) << lError;
    ASSERT_EQ(16u, lBoxes.size());
    std::vector<int> lLit(lBoxes.size(), 0);
    long lOutside = 0;
    std::string lFirst;
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) {
        if (lImage.rgba[(static_cast<size_t>(1079 - y) * 1920 + static_cast<size_t>(x)) * 4 + 3] == 0) continue;
        bool lInside = false;
        for (size_t i = 0; i < lBoxes.size(); ++i) {
          const vthud_tool::FieldBox& b = lBoxes[i];
          if (x + 1 > b.x0 && x < b.x1 && y + 1 > b.y0 && y < b.y1) lInside = true, ++lLit[i];
        }
        if (!lInside && lOutside++ == 0) lFirst = std::to_string(x) + ", " + std::to_string(y);
      }
    EXPECT_EQ(0, lOutside) << "lit pixels outside every box, the first at " << lFirst;
    for (size_t i = 0; i < lBoxes.size(); ++i) EXPECT_GT(lLit[i], 0) << lBoxes[i].field << " drew nothing";
  }
}

struct CheckRun {
  int status = -1;
  std::string out;
};

CheckRun Check(const std::string& pArguments) {
  const std::string lOut = std::filesystem::temp_directory_path() / "vthud-check-layout.out";
  const int lStatus =
      system((std::string(VTHUD_PREVIEW_TOOL) + " --check-layout " + pArguments + " >" + lOut + " 2>&1").c_str());
  std::ifstream lFile(lOut);
  std::stringstream lText;
  lText << lFile.rdbuf();
  std::filesystem::remove(lOut);
  return {WIFEXITED(lStatus) ? WEXITSTATUS(lStatus) : -1, lText.str()};
}

TEST(CheckLayout, DefaultOffsetsCollideAndEveryShippedLayoutFits) {
  std::string lEveryField;
  for (const char* lGate : kEveryGate) lEveryField += " --set '" + std::string(lGate) + "=true'";
  const CheckRun lDefaults = Check(lEveryField);
  EXPECT_EQ(2, lDefaults.status) << lDefaults.out;
  for (const char* lPair :
       {"F-Stop (x 178.0..237.8 y 1015.8..1062.2) overlaps Camera Name",
        "Focus Distance (x 310.0..462.0 y 1015.8..1064.0) overlaps Camera Name",
        "Convergence (x 610.0..762.0 y 1015.8..1064.0) overlaps FQN", "16 text fields shown, 5 problems"})
    EXPECT_NE(std::string::npos, lDefaults.out.find(lPair)) << lDefaults.out;

  int lLayouts = 0;
  for (const auto& lEntry : std::filesystem::directory_iterator(VTHUD_LAYOUTS_DIR)) {
    if (lEntry.path().extension() != ".json") continue;
    ++lLayouts;
    SCOPED_TRACE(lEntry.path().filename().string());
    // With a take named as long as a full FQN, which the FQN field shows.
    const CheckRun lRun = Check("--layout " + lEntry.path().string() + " --take 999_00A_001_0A01_X1_PC001_AV001");
    EXPECT_EQ(0, lRun.status) << lRun.out;
    EXPECT_NE(std::string::npos, lRun.out.find(" 0 problems")) << lRun.out;
  }
  EXPECT_EQ(3, lLayouts);
}

}  // namespace

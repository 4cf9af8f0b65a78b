// One invocation's steps run in-process, where what the host holds after a
// run can be looked at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"
#include "session.h"

namespace {

// A run on the renderer road that fails before its first frame (its output
// cannot be made) leaves the renderer disconnected: the element's disconnect
// callback has run, not waited for the host's end.
TEST(PreviewSession, AnEarlyErrorClosesTheRendererRoad) {
  vthud_tool::Options o;
  std::string lError;
  ASSERT_TRUE(vthud_tool::ParseOptions(
      {"vthud_preview", "--road", "renderer", "--plugin", VTHUD_PLUGIN_PATH, "--out", "/proc/no/such/hud.png"}, o,
      lError))
      << lError;
  vthud_tool::Session s;
  ASSERT_TRUE(vthud_tool::OpenInputs(o, VTHUD_RESOURCES_DIR, s, lError) && vthud_tool::MakeHost(o, s, lError) &&
              vthud_tool::ApplySettings(o, s, lError) && vthud_tool::PrepareTake(o, s, lError))
      << lError;
  testing::internal::CaptureStderr();
  EXPECT_EQ(vthud_tool::Run(o, s), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot make folder /proc/no"), std::string::npos);
  EXPECT_TRUE(s.host.Road().Attached());
  EXPECT_FALSE(s.host.Road().Connected());
}

}  // namespace

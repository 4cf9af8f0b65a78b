// The host layer's set-up tools seen through the real element: timecode
// sources bound through the host's notification and advancing on screen, a
// custom camera switch gating the reticle, and layouts and scenes with both.
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include <filesystem>

#include "hud_support.h"
#include "property_edit.h"
#include "scene_file.h"
#include "timecode_sources.h"

using namespace vthud_test;

namespace {

std::vector<std::string>* gLines = nullptr;
void Capture(QtMsgType, const QMessageLogContext&, const QString& pMessage) {
  if (gLines) gLines->push_back(pMessage.toStdString());
}

// The element's debug lines while pWork runs.
template <class F>
std::vector<std::string> LinesOf(F pWork) {
  std::vector<std::string> lLines;
  gLines = &lLines;
  const QtMessageHandler lPrevious = qInstallMessageHandler(&Capture);
  pWork();
  qInstallMessageHandler(lPrevious);
  gLines = nullptr;
  return lLines;
}

std::string Side(FBComponent* pElement, const std::string& pSide) {
  return Get(pElement, (pSide + " Hour").c_str()) + ":" + Get(pElement, (pSide + " Minute").c_str()) + ":" +
         Get(pElement, (pSide + " Second").c_str()) + ":" + Get(pElement, (pSide + " Frame").c_str());
}

class SceneHud : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    char lTemplate[] = "/tmp/vthost-scene-hud-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(lTemplate));
    dir = lTemplate;
  }
  void TearDown() override {
    HudTest::TearDown();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  // The character timecode field alone, as drawn.
  vthost::Image CharacterField() {
    Quiet();
    Set(element, "Show Character Timecode", "true");
    return Draw();
  }
  std::string dir;
};

TEST_F(SceneHud, SourceAtOneHourAdvancesFrameByFrameOnScreen) {
  std::string lError;
  vthost::SceneObject* lSource = nullptr;
  const auto lLines = LinesOf([&] {
    lSource =
        vthost::AddTimecodeSource(*host, element, vthost::TimecodeSlot::Character, "master=01:00:00:00", lError);
  });
  ASSERT_NE(nullptr, lSource) << lError;
  EXPECT_EQ(std::vector<std::string>{"Connecting to 'master' timecode property"}, lLines);

  std::vector<vthost::Image> lFrames;
  for (int f = 0; f < 3; ++f) {
    host->SetFrame(f);
    lFrames.push_back(CharacterField());
    EXPECT_EQ("1:0:0:" + std::to_string(f), Side(element, "Character")) << "scene frame " << f;
  }
  // Each frame's digits differ from the last; the same timecode set by hand draws the same pixels.
  EXPECT_FALSE(DiffBox(lFrames[0], lFrames[1], 0, 0, 1920, 1080).empty);
  EXPECT_FALSE(DiffBox(lFrames[1], lFrames[2], 0, 0, 1920, 1080).empty);
  element->PropertyList.Find("Character Timecode Source")->DisconnectAllSrc();
  for (const char* p : {"Character Hour", "Character Minute", "Character Second", "Character Frame"})
    Set(element, p, p == std::string("Character Hour") ? "1" : p == std::string("Character Frame") ? "2" : "0");
  EXPECT_TRUE(DiffBox(lFrames[2], CharacterField(), 0, 0, 1920, 1080).empty) << "01:00:00:02 by hand";
}

TEST_F(SceneHud, HeldFourIntegerSourceOnTheCameraSide) {
  std::string lError;
  const auto lLines = LinesOf([&] {
    EXPECT_NE(nullptr, vthost::AddTimecodeSource(*host, element, vthost::TimecodeSlot::Camera,
                                                 "TC=10:20:30:15,held", lError))
        << lError;
  });
  EXPECT_EQ(std::vector<std::string>{"Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties"},
            lLines);
  for (int f : {0, 7, 400}) {
    host->SetFrame(f);
    Draw();
    EXPECT_EQ("10:20:30:15", Side(element, "Camera")) << "scene frame " << f;
  }
}

// A saved scene binds again on load, and its sources carry on from the frame they started at.
TEST_F(SceneHud, ScenesKeepSourcesCameraSwitchesAndTheTake) {
  std::string lError;
  host->SetFrame(5);
  ASSERT_NE(nullptr, vthost::AddTimecodeSource(*host, element, vthost::TimecodeSlot::Character,
                                               "TimeCode=01:00:00:00", lError))
      << lError;
  FBCamera* lCamera = host->Renderer().CurrentCamera;
  ASSERT_TRUE(vthost::SetCameraPropertyFromText(lCamera, "Gate", "false", lError)) << lError;
  host->SetCurrentTake(host->AddTake("Shot 7 Take 2"));
  const std::string lPath = dir + "/scene.json";
  ASSERT_TRUE(vthost::SaveScene(*host, lPath, lError)) << lError;

  host->DestroyAll();
  lCamera->PropertyRemove(lCamera->PropertyList.Find("Gate"));
  host->SetCurrentTake(nullptr);
  const auto lLines = LinesOf([&] { ASSERT_TRUE(vthost::LoadScene(*host, lPath, lError)) << lError; });
  EXPECT_EQ(std::vector<std::string>{"Connecting to 'TimeCode' timecode property"}, lLines);
  ASSERT_EQ(1u, host->HUDElements().size());
  element = host->HUDElements()[0];
  host->SetFrame(9);
  Draw();
  EXPECT_EQ("1:0:0:4", Side(element, "Character"));
  EXPECT_EQ("false", Get(lCamera, "Gate"));
  EXPECT_EQ("Shot 7 Take 2", std::string(static_cast<FBTake*>(FBSystem::TheOne().CurrentTake)->Name.AsString()));
}

// A switch the camera lacks can be added to it, and then gates the reticle.
TEST_F(SceneHud, CustomCameraSwitchGatesTheReticle) {
  Quiet();
  Set(element, "Show Reticle", "true");
  Set(element, "Reticle Bound Property", "Gate");
  FBCamera* lCamera = host->Renderer().CurrentCamera;
  lCamera->ShowOpticalCenter = true;
  std::string lError;
  ASSERT_TRUE(vthost::SetCameraPropertyFromText(lCamera, "Gate", "false", lError)) << lError;
  EXPECT_TRUE(LitBox(Draw(), 935, 515, 985, 565).empty) << "hidden by the camera's Gate";
  ASSERT_TRUE(vthost::SetCameraPropertyFromText(lCamera, "Gate", "true", lError)) << lError;
  EXPECT_FALSE(LitBox(Draw(), 935, 515, 985, 565).empty) << "shown again";
}

// A short layout file carries a look from one element to another.
TEST_F(SceneHud, LayoutCarriesTheLookToAnotherElement) {
  Quiet();
  Set(element, "Show Slate", "true");
  Set(element, "Slate", "12B");
  Set(element, "Aspect", "1.85");
  const vthost::Image lLook = Draw();
  const std::string lPath = dir + "/look.json";
  std::string lError;
  ASSERT_TRUE(vthost::SaveLayout(element, lPath, lError)) << lError;
  EXPECT_LT(std::filesystem::file_size(lPath), 3000u) << "only the changes are written";

  host->Destroy(element);
  element = static_cast<FBHUDElement*>(host->Create("VTHUDElement", "Other", lError));
  ASSERT_NE(nullptr, element) << lError;
  ASSERT_TRUE(vthost::ApplyLayout(element, lPath, lError)) << lError;
  EXPECT_TRUE(DiffBox(lLook, Draw(), 0, 0, 1920, 1080).empty);
}

}  // namespace

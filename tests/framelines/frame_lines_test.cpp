// The frame lines element beside the HUD element: its lines against
// rectangles drawn by hand from each FDL's numbers, both roads, a bad file,
// and its settings carried by scenes and layouts.
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "hud_support.h"
#include "scene_file.h"
#include "vantor.h"

using namespace vthud_test;

namespace {

struct Rect {
  double w, h, x, y;
};

struct Decision {
  const char* id;  // CANVAS-INTENT
  Rect rect;
  bool protection;
  Rect protectionRect;
};

QJsonObject Size(double w, double h) { return QJsonObject{{"width", w}, {"height", h}}; }
QJsonObject Point(double x, double y) { return QJsonObject{{"x", x}, {"y", y}}; }

// A one-canvas FDL "C" with intents SCOPE, TV and FULL.
std::string MakeFdl(double pCanvasW, double pCanvasH, double pSqueeze, const std::vector<Decision>& pDecisions) {
  QJsonArray lDecisions;
  for (const Decision& d : pDecisions) {
    const std::string lId = d.id;
    QJsonObject lDecision{{"id", d.id},
                          {"framing_intent_id", QString::fromStdString(lId.substr(lId.find('-') + 1))},
                          {"dimensions", Size(d.rect.w, d.rect.h)},
                          {"anchor_point", Point(d.rect.x, d.rect.y)}};
    if (d.protection) {
      lDecision.insert("protection_dimensions", Size(d.protectionRect.w, d.protectionRect.h));
      lDecision.insert("protection_anchor_point", Point(d.protectionRect.x, d.protectionRect.y));
    }
    lDecisions.append(lDecision);
  }
  QJsonArray lIntents;
  for (const char* lIntent : {"SCOPE", "TV", "FULL"})
    lIntents.append(QJsonObject{{"id", lIntent}, {"label", lIntent}, {"aspect_ratio", Size(16, 9)}});
  const QJsonObject lCanvas{{"id", "C"},
                            {"source_canvas_id", "C"},
                            {"dimensions", Size(pCanvasW, pCanvasH)},
                            {"anamorphic_squeeze", pSqueeze},
                            {"framing_decisions", lDecisions}};
  const QJsonObject lRoot{{"uuid", "0d6f4a55-1c3e-4d0a-8f7e-52b3a1e9c001"},
                          {"version", QJsonObject{{"major", 1}, {"minor", 1}}},
                          {"framing_intents", lIntents},
                          {"contexts", QJsonArray{QJsonObject{{"canvases", QJsonArray{lCanvas}}}}}};
  return QJsonDocument(lRoot).toJson().toStdString();
}

// Pixels [x0, x1) x [y0, y1) of a canvas image (origin bottom left), painted by hand.
struct Fill {
  int x0, y0, x1, y1;
  RGBA colour;
};

const RGBA kWhite{255, 255, 255, 255}, kAmber{255, 128, 0, 255};

// A rectangle's outline, w wide inside its edges: the whole top and bottom rows, the sides between.
std::vector<Fill> Outline(int l, int b, int r, int t, int w = 2, RGBA c = kWhite) {
  return {{l, t - w, r, t, c}, {l, b, r, b + w, c}, {l, b + w, l + w, t - w, c}, {r - w, b + w, r, t - w, c}};
}

// A protection outline: dashes of 12 on, 8 off, from the left along the top and bottom
// rows and from the bottom up the sides between them.
std::vector<Fill> Dashed(int l, int b, int r, int t, int w = 2) {
  std::vector<Fill> lFills;
  for (int x = l; x < r; x += 20) {
    lFills.push_back({x, t - w, std::min(r, x + 12), t, kAmber});
    lFills.push_back({x, b, std::min(r, x + 12), b + w, kAmber});
  }
  for (int y = b + w; y < t - w; y += 20) {
    lFills.push_back({l, y, l + w, std::min(t - w, y + 12), kAmber});
    lFills.push_back({r - w, y, r, std::min(t - w, y + 12), kAmber});
  }
  return lFills;
}

vthost::Image Painted(const std::vector<Fill>& pFills) {
  vthost::Image lImage;
  lImage.width = 1920;
  lImage.height = 1080;
  lImage.rgba.assign(1920u * 1080u * 4u, 0);
  for (const Fill& f : pFills)
    for (int y = f.y0; y < f.y1; ++y)
      for (int x = f.x0; x < f.x1; ++x) {
        uint8_t* p = &lImage.rgba[(static_cast<size_t>(1079 - y) * 1920 + static_cast<size_t>(x)) * 4];
        p[0] = static_cast<uint8_t>(f.colour.r);
        p[1] = static_cast<uint8_t>(f.colour.g);
        p[2] = static_cast<uint8_t>(f.colour.b);
        p[3] = static_cast<uint8_t>(f.colour.a);
      }
  return lImage;
}

std::vector<Fill> Join(std::vector<std::vector<Fill>> pParts) {
  std::vector<Fill> lAll;
  for (auto& lPart : pParts) lAll.insert(lAll.end(), lPart.begin(), lPart.end());
  return lAll;
}

}  // namespace

// The HUD element and the frame lines element in one host, the lines made second.
class FrameLinesTest : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    char lTemplate[] = "/tmp/vthud-lines-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(lTemplate));
    dir = lTemplate;
    std::string lError;
    linesPlugin = host->LoadPlugin(VTLINES_PLUGIN_PATH, lError);
    ASSERT_NE(linesPlugin, nullptr) << lError;
    lines = static_cast<FBHUDElement*>(host->Create("VTFrameLines", "Lines", lError));
    ASSERT_NE(lines, nullptr) << lError;
  }
  void TearDown() override {
    HudTest::TearDown();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  std::string Write(const std::string& pText, const char* pName = "show.fdl") {
    const std::string lPath = dir + "/" + pName;
    std::ofstream(lPath, std::ios::binary) << pText;
    return lPath;
  }
  std::string dir;
  vthost::PluginLibrary* linesPlugin = nullptr;
  FBHUDElement* lines = nullptr;
};

TEST_F(FrameLinesTest, LibraryRegistersOneClassAndExportsItsOwnEntryPoints) {
  ASSERT_EQ(linesPlugin->Classes().size(), 1u);
  EXPECT_EQ(linesPlugin->Classes()[0].entry, "VTFrameLines");
  EXPECT_EQ(linesPlugin->Classes()[0].description, "VT Frame Lines");
  EXPECT_NE(linesPlugin->Symbol("libvtframelinesMoonfairHandshake"), nullptr);
  EXPECT_NE(linesPlugin->Symbol("libvtframelinesMoonfairInterfaceExchange"), nullptr);
  EXPECT_EQ(linesPlugin->Symbol("libvthudelementMoonfairHandshake"), nullptr);
  EXPECT_EQ(vantor::LibraryName(VTLINES_PLUGIN_PATH), "libvtframelines");
}

// Each case: an FDL, the settings, and the frame drawn by hand from the file's numbers mapped onto
// the 1920 x 1080 canvas (UHD halves; the 2x anamorphic 4:3 canvas of 2880 x 2160 shows 5760 x 2160,
// a third of it, 180 rows down).
TEST_F(FrameLinesTest, EachCaseDrawsItsLinesOnTheExactRowsAndColumns) {
  struct Case {
    const char* what;
    std::string fdl;
    std::vector<std::pair<const char*, const char*>> settings;
    std::vector<Fill> expected;
  };
  const Case lCases[] = {
      {"2.39 and 16:9 in one UHD canvas",
       MakeFdl(3840, 2160, 1,
               {{"C-SCOPE", {3840, 1607, 0, 276.5}, false, {}}, {"C-TV", {3456, 1944, 192, 108}, false, {}}}),
       {},
       // 2.39: rows 138.25 to 941.75 round to 138 and 942.
       Join({Outline(0, 138, 1920, 942), Outline(96, 54, 1824, 1026)})},
      {"2x anamorphic 4:3",
       MakeFdl(2880, 2160, 2, {{"C-SCOPE", {2581, 2160, 149.5, 0}, false, {}}}),
       {},
       // columns 99.67 and 1820.33
       Outline(100, 180, 1820, 900)},
      {"off-centre decision",
       MakeFdl(1920, 1080, 1, {{"C-TV", {1280, 720, 100, 50}, false, {}}}),
       {},
       Outline(100, 310, 1380, 1030)},
      {"protection outside the decision",
       MakeFdl(3840, 2160, 1, {{"C-TV", {3456, 1944, 192, 108}, true, {3648, 2052, 96, 54}}}),
       {{"Protection Color", "1 0.5 0 1"}},
       Join({Outline(96, 54, 1824, 1026), Dashed(48, 27, 1872, 1053)})},
      {"90% action and 80% title safe",
       MakeFdl(1920, 1080, 1, {{"C-FULL", {1920, 1080, 0, 0}, false, {}}}),
       {{"Action Safe %", "90"}, {"Title Safe %", "80"}},
       Join({Outline(0, 0, 1920, 1080), Outline(96, 54, 1824, 1026), Outline(192, 108, 1728, 972)})},
      {"thirds, 4 wide",
       MakeFdl(1920, 1080, 1, {{"C-FULL", {1920, 1080, 0, 0}, false, {}}}),
       {{"Show Thirds", "true"}, {"Line Width", "4"}},
       Join({Outline(0, 0, 1920, 1080, 4),
             {{638, 4, 642, 1076, kWhite},
              {1278, 4, 1282, 1076, kWhite},
              {4, 358, 1916, 362, kWhite},
              {4, 718, 1916, 722, kWhite}}})},
      {"aspect lines without a file",
       "",
       {{"Aspect Lines", "2.39, 1.85"}},
       // 1920 / 2.39 = 803.3 rows from 138.3; 1080 x 1.85 = 1998 is wider than the canvas, so 1920 x 1037.8
       Join({Outline(0, 138, 1920, 942), Outline(0, 21, 1920, 1059)})},
      {"one decision named of two",
       MakeFdl(3840, 2160, 1,
               {{"C-SCOPE", {3840, 1607, 0, 276.5}, false, {}}, {"C-TV", {3456, 1944, 192, 108}, false, {}}}),
       {{"Framing Decisions", "C-TV"}},
       Outline(96, 54, 1824, 1026)},
  };
  element->Show = false;  // the lines alone
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.what);
    for (const char* lName : {"Framing Decisions", "Aspect Lines", "FDL File"}) Set(lines, lName, "");
    Set(lines, "Line Color", "1 1 1 1");
    Set(lines, "Line Width", "2");
    Set(lines, "Show Labels", "false");
    Set(lines, "Show Thirds", "false");
    Set(lines, "Action Safe %", "0");
    Set(lines, "Title Safe %", "0");
    for (const auto& lSetting : c.settings) Set(lines, lSetting.first, lSetting.second);
    if (!c.fdl.empty()) Set(lines, "FDL File", Write(c.fdl));
    const FrameDiff lDiff = CompareFrames(Draw(), Painted(c.expected));
    EXPECT_EQ(lDiff.differing, 0) << ToString(lDiff);
  }
}

// The lines are kept from frame to frame; a change of colour alone draws them in the new colour.
TEST_F(FrameLinesTest, AColourChangeAloneRedrawsTheKeptLines) {
  element->Show = false;
  Set(lines, "Show Labels", "false");
  Set(lines, "Aspect Lines", "2.39");
  Set(lines, "Line Color", "1 1 1 1");
  EXPECT_EQ(CompareFrames(Draw(), Painted(Outline(0, 138, 1920, 942))).differing, 0);
  Set(lines, "Line Color", "1 0.5 0 1");
  const FrameDiff lDiff = CompareFrames(Draw(), Painted(Outline(0, 138, 1920, 942, 2, kAmber)));
  EXPECT_EQ(lDiff.differing, 0) << ToString(lDiff);
}

// The labels are drawn once into a layer of the element's own and laid from it frame after frame;
// after each change of what they say, where, in what colour or on what size of pane, the kept
// element draws what a new element with the same settings draws.
TEST_F(FrameLinesTest, KeptLabelsFollowEachChangeAsANewElementDrawsThem) {
  element->Show = false;
  vthost::Pane& lSmall = host->AddPane(960, 540, nullptr);
  const std::pair<const char*, const char*> lSteps[] = {
      {"Aspect Lines", "2.39"},      {"Line Color", "1 0.5 0 1"},
      {"Line Color", "1 0.5 0 0.4"}, {"Aspect Lines", "1.85, 2.39"},
      {"Show Labels", "false"},      {"Show Labels", "true"},
      {"Line Width", "5"},           {"a smaller pane", nullptr}};
  vthost::Image lWithout;
  for (size_t n = 1; n <= std::size(lSteps); ++n) {
    const std::string lName = lSteps[n - 1].first;
    const char* lValue = lSteps[n - 1].second;
    SCOPED_TRACE(lName + " " + (lValue ? lValue : ""));
    vthost::Pane& lPane = lValue ? *pane : lSmall;
    if (lValue) Set(lines, lName.c_str(), lValue);
    host->DrawPane(lPane);
    const vthost::Image lKept = lPane.ReadPixels();
    std::string lError;
    FBComponent* lNew = host->Create("VTFrameLines", "New", lError);
    ASSERT_NE(lNew, nullptr) << lError;
    for (size_t i = 0; i < n; ++i)
      if (lSteps[i].second) Set(lNew, lSteps[i].first, lSteps[i].second);
    lines->Show = false;
    host->DrawPane(lPane);
    const FrameDiff lDiff = CompareFrames(lKept, lPane.ReadPixels());
    EXPECT_EQ(lDiff.differing, 0) << ToString(lDiff);
    host->Destroy(lNew);
    lines->Show = true;
    if (lName != "Show Labels") continue;
    if (lWithout.rgba.empty()) {
      lWithout = lKept;
      continue;
    }
    const Box lLabels = DiffBox(lWithout, lKept, 0, 0, 1920, 1080);
    ASSERT_FALSE(lLabels.empty) << "the labels are drawn";
    EXPECT_LE(lLabels.x1, 200) << "at the top left corners: " << ToString(lLabels);
  }
}

// A path that does not open and a file that does not read each draw one line of text naming the
// file and the reason, in the middle rows, and nothing else; the HUD draws as it did.
TEST_F(FrameLinesTest, ABadFileShowsOneLineAndTheHudCarriesOn) {
  Set(lines, "Show Centre Mark", "true");
  Set(lines, "Aspect Lines", "1.85");
  lines->Show = false;
  const vthost::Image lHud = Draw();
  lines->Show = true;
  struct Case {
    const char* what;
    std::string path, reason;
  };
  const Case lCases[] = {
      {"missing", dir + "/none.fdl", "none.fdl"},
      {"not JSON", Write("{\"uuid\": ", "cut.fdl"), "cut.fdl:1:"},
      {"unknown decision", Write(MakeFdl(1920, 1080, 1, {{"C-TV", {1920, 1080, 0, 0}, false, {}}})),
       "holds no framing decision 'C-XX'"}};
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.what);
    Set(lines, "Framing Decisions", c.what[0] == 'u' ? "C-XX" : "");
    Set(lines, "FDL File", c.path);
    const vthost::Image lBoth = Draw();
    const Box lChanged = DiffBox(lHud, lBoth, 0, 0, 1920, 1080);
    ASSERT_FALSE(lChanged.empty) << "the message is drawn";
    EXPECT_GE(lChanged.y0, 540 - 6);
    EXPECT_LE(lChanged.y1, 540 + 16) << "one line of text, nothing else: " << ToString(lChanged);
  }
  // Cleared, the lines come back.
  Set(lines, "FDL File", "");
  Set(lines, "Framing Decisions", "");
  EXPECT_FALSE(DiffBox(lHud, Draw(), 0, 0, 1920, 250).empty) << "the 1.85 lines and no message";
}

// Over the test picture, the HUD's default overlay and the lines (with protection, labels, safe
// areas and thirds) composite to the same frame on both roads within 2/255.
TEST_F(FrameLinesTest, BothRoadsAgreeWithTheHudAndTheLinesTogether) {
  vthost::Image lPicture;
  std::string lError;
  ASSERT_TRUE(vthost::ReadPng(std::string(VTHUD_RESOURCES_DIR) + "/quill-hd.png", lPicture, lError)) << lError;
  pane->SetBackground(lPicture);
  Set(lines, "FDL File",
      Write(MakeFdl(3840, 2160, 1,
                    {{"C-SCOPE", {3840, 1607, 0, 276.5}, false, {}},
                     {"C-TV", {3456, 1944, 192, 108}, true, {3648, 2052, 96, 54}}})));
  Set(lines, "Action Safe %", "90");
  Set(lines, "Show Thirds", "true");
  Set(lines, "Show Centre Mark", "true");
  auto Roads = [&](const char* pWhat) {
    host->Road().Close();
    const vthost::Image lViewer = Draw();
    std::string lAttach;
    EXPECT_TRUE(host->Road().Attach(*plugin, lAttach)) << lAttach;
    EXPECT_TRUE(host->Road().Attach(*linesPlugin, lAttach)) << lAttach;
    EXPECT_EQ(host->Road().Renderer().attached().size(), 2u);
    host->Road().SelectRendererCallback();
    host->Road().Connect();
    const vthost::Image lRenderer = Draw();
    EXPECT_EQ(host->Road().LastFrameError(), "");
    EXPECT_EQ(host->Road().Renderer().handles(vantor::Kind::Texture).size(), 2u) << "a texture each";
    const FrameDiff lDiff = CompareFrames(lViewer, lRenderer, 2);
    std::cout << "[ roads    ] HUD and lines, " << pWhat << ": " << lDiff.differing << " pixels beyond 2/255"
              << ", largest " << CompareFrames(lViewer, lRenderer, 0).largest << "/255" << std::endl;
    return lDiff;
  };
  const FrameDiff lWithText = Roads("with text");
  Quiet();
  Set(element, "Show Labels", "false");
  Set(element, "Status Offset", "4000");
  Roads("the lines' labels alone as text");
  Set(lines, "Show Labels", "false");
  const FrameDiff lTextless = Roads("without text");
  EXPECT_EQ(lTextless.differing, 0) << ToString(lTextless);
  EXPECT_EQ(lWithText.differing, 0) << ToString(lWithText);
  host->Road().Close();
}

// Every frame lines setting survives a scene and a layout of both elements.
TEST_F(FrameLinesTest, SettingsRoundTripThroughScenesAndLayouts) {
  const std::string lFdl = Write(MakeFdl(1920, 1080, 1, {{"C-TV", {1920, 1080, 0, 0}, false, {}}}));
  const std::pair<const char*, std::string> lSettings[] = {{"FDL File", lFdl},
                                                           {"Framing Decisions", "C-TV"},
                                                           {"Canvas", "C"},
                                                           {"Line Color", "0 1 0 0.5"},
                                                           {"Line Width", "3"},
                                                           {"Show Protection", "false"},
                                                           {"Protection Color", "1 0 1 1"},
                                                           {"Show Labels", "false"},
                                                           {"Show Centre Mark", "true"},
                                                           {"Action Safe %", "92.5"},
                                                           {"Title Safe %", "85"},
                                                           {"Show Thirds", "true"},
                                                           {"Aspect Lines", "2.39, 1.85"}};
  for (const auto& s : lSettings) Set(lines, s.first, s.second);
  Set(element, "Aspect", "1.85");
  std::string lError;
  const std::string lScene = dir + "/scene.json", lLayout = dir + "/layout.json";
  ASSERT_TRUE(vthost::SaveScene(*host, lScene, lError)) << lError;
  ASSERT_TRUE(vthost::SaveLayout(std::vector<FBComponent*>{element, lines}, lLayout, lError)) << lError;
  const vthost::Image lBefore = Draw();
  std::vector<std::string> lWant;
  for (const auto& s : lSettings) lWant.push_back(Get(lines, s.first));
  EXPECT_EQ(lWant[0], lFdl);
  EXPECT_EQ(lWant[12], "2.39, 1.85");
  auto ExpectSettings = [&](FBComponent* pLines) {
    for (size_t i = 0; i < lWant.size(); ++i) EXPECT_EQ(Get(pLines, lSettings[i].first), lWant[i]);
  };

  host->DestroyAll();
  ASSERT_TRUE(vthost::LoadScene(*host, lScene, lError)) << lError;
  FBComponent* lLoaded = host->FindObject("Lines");
  ASSERT_NE(lLoaded, nullptr);
  ExpectSettings(lLoaded);
  EXPECT_EQ(CompareFrames(lBefore, Draw()).differing, 0) << "the loaded scene draws the same frame";

  host->DestroyAll();
  FBComponent* lHud = host->Create("VTHUDElement", "HUD", lError);
  FBComponent* lFresh = host->Create("VTFrameLines", "Lines 2", lError);
  ASSERT_TRUE(lHud && lFresh) << lError;
  ASSERT_TRUE(vthost::ApplyLayout(std::vector<FBComponent*>{lHud, lFresh}, lLayout, lError)) << lError;
  EXPECT_EQ(Get(lHud, "Aspect"), "1.85");
  ExpectSettings(lFresh);
  element = nullptr;
}

// Text: where values and captions land, the tighter spacing of values, and
// which fields get captions. Expected boxes come from the same font files
// measured with the font library, placed where the overlay puts each string.
#include <FTGL/ftgl.h>

#include "hud_support.h"

using namespace vthud_test;

namespace {

struct Measure {
  double x0, y0, x1, y1;
};

Measure Measured(const char* pFontFile, unsigned pSize, const char* pText, double pX, double pY, double pSpacing) {
  FTTextureFont lFont((std::string(VTHUD_RESOURCES_DIR) + "/" + pFontFile).c_str());
  lFont.FaceSize(pSize, 72);
  const FTBBox lBox = lFont.BBox(pText, -1, FTPoint(), FTPoint(pSpacing, 0, 0));
  return {pX + lBox.Lower().X(), pY + lBox.Lower().Y(), pX + lBox.Upper().X(), pY + lBox.Upper().Y()};
}

// Rasterised glyphs cover their outline box to within a pixel or two.
::testing::AssertionResult Matches(const Box& pObserved, const Measure& e, double pTolerance = 2.0) {
  if (pObserved.empty) return ::testing::AssertionFailure() << "nothing drawn";
  if (std::abs(pObserved.x0 - e.x0) > pTolerance || std::abs(pObserved.x1 - e.x1) > pTolerance ||
      std::abs(pObserved.y0 - e.y0) > pTolerance || std::abs(pObserved.y1 - e.y1) > pTolerance)
    return ::testing::AssertionFailure() << "observed " << ToString(pObserved) << " expected [" << e.x0 << ", "
                                         << e.x1 << ") x [" << e.y0 << ", " << e.y1 << ")";
  return ::testing::AssertionSuccess();
}

}  // namespace

class Text : public QuietHudTest {};

TEST_F(Text, CaptionLandsFiveRightAndSixteenBelowItsValueOnlyWhenCaptionsAreOn) {
  Set(element, "Show Value 1", "true");
  Set(element, "Value 1", "888");
  Set(element, "Value 1 Label", "Label");
  Set(element, "Value 1 Offset X", "300");
  Set(element, "Value 1 Offset Y", "500");
  const vthost::Image lOff = Draw();
  Set(element, "Show Labels", "true");
  const vthost::Image lOn = Draw();

  EXPECT_TRUE(Matches(LitBox(lOff, 0, 100, 1920, 1080), Measured("OratorStd.otf", 48, "888.0", 300, 500, -5)))
      << "value at its offset";
  EXPECT_TRUE(Matches(DiffBox(lOff, lOn, 0, 100, 1920, 1080), Measured("Arial.ttf", 16, "Label", 305, 484, 0)))
      << "the caption is all that captions add";
}

TEST_F(Text, ValuesAreFivePixelsTighterPerCharacterAfterTheFirst) {
  Set(element, "Show FQN", "true");
  Set(element, "Use Take for FQN", "false");
  Set(element, "FQN Offset", "300");
  for (const char* lValue : {"W", "WWW", "0123456789"}) {
    SCOPED_TRACE(lValue);
    Set(element, "FQN", lValue);
    const Box lBox = LitBox(Draw(), 0, 900, 1920, 1080);
    const Measure lTight = Measured("OratorStd.otf", 48, lValue, 300, 1032, -5);
    const Measure lLoose = Measured("OratorStd.otf", 48, lValue, 300, 1032, 0);
    EXPECT_TRUE(Matches(lBox, lTight));
    EXPECT_NEAR(lLoose.x1 - lTight.x1, 5.0 * (strlen(lValue) - 1), 0.01);
  }
}

TEST_F(Text, EmptyValueDrawsNothingButItsCaption) {
  Set(element, "Show Labels", "true");
  Set(element, "Show FQN", "true");
  Set(element, "Use Take for FQN", "false");
  Set(element, "FQN", "");
  const vthost::Image lImage = Draw();
  EXPECT_TRUE(LitBox(lImage, 700, 1030, 1920, 1080).empty) << "no value above the caption";
  EXPECT_TRUE(Matches(LitBox(lImage, 700, 900, 1920, 1080), Measured("Arial.ttf", 16, "FQN", 765, 1016, 0)));
}

TEST_F(Text, StatusNeverHasACaption) {
  const vthost::Image lOff = Draw();
  Set(element, "Show Labels", "true");
  const vthost::Image lOn = Draw();
  EXPECT_FALSE(LitBox(lOn, 1690, 0, 1920, 100).empty);
  EXPECT_TRUE(DiffBox(lOff, lOn, 0, 0, 1920, 1080).empty) << "only the status is drawn, captions or not";
}

TEST_F(Text, UserCaptionIsDrawnAsTyped) {
  Set(element, "Show Value 2", "true");
  Set(element, "Value 2 Offset X", "400");
  Set(element, "Value 2 Offset Y", "600");
  Set(element, "Value 2 Label", "Tilt (deg) \xc3\xa9");
  const vthost::Image lOff = Draw();
  Set(element, "Show Labels", "true");
  EXPECT_TRUE(Matches(DiffBox(lOff, Draw(), 0, 100, 1920, 1080),
                      Measured("Arial.ttf", 16, "Tilt (deg) \xc3\xa9", 405, 584, 0)));
}

// The text layer keeps strings from one frame to the next and draws again
// only what changed: after every change the frame equals the frame of a new
// element with the same settings, within the rounding of glyph sampling.
class TextKept : public HudTest {};

TEST_F(TextKept, FramesAfterChangesEqualANewElementsFrames) {
  using Settings = std::vector<std::pair<const char*, const char*>>;
  const std::string lLong(1000, 'W');
  struct Step {
    const char* what;
    long long frame;
    Settings set;
  };
  const Step lSteps[] = {
      {"every field on", 10, {}},
      {"the counters move on", 11, {}},
      {"a value grows", 11, {{"Value 1", "123456.5"}}},
      {"captions off", 12, {{"Show Labels", "false"}}},
      {"captions back at half alpha", 12, {{"Show Labels", "true"}, {"Font Color", "1 1 1 0.5"}}},
      {"another colour, the same alpha", 13, {{"Font Color", "1 0.5 0 0.5"}}},
      {"the save veil and its message", 13, {{"Saving", "true"}}},
      {"the veil gone, a field gone", 14, {{"Saving", "false"}, {"Show Slate", "false"}}},
      {"the marker names in a run of their own", 15, {{"Timeline Offset", "540"}}},
      {"names back with the fields, a caption moved", 15, {{"Timeline Offset", "90"}, {"Value 1 Label", "GAIN"}}},
      // One run's boxes over another's ink: both runs draw afresh.
      {"a value under the save message",
       16,
       {{"Value 1 Offset X", "900"}, {"Value 1 Offset Y", "530"}, {"Saving", "true"}}},
      {"the value moved off, the veil gone",
       17,
       {{"Value 1 Offset X", "1200"}, {"Value 1 Offset Y", "24"}, {"Saving", "false"}}},
      // More text than a run keeps: the layer is cleared and the run drawn as it goes.
      {"long texts",
       18,
       {{"Slate", lLong.c_str()},
        {"Value 1 Label", lLong.c_str()},
        {"Value 2 Label", lLong.c_str()},
        {"Marker 1 Name", lLong.c_str()},
        {"Marker 3 Name", lLong.c_str()}}},
      {"short texts again",
       19,
       {{"Slate", "A1"},
        {"Value 1 Label", "V1"},
        {"Value 2 Label", "V2"},
        {"Marker 1 Name", "M1"},
        {"Marker 3 Name", "M3"}}},
  };
  Settings lAll{{"Show FPS", "false"}};  // a new element's frame rate has measured nothing yet
  EveryFieldOn(element);
  for (const Step& s : lSteps) {
    SCOPED_TRACE(s.what);
    lAll.insert(lAll.end(), s.set.begin(), s.set.end());
    for (const auto& lSetting : lAll) Set(element, lSetting.first, lSetting.second);
    host->SetFrame(s.frame);
    const vthost::Image lKept = Draw();

    std::string lError;
    FBComponent* lFresh = host->Create("VTHUDElement", "VT HUD Element 2", lError);
    ASSERT_NE(lFresh, nullptr) << lError;
    EveryFieldOn(lFresh);
    for (const auto& lSetting : lAll) Set(lFresh, lSetting.first, lSetting.second);
    element->Show = false;
    const vthost::Image lNew = Draw();
    element->Show = true;
    host->Destroy(lFresh);
    // FTGL packs glyphs into its textures in the order it first meets them,
    // so a glyph met in another order is sampled a rounding or two apart at
    // its steepest edges; ink left behind or missing is far more.
    const FrameDiff lDiff = CompareFrames(lKept, lNew, 2);
    EXPECT_EQ(lDiff.differing, 0) << ToString(lDiff);
  }
}

// Hostile values: every property tried with bad values of its type, text that
// FTGL cannot decode, numbers at the limits of int, double and FBTime, and
// timecode sources holding huge times. Drawing must go on, stay inside the
// drawing range and leave the GL state as it found it.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <climits>
#include <cmath>
#include <limits>

#include "hud_support.h"
#include "property_edit.h"

using namespace vthud_test;

namespace {

// The state the overlay touches; any difference after a draw is a leak of state.
struct GLState {
  GLint matrixMode, attribDepth, viewport[4], framebuffer, texture, blendSrc, blendDst;
  GLboolean blend, depthTest, texture2D;
  GLfloat color[4], modelview[16], projection[16];
  bool operator==(const GLState& o) const {
    return matrixMode == o.matrixMode && attribDepth == o.attribDepth &&
           std::equal(viewport, viewport + 4, o.viewport) && framebuffer == o.framebuffer &&
           texture == o.texture && blendSrc == o.blendSrc && blendDst == o.blendDst && blend == o.blend &&
           depthTest == o.depthTest && texture2D == o.texture2D && std::equal(color, color + 4, o.color) &&
           std::equal(modelview, modelview + 16, o.modelview) &&
           std::equal(projection, projection + 16, o.projection);
  }
};

GLState ReadGLState() {
  GLState s;
  glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
  glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &s.attribDepth);
  glGetIntegerv(GL_VIEWPORT, s.viewport);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &s.framebuffer);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture);
  glGetIntegerv(GL_BLEND_SRC_RGB, &s.blendSrc);
  glGetIntegerv(GL_BLEND_DST_RGB, &s.blendDst);
  s.blend = glIsEnabled(GL_BLEND);
  s.depthTest = glIsEnabled(GL_DEPTH_TEST);
  s.texture2D = glIsEnabled(GL_TEXTURE_2D);
  glGetFloatv(GL_CURRENT_COLOR, s.color);
  glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
  return s;
}

std::string Differences(const GLState& a, const GLState& b) {
  std::string d;
  auto Note = [&](bool pSame, const char* pWhat) {
    if (!pSame) d += std::string(d.empty() ? "" : ", ") + pWhat;
  };
  Note(a.matrixMode == b.matrixMode, "matrix mode");
  Note(a.attribDepth == b.attribDepth, "attribute stack depth");
  Note(std::equal(a.viewport, a.viewport + 4, b.viewport), "viewport");
  Note(a.framebuffer == b.framebuffer, "framebuffer binding");
  Note(a.texture == b.texture,
       ("2D texture binding " + std::to_string(a.texture) + " -> " + std::to_string(b.texture)).c_str());
  Note(a.blendSrc == b.blendSrc && a.blendDst == b.blendDst, "blend function");
  Note(a.blend == b.blend, "blending");
  Note(a.depthTest == b.depthTest, "depth test");
  Note(a.texture2D == b.texture2D, "2D texturing");
  Note(std::equal(a.color, a.color + 4, b.color), "current colour");
  Note(std::equal(a.modelview, a.modelview + 16, b.modelview), "modelview matrix");
  Note(std::equal(a.projection, a.projection + 16, b.projection), "projection matrix");
  return d;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

class HostileValues : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    small = &host->AddPane(192, 108, nullptr);
    // Everything on, so that every value reaches the drawing.
    for (int i = 0; i < element->PropertyList.GetCount(); ++i) {
      FBProperty* lProperty = element->PropertyList[i];
      if (lProperty->GetPropertyType() == kFBPT_bool && std::string(lProperty->GetName()) != "Use X For Bloop")
        lProperty->SetString("true");
    }
    host->SetLoop(0, 300);
    host->SetFrame(10);
  }
  // Draws the small pane; the GL state around the elements' drawing must not change.
  ::testing::AssertionResult DrawKeepsGLState() { return DrawKeepsGLState(element); }
  ::testing::AssertionResult DrawKeepsGLState(FBHUDElement* pElement) {
    glBindFramebuffer(GL_FRAMEBUFFER, small->Framebuffer());
    glViewport(0, 0, small->Width(), small->Height());
    const GLState lBefore = ReadGLState();
    FBViewingOptions lOptions(small->Camera(), 0);
    FBHUDElement::Rect lRect{0, 0, 192, 108, 1, 1};
    pElement->DrawElement(&lOptions, lRect);
    const GLenum lError = glGetError();
    if (lError != GL_NO_ERROR) return ::testing::AssertionFailure() << "GL error " << lError;
    const GLState lAfter = ReadGLState();
    if (!(lAfter == lBefore))
      return ::testing::AssertionFailure() << "GL state changed: " << Differences(lBefore, lAfter);
    return ::testing::AssertionSuccess();
  }
  // Every switch off and the mask clear: only what a test turns on is drawn.
  void AllOff() {
    for (int i = 0; i < element->PropertyList.GetCount(); ++i)
      if (element->PropertyList[i]->GetPropertyType() == kFBPT_bool) element->PropertyList[i]->SetString("false");
    element->Show = true;
    element->Visibility = true;
    Set(element, "Mask Color", "0 0 0 0");
  }
  vthost::Pane* small = nullptr;
};

TEST_F(HostileValues, EveryPropertyTakesBadValuesOfItsTypeAndDrawingGoesOn) {
  const std::vector<std::string> kNumbers = {"nan",         "inf",        "-inf",       "1e308",       "-1e308",
                                             "-2147483648", "2147483647", "2147483648", "-2147483649", "",
                                             "1e-320",      "0x10",       "12abc"};
  const std::vector<std::string> kColors = {
      "2 -1 1e308 -1e308", "-1 -1 -1 -1", "1 1 1 99", "nan 0 0 1", "1 2 3", "1 2 3 4 5", ""};
  const std::vector<std::string> kTimecodes = {
      "1e300 0 30", "-1e300 1e300 30", "86400 99 30", "0 0 0", "nan 0 30", "1 2", ""};
  const std::vector<std::string> kTexts = {"",
                                           std::string(10000, 'W'),
                                           "\xff",
                                           "\xfe\xff\xfe",
                                           "\xf8\x88\x80\x80\x80",
                                           "\xf4\x90\x80\x80",
                                           std::string(254, 'A') + "\xf0\x9f\x98\x80",
                                           std::string("with\0nul", 8),
                                           "line\nbreak\r\n",
                                           "\"quote\" 'single' \\",
                                           "%s%n%x"};
  int lTried = 0, lRefused = 0, lFirst = -1;
  for (int i = 0; i < element->PropertyList.GetCount(); ++i)
    if (std::string(element->PropertyList[i]->GetName()) == "Show Labels") lFirst = i;
  ASSERT_GE(lFirst, 0);
  const int lOwn = element->PropertyList.GetCount() - lFirst;
  ASSERT_EQ(lOwn, 136);
  for (int i = lFirst; i < element->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = element->PropertyList[i];
    const std::string lName = lProperty->GetName();
    const std::vector<std::string>* lValues = &kTexts;
    switch (lProperty->GetPropertyType()) {
      case kFBPT_bool:
      case kFBPT_int:
      case kFBPT_double: lValues = &kNumbers; break;
      case kFBPT_ColorRGBA: lValues = &kColors; break;
      case kFBPT_TimeCode: lValues = &kTimecodes; break;
      default: break;
    }
    for (const std::string& lValue : *lValues) {
      const std::string lBefore = static_cast<const char*>(lProperty->AsString());
      std::string lError;
      ++lTried;
      if (!vthost::SetPropertyFromText(element, lName, lValue, lError)) {
        ++lRefused;
        EXPECT_NE(lError.find("'" + lName + "'"), std::string::npos) << lError;
        EXPECT_EQ(lBefore, static_cast<const char*>(lProperty->AsString())) << lName << ": refused yet changed";
        // A number or colour names the type it expects; an object list says so; a text is refused only for a NUL.
        const bool lExplained =
            lError.find("expects") != std::string::npos || lError.find("list of objects") != std::string::npos ||
            (lValue.find('\0') != std::string::npos && lError.find("NUL") != std::string::npos);
        EXPECT_TRUE(lExplained) << lError;
      }
      ASSERT_TRUE(DrawKeepsGLState()) << lName << " = '" << vthud::MessageText(lValue) << "'";
      lProperty->SetString(lBefore.c_str());
    }
  }
  // What text cannot carry: NaN and the infinities straight into every number.
  for (int i = lFirst; i < element->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = element->PropertyList[i];
    const std::string lBefore = static_cast<const char*>(lProperty->AsString());
    for (double lValue : {kNaN, HUGE_VAL, -HUGE_VAL}) {
      if (lProperty->GetPropertyType() == kFBPT_double) {
        lProperty->SetData(&lValue);
      } else if (lProperty->GetPropertyType() == kFBPT_ColorRGBA) {
        const double lColor[4] = {lValue, lValue, lValue, lValue};
        const FBColorAndAlpha lColour(lColor);
        lProperty->SetData(&lColour);
      } else {
        continue;
      }
      ++lTried;
      if (lProperty->HasMin() || lProperty->HasMax()) {
        double lRead = 0;
        lProperty->GetData(&lRead, sizeof lRead);
        EXPECT_FALSE(std::isnan(lRead)) << lProperty->GetName() << " let NaN past its range";
      }
      ASSERT_TRUE(DrawKeepsGLState()) << lProperty->GetName() << " = " << lValue;
    }
    lProperty->SetString(lBefore.c_str());
  }
  std::printf("hostile values: %d tried, %d refused, 0 crashes\n", lTried, lRefused);
  EXPECT_GT(lTried, 136 * 6);
}

TEST_F(HostileValues, NaNTakesTheLowerEndOfARange) {
  for (const char* lName : {"Aspect", "Aspect Distribution", "Aspect Zoom"}) {
    FBProperty* lProperty = element->PropertyList.Find(lName);
    lProperty->SetData(&kNaN);
    double lRead = -1;
    lProperty->GetData(&lRead, sizeof lRead);
    EXPECT_EQ(lRead, lProperty->GetMin()) << lName;
  }
}

TEST_F(HostileValues, UndecodableTextInEveryDrawnStringDrawsAsWellFormedText) {
  // "\xff" drawn exactly as U+FFFD is: the repair is the only difference.
  AllOff();
  Set(element, "Show Slate", "true");
  Set(element, "Slate",
      "A\xEF\xBF\xBD"
      "B");
  const vthost::Image lRepaired = Draw();
  Set(element, "Slate",
      "A\xff"
      "B");
  const vthost::Image lBroken = Draw();
  EXPECT_TRUE(DiffBox(lRepaired, lBroken, 0, 0, 1920, 1080).empty);
  EXPECT_FALSE(LitBox(lBroken, 1390, 980, 1920, 1080).empty) << "the slate is drawn";

  // Every other string the overlay draws, all at once, with the save veil on.
  const char* const kStrings[] = {"FQN",           "Save Message",  "Value 1 Label",
                                  "Value 2 Label", "Marker 1 Name", "Reticle Bound Property"};
  for (const char* lName : kStrings) Set(element, lName, "\xfe\xff \xf8\x88\x80\x80\x80 \xf4\x90\x80\x80");
  for (const char* lGate :
       {"Show FQN", "Saving", "Show Value 1", "Show Value 2", "Show Marker 1", "Show Labels", "Show Camera Name"})
    Set(element, lGate, "true");
  Set(element, "Use Take for FQN", "false");
  pane->Camera()->Name = "\xff\xfe camera";
  EXPECT_TRUE(DrawKeepsGLState());
  Draw();
  Set(element, "Use Take for FQN", "true");
  host->Objects();
  FBSystem().CurrentTake.GetPropertyValue()->Name = "take \xff";
  Draw();
}

TEST_F(HostileValues, LongCameraNameIsCutBetweenCharacters) {
  AllOff();
  Set(element, "Show Camera Name", "true");
  pane->Camera()->Name = (std::string(254, 'A') + "\xf0\x9f\x98\x80").c_str();
  const vthost::Image lWithEmoji = Draw();
  pane->Camera()->Name = std::string(254, 'A').c_str();
  const vthost::Image lWithout = Draw();
  EXPECT_TRUE(DiffBox(lWithEmoji, lWithout, 0, 0, 1920, 1080).empty) << "the emoji that does not fit is left out";
}

TEST_F(HostileValues, OffsetsFramesAndSizesAtTheIntLimitsDraw) {
  for (const char* lLimit : {"2147483647", "-2147483648"}) {
    for (int i = 0; i < element->PropertyList.GetCount(); ++i) {
      FBProperty* lProperty = element->PropertyList[i];
      const std::string lName = lProperty->GetName();
      if (lProperty->GetPropertyType() == kFBPT_int) lProperty->SetString(lLimit);
    }
    for (auto lLoop : {std::make_pair(0LL, 300LL), std::make_pair(-2147483648LL, 2147483647LL),
                       std::make_pair(300LL, 0LL), std::make_pair(5LL, 5LL)}) {
      host->SetLoop(lLoop.first, lLoop.second);
      host->SetRecording(true);
      host->SetPlaying(true);
      for (long long lFrame : {-2147483648LL, 2147483647LL, 1LL << 40, 10LL}) {
        host->SetFrame(lFrame);
        EXPECT_TRUE(DrawKeepsGLState())
            << lLimit << " loop " << lLoop.first << ".." << lLoop.second << " frame " << lFrame;
      }
    }
  }
  // Scene times at the ends of FBTime.
  for (long long lTicks : {LLONG_MAX, LLONG_MIN}) {
    fbsdk_host::State().sceneTime = FBTime(lTicks);
    fbsdk_host::State().loopStart = FBTime(LLONG_MIN);
    fbsdk_host::State().loopStop = FBTime(LLONG_MAX);
    EXPECT_TRUE(DrawKeepsGLState()) << lTicks;
  }
}

TEST_F(HostileValues, IntrinsicSizeSaturatesForResolutionsBeyondInt) {
  FBCamera* lCamera = pane->Camera();
  lCamera->ResolutionWidth = 1e12;
  lCamera->ResolutionHeight = -1e12;
  Draw();
  ASSERT_FALSE(pane->LastIntrinsicSizes().empty());
  EXPECT_EQ(pane->LastIntrinsicSizes()[0], std::make_pair(INT_MAX, INT_MIN));
  lCamera->ResolutionWidth = kNaN;
  Draw();
  EXPECT_EQ(pane->LastIntrinsicSizes()[0].first, 0);
}

TEST_F(HostileValues, TimecodeSourceBeyondIntSaturatesTheReadout) {
  vthost::SceneObject* lSource = host->AddObject("Far");
  for (double lSeconds : {1e300, -1e300, kNaN}) {
    FBTimeCode lValue;
    lValue.SetRaw(lSeconds, 1e300);
    FBProperty* lTimecode = lSource->PropertyList.Find("TimeCode");
    if (!lTimecode) lTimecode = lSource->PropertyCreate("TimeCode", kFBPT_TimeCode, "", true);
    lTimecode->SetData(&lValue);
    auto* lList = static_cast<FBPropertyListObject*>(element->PropertyList.Find("Character Timecode Source"));
    lList->RemoveAll();
    lList->Add(lSource);
    EXPECT_TRUE(DrawKeepsGLState());
    const int lSecondsRead = std::isnan(lSeconds) ? 0 : lSeconds > 0 ? INT_MAX : INT_MIN;
    EXPECT_EQ(Get(element, "Character Hour"), std::to_string(lSecondsRead / 3600)) << lSeconds;
    EXPECT_EQ(Get(element, "Character Frame"), std::to_string(INT_MAX)) << lSeconds;
  }
}

// The frame lines element's own properties, every switch on and a real FDL loaded, take the same
// bad values and files, ids and ratios that are not: each draw goes on and leaves the GL state.
TEST_F(HostileValues, FrameLinesPropertiesTakeBadValuesFilesAndIds) {
  std::string lError;
  ASSERT_NE(host->LoadPlugin(VTLINES_PLUGIN_PATH, lError), nullptr) << lError;
  auto* lLines = static_cast<FBHUDElement*>(host->Create("VTFrameLines", "Lines", lError));
  ASSERT_NE(lLines, nullptr) << lError;
  int lFirst = -1;
  for (int i = 0; i < lLines->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = lLines->PropertyList[i];
    if (std::string(lProperty->GetName()) == "FDL File") lFirst = i;
    if (lFirst >= 0 && lProperty->GetPropertyType() == kFBPT_bool) lProperty->SetString("true");
  }
  ASSERT_GE(lFirst, 0);
  Set(lLines, "FDL File", VTLINES_SAMPLE_FDL);
  Set(lLines, "Aspect Lines", "2.39, 1.85");
  Set(lLines, "Action Safe %", "90");
  const std::vector<std::string> kValues = {"nan",
                                            "inf",
                                            "-1e308",
                                            "2147483648",
                                            "",
                                            "0",
                                            "1e-320",
                                            "12abc",
                                            "2 -1 1e308 -1e308",
                                            "nan 0 0 1",
                                            "1 2 3",
                                            std::string(10000, 'W'),
                                            "\xff\xfe",
                                            "line\nbreak",
                                            "/nonexistent/show.fdl",
                                            "/",
                                            VTLINES_SAMPLE_FDL "/x",
                                            ",,A_CAM-SCOPE,,",
                                            "A_CAM-SCOPE, A_CAM-XX",
                                            "0, 1e308, nan, -2",
                                            "2.39,,1.85",
                                            "A_CAM"};
  int lTried = 0;
  for (int i = lFirst; i < lLines->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = lLines->PropertyList[i];
    const std::string lBefore = static_cast<const char*>(lProperty->AsString());
    for (const std::string& lValue : kValues) {
      ++lTried;
      vthost::SetPropertyFromText(lLines, lProperty->GetName(), lValue, lError);
      ASSERT_TRUE(DrawKeepsGLState(lLines)) << lProperty->GetName() << " = '" << vthud::MessageText(lValue) << "'";
    }
    for (double lValue : {kNaN, HUGE_VAL, -HUGE_VAL}) {
      if (lProperty->GetPropertyType() == kFBPT_double) lProperty->SetData(&lValue);
      if (lProperty->GetPropertyType() == kFBPT_ColorRGBA) {
        const double lColor[4] = {lValue, lValue, lValue, lValue};
        const FBColorAndAlpha lColour(lColor);
        lProperty->SetData(&lColour);
      }
      ++lTried;
      ASSERT_TRUE(DrawKeepsGLState(lLines)) << lProperty->GetName() << " = " << lValue;
    }
    lProperty->SetString(lBefore.c_str());
  }
  // The HUD element still draws beside it.
  ASSERT_TRUE(DrawKeepsGLState());
  std::printf("hostile values, frame lines: %d tried, 0 crashes\n", lTried);
}

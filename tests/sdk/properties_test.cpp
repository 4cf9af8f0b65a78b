// Property values: reading through a source, clamping, look-up, animatable
// defaults and the text form the plug-in stores scenes with.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

class Properties : public ::testing::Test {
 protected:
  void SetUp() override { fbsdk_host::ResetState(); }
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- sources

TEST_F(Properties, SourcedPropertyReadsItsSourceLive) {
  FBPropertyDouble lSrc, lDst;
  lDst = 9.0;
  lSrc = 2.5;
  ASSERT_TRUE(lDst.ConnectSrc(&lSrc));
  EXPECT_EQ(2.5, static_cast<double>(lDst));
  EXPECT_EQ("2.5", std::string(lDst.AsString()));
  lSrc = -4.25;
  EXPECT_EQ(-4.25, static_cast<double>(lDst));

  lDst.DisconnectSrc(&lSrc);
  EXPECT_EQ(9.0, static_cast<double>(lDst));  // back to its own value
}

TEST_F(Properties, SourceOfAnotherNumberTypeConverts) {
  struct Case {
    double source;
    int asInt;
    bool asBool;
  };
  const Case lCases[] = {{2.7, 2, true}, {-2.7, -2, true}, {0.0, 0, false}, {0.4, 0, true}};
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.source);
    FBPropertyDouble lSrc;
    FBPropertyInt lInt;
    FBPropertyBool lBool;
    lSrc = c.source;
    lInt.ConnectSrc(&lSrc);
    lBool.ConnectSrc(&lSrc);
    EXPECT_EQ(c.asInt, static_cast<int>(lInt));
    EXPECT_EQ(c.asBool, static_cast<bool>(lBool));
  }

  FBPropertyInt lIntSrc;
  FBPropertyDouble lDouble;
  lIntSrc = -7;
  lDouble.ConnectSrc(&lIntSrc);
  EXPECT_EQ(-7.0, static_cast<double>(lDouble));
}

TEST_F(Properties, SourceThatDoesNotConvertLeavesTheOwnValue) {
  FBPropertyString lText;
  FBPropertyDouble lNumber;
  lText = "12";
  lNumber = 3.0;
  lNumber.ConnectSrc(&lText);
  EXPECT_EQ(3.0, static_cast<double>(lNumber));
}

TEST_F(Properties, TimeCodeSourcedFromTimeCode) {
  FBPropertyTimeCode lSrc;
  FBPropertyAnimatableTimeCode lDst;
  FBTimeCode lValue(FBTimeCode::PAL_25);
  lValue.SetTimeCode(1, 2, 3, 4.0f);
  lSrc = lValue;
  lDst.ConnectSrc(&lSrc);
  EXPECT_TRUE(lValue == lDst.GetPropertyValue());
}

// ---- ranges

struct ClampCase {
  const char* name;
  double min, max;
  bool setMin, setMax;
  double in, out;
};
const ClampCase kClampCases[] = {
    {"below both ends", 0, 10, true, true, -5, 0},
    {"above both ends", 0, 10, true, true, 15, 10},
    {"inside", 0, 10, true, true, 7, 7},
    {"at min", 0, 10, true, true, 0, 0},
    {"at max", 0, 10, true, true, 10, 10},
    {"negative range", -10, -2, true, true, 0, -2},
    {"max only, low passes", 0, 10, false, true, -5, -5},
    {"max only, high clamps", 0, 10, false, true, 15, 10},
    {"min only, high passes", 0, 10, true, false, 15, 15},
    {"min only, low clamps", 0, 10, true, false, -5, 0},
};

template <class P, class T>
void ExpectClamps() {
  for (const ClampCase& c : kClampCases) {
    SCOPED_TRACE(c.name);
    P lProperty;
    lProperty.SetMinMax(c.min, c.max, c.setMin, c.setMax);
    lProperty = static_cast<T>(c.in);
    EXPECT_EQ(static_cast<T>(c.out), static_cast<T>(lProperty));
    // The text form goes through the same range.
    ASSERT_TRUE(lProperty.SetString(std::to_string(static_cast<int>(c.in)).c_str()));
    EXPECT_EQ(static_cast<T>(c.out), static_cast<T>(lProperty));
  }
}

TEST_F(Properties, SetMinMaxClampsDouble) { ExpectClamps<FBPropertyDouble, double>(); }
TEST_F(Properties, SetMinMaxClampsInt) { ExpectClamps<FBPropertyInt, int>(); }
TEST_F(Properties, SetMinMaxClampsAnimatableDouble) { ExpectClamps<FBPropertyAnimatableDouble, double>(); }
TEST_F(Properties, SetMinMaxClampsAnimatableInt) { ExpectClamps<FBPropertyAnimatableInt, int>(); }

TEST_F(Properties, FractionalClampOnDouble) {
  FBPropertyDouble lProperty;
  lProperty.SetMinMax(0.25, 0.75);
  lProperty = 0.1;
  EXPECT_EQ(0.25, static_cast<double>(lProperty));
  lProperty = 0.9;
  EXPECT_EQ(0.75, static_cast<double>(lProperty));
}

// ---- the property list

TEST_F(Properties, PropertyListKeepsPublicationOrderAndFinds) {
  FBHUDElement lElement("Element");
  FBProperty* lExtra = lElement.PropertyCreate("Extra", kFBPT_double, "Number", false);
  ASSERT_NE(nullptr, lExtra);
  const char* kOrder[] = {"Name",           "Visibility",     "Show", "PositionByPercent",
                          "ScaleByPercent", "ScaleUniformly", "X",    "Y",
                          "Width",          "Height",         "Extra"};
  ASSERT_EQ(static_cast<int>(sizeof kOrder / sizeof *kOrder), lElement.PropertyList.GetCount());
  for (int i = 0; i < lElement.PropertyList.GetCount(); ++i)
    EXPECT_STREQ(kOrder[i], lElement.PropertyList[i]->GetName()) << i;
  EXPECT_EQ(nullptr, lElement.PropertyList[lElement.PropertyList.GetCount()]);

  EXPECT_EQ(&lElement.Show, lElement.PropertyList.Find("Show"));
  EXPECT_EQ(lExtra, lElement.PropertyList.Find("Extra"));
  EXPECT_EQ(nullptr, lElement.PropertyList.Find("Missing"));
  EXPECT_EQ(nullptr, lElement.PropertyList.Find("show"));
  EXPECT_EQ(nullptr, lElement.PropertyList.Find(nullptr));
  // Names are unique per component.
  EXPECT_EQ(nullptr, lElement.PropertyCreate("Extra", kFBPT_int, "Integer", false));

  lElement.PropertyRemove(lExtra);
  EXPECT_EQ(nullptr, lElement.PropertyList.Find("Extra"));
}

TEST_F(Properties, HudElementShowIsAHiddenBool) {
  FBHUDElement lElement("Element");
  FBProperty* lShow = lElement.PropertyList.Find("Show");
  ASSERT_NE(nullptr, lShow);
  EXPECT_EQ(4, lShow->GetPropertyType());
  EXPECT_EQ(kFBPT_bool, lShow->GetPropertyType());
  EXPECT_FALSE(static_cast<bool>(lElement.Show));
}

// ---- animatable properties

TEST_F(Properties, AnimatableInitTakesTypeNameAndDefault) {
  FBBox lOwner("Owner");
  FBPropertyAnimatableBool lBool;
  FBPropertyAnimatableInt lInt;
  FBPropertyAnimatableDouble lNumber;
  FBPropertyAnimatableColorAndAlpha lColor;
  FBPropertyAnimatableTimeCode lTimeCode;
  double lBoolInit[] = {1.0};
  double lIntInit[] = {7.0};
  double lNumberInit[] = {2.5};
  double lColorInit[] = {0.1, 0.2, 0.3, 0.4};
  double lTimeCodeInit[] = {3723.0};
  struct Case {
    FBPropertyAnimatable* property;
    const char* name;
    const char* type;
    double* init;
    FBPropertyType expectedType;
  };
  const Case lCases[] = {{&lBool, "B", "Bool", lBoolInit, kFBPT_bool},
                         {&lInt, "I", "Integer", lIntInit, kFBPT_int},
                         {&lNumber, "N", "Number", lNumberInit, kFBPT_double},
                         {&lColor, "C", "ColorAndAlpha", lColorInit, kFBPT_ColorRGBA},
                         {&lTimeCode, "T", "TimeCode", lTimeCodeInit, kFBPT_TimeCode}};
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.type);
    ASSERT_TRUE(c.property->Init(&lOwner, c.name, c.type, c.init));
    EXPECT_STREQ(c.type, c.property->GetPropertyTypeName());
    EXPECT_EQ(c.expectedType, c.property->GetPropertyType());
    EXPECT_TRUE(c.property->IsAnimatable());
    EXPECT_EQ(c.property, lOwner.PropertyList.Find(c.name));
  }
  EXPECT_TRUE(static_cast<bool>(lBool));
  EXPECT_EQ(7, static_cast<int>(lInt));
  EXPECT_EQ(2.5, static_cast<double>(lNumber));
  EXPECT_TRUE(FBColorAndAlpha(0.1, 0.2, 0.3, 0.4) == lColor.GetPropertyValue());
  EXPECT_EQ(3723.0, lTimeCode.GetPropertyValue().GetSeconds());

  FBPropertyAnimatableBool lNoDefault;
  lNoDefault.Init(&lOwner, "NoDefault", "Bool", nullptr);
  EXPECT_FALSE(static_cast<bool>(lNoDefault));
}

TEST_F(Properties, SetAnimatedTogglesIsAnimated) {
  FBPropertyAnimatableDouble lProperty;
  EXPECT_FALSE(lProperty.IsAnimated());
  lProperty.SetAnimated(true);
  EXPECT_TRUE(lProperty.IsAnimated());
  lProperty.SetAnimated(false);
  EXPECT_FALSE(lProperty.IsAnimated());
  EXPECT_FALSE(FBPropertyDouble().IsAnimatable());
}

// ---- text form

template <class P, class T>
T RoundTrip(const T& pValue) {
  P lFrom, lTo;
  lFrom = pValue;
  const FBString lText = lFrom.AsString();
  EXPECT_TRUE(lTo.SetString(lText)) << lText.Buffer();
  return lTo.GetPropertyValue();
}

TEST_F(Properties, DoublesRoundTripExactly) {
  const double kValues[] = {0.0,       -0.0,
                            0.1,       1.0 / 3.0,
                            -2.5e-300, 123456789.123456789,
                            DBL_MAX,   -DBL_MAX,
                            DBL_MIN,   std::numeric_limits<double>::denorm_min(),
                            1e-310,    DBL_EPSILON};
  for (double lValue : kValues) {
    EXPECT_TRUE(SameBits(lValue, (RoundTrip<FBPropertyDouble, double>(lValue)))) << lValue;
    EXPECT_TRUE(SameBits(lValue, (RoundTrip<FBPropertyAnimatableDouble, double>(lValue)))) << lValue;
  }
}

TEST_F(Properties, IntsBoolsAndTimesRoundTrip) {
  for (int lValue : {0, -1, 42, INT_MAX, INT_MIN}) EXPECT_EQ(lValue, (RoundTrip<FBPropertyInt, int>(lValue)));
  for (bool lValue : {false, true}) EXPECT_EQ(lValue, (RoundTrip<FBPropertyAnimatableBool, bool>(lValue)));
  for (kLongLong lTicks : {0LL, -1LL, FBTime::kTicksPerSecond * 86400 * 3 + 17, -FBTime::kTicksPerSecond / 7,
                           FBTime::Infinity.Get(), FBTime::MinusInfinity.Get()})
    EXPECT_EQ(lTicks, (RoundTrip<FBPropertyTime, FBTime>(FBTime(lTicks))).Get());
}

TEST_F(Properties, ColoursAndTimeCodesRoundTrip) {
  const FBColorAndAlpha kColours[] = {FBColorAndAlpha(), FBColorAndAlpha(0.1, 0.2, 0.3, 0.4),
                                      FBColorAndAlpha(1.0 / 3.0, -0.0, 1e-310, 2.0)};
  for (const FBColorAndAlpha& lColour : kColours) {
    const FBColorAndAlpha lBack = RoundTrip<FBPropertyAnimatableColorAndAlpha, FBColorAndAlpha>(lColour);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameBits(lColour[i], lBack[i])) << i;
  }
  for (float lRate : {FBTimeCode::FRAMES_30, FBTimeCode::NTSC_FULL, FBTimeCode::NTSC_DROP, FBTimeCode::FILM_24}) {
    FBTimeCode lTimeCode(lRate);
    lTimeCode.SetRaw(3723.0 + 1.0 / 3.0, 29.5);
    EXPECT_TRUE(lTimeCode == (RoundTrip<FBPropertyTimeCode, FBTimeCode>(lTimeCode))) << lRate;
  }
}

TEST_F(Properties, StringsRoundTripVerbatim) {
  const char* kTexts[] = {"",
                          "plain",
                          "with \"double\" and 'single' quotes",
                          "two\nlines\r\n",
                          "tab\tand  spaces ",
                          "caf\xC3\xA9 \xE2\x86\x92 \xF0\x9F\x8E\xA5",
                          "back\\slash"};
  for (const char* lText : kTexts) {
    FBString lBack = RoundTrip<FBPropertyString, FBString>(FBString(lText));
    EXPECT_STREQ(lText, lBack.Buffer());
  }
}

TEST_F(Properties, SetStringRejectsGarbageAndKeepsTheValue) {
  struct Case {
    FBPropertyType type;
    const char* good;
    const char* garbage;
  };
  const Case lCases[] = {
      {kFBPT_double, "1.5", ""},
      {kFBPT_double, "1.5", "abc"},
      {kFBPT_double, "1.5", "1.5x"},
      {kFBPT_double, "1.5", "1.5 2"},
      {kFBPT_double, "1.5", "nan"},
      {kFBPT_double, "1.5", "inf"},
      {kFBPT_double, "1.5", "1e999"},
      {kFBPT_double, "1.5", "1e-400"},
      {kFBPT_int, "3", ""},
      {kFBPT_int, "3", "12abc"},
      {kFBPT_int, "3", "1.5"},
      {kFBPT_int, "3", "2147483648"},
      {kFBPT_int, "3", "0x10"},
      {kFBPT_bool, "true", "yes"},
      {kFBPT_bool, "true", "2"},
      {kFBPT_bool, "true", ""},
      {kFBPT_ColorRGBA, "1 0 0 1", "1 2 3"},
      {kFBPT_ColorRGBA, "1 0 0 1", "1 2 3 4 5"},
      {kFBPT_ColorRGBA, "1 0 0 1", "1 2 x 4"},
      {kFBPT_ColorRGBA, "1 0 0 1", ""},
      {kFBPT_TimeCode, "3723 4 -30", "3723 4"},
      {kFBPT_TimeCode, "3723 4 -30", "a b c"},
      {kFBPT_Time, "46186158000", "12.5"},
      {kFBPT_Time, "46186158000", "1e3"},
      {kFBPT_Time, "46186158000", "9223372036854775808"},
  };
  FBComponent lOwner;
  int lIndex = 0;
  for (const Case& c : lCases) {
    SCOPED_TRACE(std::string(c.good) + " then \"" + c.garbage + "\"");
    FBProperty* lProperty = lOwner.PropertyCreate(("P" + std::to_string(lIndex++)).c_str(), c.type, "", false);
    ASSERT_NE(nullptr, lProperty);
    ASSERT_TRUE(lProperty->SetString(c.good));
    const std::string lBefore = lProperty->AsString().Buffer();
    EXPECT_FALSE(lProperty->SetString(c.garbage));
    EXPECT_EQ(lBefore, lProperty->AsString().Buffer());
  }
  FBPropertyDouble lDouble;
  lDouble = 2.0;
  EXPECT_FALSE(lDouble.SetString(nullptr));
  EXPECT_EQ(2.0, static_cast<double>(lDouble));
}

}  // namespace

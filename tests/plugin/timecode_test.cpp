// The character and camera timecode displays bound to other scene objects
// through their source lists, and each draw carrying values between a side's
// timecode and its four integers.
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include "hud_support.h"

using namespace vthud_test;

namespace {
std::vector<std::string>* gLines = nullptr;
void Capture(QtMsgType, const QMessageLogContext&, const QString& pMessage) {
  if (gLines) gLines->push_back(pMessage.toStdString());
}
const char* const kFour[] = {"TCHour", "TCMinute", "TCSecond", "TCFrame"};
const char* const kMirrors[] = {"Hour", "Minute", "Second", "Frame"};
}  // namespace

class Timecode : public HudTest {
 protected:
  // A scene object with timecode properties (seconds, frame) and integers 2, 3, ...
  vthost::SceneObject* Source(const char* pName, std::vector<std::pair<const char*, double>> pTimecodes,
                              std::vector<const char*> pInts) {
    vthost::SceneObject* lObject = host->AddObject(pName);
    for (auto [lName, lSeconds] : pTimecodes) {
      FBTimeCode lValue;
      lValue.SetRaw(lSeconds, 12);
      lObject->PropertyCreate(lName, kFBPT_TimeCode, "", true)->SetData(&lValue);
    }
    for (size_t i = 0; i < pInts.size(); ++i)
      lObject->PropertyCreate(pInts[i], kFBPT_int, "", true)->SetString(std::to_string(2 + i).c_str());
    return lObject;
  }
  FBPropertyListObject* List(const std::string& pSide) {
    return static_cast<FBPropertyListObject*>(element->PropertyList.Find((pSide + " Timecode Source").c_str()));
  }
  FBPlug* SourceOf(const std::string& pProperty) {
    FBProperty* lProperty = element->PropertyList.Find(pProperty.c_str());
    return lProperty->GetSrcCount() ? lProperty->GetSrc(0) : nullptr;
  }
  // Non-zero integers on the side, so a reset shows.
  void Dirty(const std::string& pSide) {
    Set(element, (pSide + " Hour").c_str(), "5");
    Set(element, (pSide + " Frame").c_str(), "7");
  }
};

TEST_F(Timecode, SourceShapeChoosesTheWiring) {
  struct Case {
    const char* what;
    const char* name;  // "Timecode Property Name"
    std::vector<std::pair<const char*, double>> timecodes;
    std::vector<const char*> ints;
    const char* bound;  // the timecode property bound, null for none
    const char* line;   // the expected debug line, null when not checked
  };
  const Case kCases[] = {
      {"named beats master",
       "TimeCode",
       {{"master", 0}, {"TimeCode", 0}},
       {},
       "TimeCode",
       "Connecting to 'TimeCode' timecode property"},
      {"custom name first", "Take TC", {{"TimeCode", 0}, {"Take TC", 0}}, {}, "Take TC", nullptr},
      {"single property beats the integers",
       "TimeCode",
       {{"Timecode", 0}},
       {kFour, kFour + 4},
       "Timecode",
       nullptr},
      {"three integers reset", "TimeCode", {}, {kFour, kFour + 3}, nullptr, nullptr},
      {"four integers",
       "TimeCode",
       {},
       {kFour, kFour + 4},
       nullptr,
       "Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    vthost::SceneObject* lSource = Source(c.what, c.timecodes, c.ints);
    Set(element, "Timecode Property Name", c.name);
    Dirty("Character");
    std::vector<std::string> lLines;
    gLines = &lLines;
    const QtMessageHandler lPrevious = qInstallMessageHandler(&Capture);
    List("Character")->Add(lSource);
    qInstallMessageHandler(lPrevious);
    gLines = nullptr;
    if (c.line) {
      EXPECT_EQ(lLines, std::vector<std::string>{c.line});
    }
    const bool lFour = c.ints.size() == 4 && !c.bound;
    EXPECT_EQ(SourceOf("Character Timecode"), c.bound ? lSource->PropertyList.Find(c.bound) : nullptr);
    for (int i = 0; i < 4; ++i) {
      const std::string lMirror = std::string("Character ") + kMirrors[i];
      EXPECT_EQ(SourceOf(lMirror), lFour ? lSource->PropertyList.Find(kFour[i]) : nullptr) << lMirror;
      EXPECT_EQ(Get(element, lMirror.c_str()), lFour ? std::to_string(2 + i) : "0") << lMirror;
    }
    List("Character")->RemoveAll();
  }
}

// A bound timecode splits into the integers; unbound or bound integers compose
// the timecode. Either direction takes effect on the next draw.
TEST_F(Timecode, EachDrawCarriesValuesAcrossTheSide) {
  vthost::SceneObject* lSingle = Source("single", {{"TimeCode", 25 * 3600 + 61}}, {});
  vthost::SceneObject* lFourInts = Source("ints", {}, {kFour, kFour + 4});
  List("Character")->Add(lSingle);
  EXPECT_EQ(Get(element, "Character Hour"), "0") << "not before the draw";
  Draw();
  const char* const kSplit[] = {"25", "1", "1", "12"};  // 90061 s and frame 12
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(Get(element, (std::string("Character ") + kMirrors[i]).c_str()), kSplit[i]);

  Set(element, "Camera Hour", "1");
  EXPECT_EQ(Get(element, "Camera Timecode"), "0 0 -30");
  Draw();
  EXPECT_EQ(Get(element, "Camera Timecode"), "3600 0 -30") << "01:00:00:00 at 30";

  // Rewired without a reset in between, both ways.
  List("Character")->Add(lFourInts);
  List("Character")->Remove(lSingle);
  Draw();
  EXPECT_EQ(Get(element, "Character Timecode"), "7384 5 -30") << "02:03:04:05";
  List("Character")->Add(lSingle);
  List("Character")->Remove(lFourInts);
  Draw();
  EXPECT_EQ(Get(element, "Character Hour"), "25");
}

// Only the first listed object is searched; emptying the list resets the side.
TEST_F(Timecode, FirstListedObjectBindsAndRemovalResets) {
  for (const std::string lSide : {"Character", "Camera"}) {
    SCOPED_TRACE(lSide);
    const std::string lOther = lSide == "Character" ? "Camera" : "Character";
    vthost::SceneObject* lBare = Source(("bare " + lSide).c_str(), {}, {});
    vthost::SceneObject* lTimed = Source(("timed " + lSide).c_str(), {{"TimeCode", 3600}}, {});
    List(lSide)->Add(lBare);
    List(lSide)->Add(lTimed);
    EXPECT_EQ(SourceOf(lSide + " Timecode"), nullptr) << "the second entry is not searched";
    List(lSide)->RemoveAll();

    List(lSide)->Add(lTimed);
    List(lSide)->Add(lBare);
    EXPECT_EQ(SourceOf(lSide + " Timecode"), lTimed->PropertyList.Find("TimeCode"));
    EXPECT_EQ(SourceOf(lOther + " Timecode"), nullptr) << "the other side stays unbound";
    List(lSide)->Remove(lBare);

    Dirty(lSide);
    List(lSide)->RemoveAll();
    EXPECT_EQ(SourceOf(lSide + " Timecode"), nullptr);
    EXPECT_EQ(Get(element, (lSide + " Timecode").c_str()), "0 0 -30");
    EXPECT_EQ(Get(element, (lSide + " Hour").c_str()), "0");
    EXPECT_EQ(Get(element, (lSide + " Frame").c_str()), "0");
  }
}

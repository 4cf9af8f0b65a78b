// Framing decisions from FDL files on the real element's mask: the mask's
// numbers per case, the drawn frame against a mask drawn by hand, and bad
// files refused with their JSON path and nothing changed.
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <filesystem>
#include <fstream>

#include "fdl_framing.h"
#include "hud_support.h"

using namespace vthud_test;

namespace {

struct Rect {
  double w, h, x, y;
};

// A one-canvas FDL; pTweak edits the JSON before it is written.
QJsonObject MakeFdl(double pCanvasW, double pCanvasH, double pSqueeze, Rect pDecision,
                    const Rect* pProtection = nullptr, const Rect* pEffective = nullptr) {
  auto Size = [](double w, double h) { return QJsonObject{{"width", w}, {"height", h}}; };
  auto Point = [](double x, double y) { return QJsonObject{{"x", x}, {"y", y}}; };
  QJsonObject lDecision{{"id", "A_CAM-SCOPE"},
                        {"label", "2.39 scope"},
                        {"framing_intent_id", "SCOPE"},
                        {"dimensions", Size(pDecision.w, pDecision.h)},
                        {"anchor_point", Point(pDecision.x, pDecision.y)}};
  if (pProtection) {
    lDecision.insert("protection_dimensions", Size(pProtection->w, pProtection->h));
    lDecision.insert("protection_anchor_point", Point(pProtection->x, pProtection->y));
  }
  QJsonObject lCanvas{{"id", "A_CAM"},
                      {"source_canvas_id", "A_CAM"},
                      {"dimensions", Size(pCanvasW, pCanvasH)},
                      {"anamorphic_squeeze", pSqueeze},
                      {"framing_decisions", QJsonArray{lDecision}}};
  if (pEffective) {
    lCanvas.insert("effective_dimensions", Size(pEffective->w, pEffective->h));
    lCanvas.insert("effective_anchor_point", Point(pEffective->x, pEffective->y));
  }
  return QJsonObject{
      {"uuid", "5c3a8bb8-5d2b-4d5e-9a57-2f0c2c4a6f10"},
      {"version", QJsonObject{{"major", 1}, {"minor", 1}}},
      {"fdl_creator", "vthud tests"},
      {"default_framing_intent", "SCOPE"},
      {"framing_intents",
       QJsonArray{QJsonObject{{"id", "SCOPE"}, {"aspect_ratio", Size(239, 100)}, {"protection", 0.1}}}},
      {"contexts", QJsonArray{QJsonObject{{"label", "A camera"}, {"canvases", QJsonArray{lCanvas}}}}}};
}

// A canvas-coordinate image of the mask alone: opaque black bars, clear picture.
vthost::Image HandMadeMask(int pTop, int pBottom, int pSide) {
  vthost::Image lImage;
  lImage.width = 1920;
  lImage.height = 1080;
  lImage.rgba.assign(1920u * 1080u * 4u, 0);
  for (int y = 0; y < 1080; ++y)
    for (int x = 0; x < 1920; ++x)
      if (y < pBottom || y >= 1080 - pTop || x < pSide || x >= 1920 - pSide)
        lImage.rgba[(static_cast<size_t>(1079 - y) * 1920 + static_cast<size_t>(x)) * 4 + 3] = 255;
  return lImage;
}

class FdlFraming : public QuietHudTest {
 protected:
  void Arrange() override {
    char lTemplate[] = "/tmp/vthud-fdl-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(lTemplate));
    dir = lTemplate;
    // Opaque bars; the status is drawn fully transparent, so the frame holds the mask alone.
    Set(element, "Mask Color", "0 0 0 1");
    Set(element, "Font Color", "1 1 1 0");
  }
  void TearDown() override {
    QuietHudTest::TearDown();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  std::string Write(const std::string& pText) {
    const std::string lPath = dir + "/take.fdl";
    std::ofstream(lPath, std::ios::binary) << pText;
    return lPath;
  }
  std::string Write(const QJsonObject& pFdl) { return Write(QJsonDocument(pFdl).toJson().toStdString()); }
  std::string dir;
};

TEST_F(FdlFraming, EachCaseFramesItsDecisionToThePixel) {
  const Rect kProtection{3840, 1607, 0, 276.5}, kTopAligned{4096, 2160, 0, 0}, kRightAligned{3584, 2160, 256, 0};
  struct Case {
    const char* what;
    QJsonObject fdl;
    double aspect, zoom, share;
    int top, bottom, side;
    const char* note;  // a part of the one note expected, or null for none
  };
  const Case lCases[] = {
      {"2.39 inside 16:9", MakeFdl(3840, 2160, 1, {3840, 1607, 0, 276.5}), 3840.0 / 1607, 0, 0.5, 138, 138, 0,
       nullptr},
      {"1.85 inside 16:9", MakeFdl(1920, 1080, 1, {1920, 1038, 0, 21}), 1920.0 / 1038, 0, 0.5, 21, 21, 0, nullptr},
      {"4:3 inside 16:9 as a zoom", MakeFdl(1920, 1080, 1, {1440, 1080, 240, 0}), 4.0 / 3, 25, 0.5, 0, 0, 240,
       nullptr},
      {"2x anamorphic", MakeFdl(2880, 2160, 2, {2581, 2160, 149.5, 0}), 5162.0 / 2160, 10.381944, 0.5, 180, 180,
       100, nullptr},
      {"effective area at the top", MakeFdl(4096, 2304, 1, {4096, 1714, 0, 223}, nullptr, &kTopAligned), 2.3925234,
       0, 0.37927928, 105, 172, 0, nullptr},
      {"effective area to the right", MakeFdl(3840, 2160, 1, {3584, 1500, 256, 330}, nullptr, &kRightAligned),
       3584.0 / 1500, 6.6666667, 0.5, 165, 165, 64, "lies off centre (left bar 128, right bar 0)"},
      {"protection margin", MakeFdl(3840, 2160, 1, {3456, 1446, 192, 357}, &kProtection), 2.3916955, 10, 0.4986014,
       178, 179, 96, "protection area (3840 x 1607) is not drawn"},
      {"UHD with a 2.00 decision", MakeFdl(3840, 2160, 1, {3840, 1920, 0, 120}), 2, 0, 0.5, 60, 60, 0, nullptr},
  };
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.what);
    vthost::Framing f;
    std::string lError;
    ASSERT_TRUE(vthost::ApplyFdl(element, Write(c.fdl), "", f, lError)) << lError;
    EXPECT_NEAR(c.aspect, f.aspect, 1e-6);
    EXPECT_NEAR(c.zoom, f.zoom, 1e-6);
    EXPECT_NEAR(c.share, f.share, 1e-6);
    EXPECT_EQ(std::to_string(c.top) + "/" + std::to_string(c.bottom) + "/" + std::to_string(c.side),
              std::to_string(f.topBar) + "/" + std::to_string(f.bottomBar) + "/" + std::to_string(f.sideBar));
    ASSERT_EQ(c.note ? 1u : 0u, f.notes.size()) << vthost::DescribeFraming(f);
    if (c.note) {
      EXPECT_NE(std::string::npos, f.notes[0].find(c.note)) << f.notes[0];
    }
    // The element drew what the numbers say, every pixel of it.
    const FrameDiff lDiff = CompareFrames(HandMadeMask(c.top, c.bottom, c.side), Draw());
    EXPECT_EQ(0, lDiff.differing) << ToString(lDiff);
  }
}

TEST_F(FdlFraming, BadFilesAreRefusedAtTheirPathAndChangeNothing) {
  const QJsonObject kGood = MakeFdl(3840, 2160, 1, {3840, 1607, 0, 276.5});
  const QJsonObject kContext = kGood["contexts"].toArray()[0].toObject();
  const QJsonObject kCanvas = kContext["canvases"].toArray()[0].toObject();
  const QJsonObject kDecision = kCanvas["framing_decisions"].toArray()[0].toObject();
  // The good file with one member of its decision, its canvas or its root changed (a null value removes it).
  auto With = [&](const char* pWhere, const char* pKey, const QJsonValue& pValue) {
    QJsonObject lDecision = kDecision, lCanvas = kCanvas, lContext = kContext, lRoot = kGood;
    QJsonObject& lTarget = pWhere[0] == 'd' ? lDecision : pWhere[0] == 'c' ? lCanvas : lRoot;
    if (pValue.isNull())
      lTarget.remove(pKey);
    else
      lTarget.insert(pKey, pValue);
    lCanvas.insert("framing_decisions", QJsonArray{lDecision});
    lContext.insert("canvases", QJsonArray{lCanvas});
    lRoot.insert("contexts", QJsonArray{lContext});
    return QJsonDocument(lRoot).toJson().toStdString();
  };
  auto Size = [](double w, double h) { return QJsonObject{{"width", w}, {"height", h}}; };
  const std::string kAt = "contexts[0].canvases[0].";
  struct Case {
    const char* what;
    std::string text, message;
  };
  const Case lCases[] = {
      {"no uuid", With("root", "uuid", QJsonValue()), "uuid: is required and missing"},
      {"no anchor point", With("decision", "anchor_point", QJsonValue()),
       kAt + "framing_decisions[0].anchor_point: is required and missing"},
      {"no canvas size", With("canvas", "dimensions", QJsonValue()), kAt + "dimensions: is required and missing"},
      {"dangling framing intent", With("decision", "framing_intent_id", "FLAT"),
       kAt + "framing_decisions[0].framing_intent_id: names the framing intent 'FLAT'"},
      {"dangling default intent", With("root", "default_framing_intent", "FLAT"),
       "default_framing_intent: names the framing intent 'FLAT'"},
      {"zero width", With("decision", "dimensions", Size(0, 1607)),
       kAt + "framing_decisions[0].dimensions.width: must be above 0, got 0"},
      {"negative canvas height", With("canvas", "dimensions", Size(3840, -2160)),
       kAt + "dimensions.height: must be above 0, got -2160"},
      {"canvas wider than a camera", With("canvas", "dimensions", Size(1e308, 2160)),
       kAt + "dimensions.width: must be at most 1048576 pixels, got 1e+308"},
      {"decision larger than its canvas", With("decision", "dimensions", Size(4096, 1714)),
       kAt + "framing_decisions[0].dimensions: the decision 4096 x 1714 at (0, 276.5) does not lie inside"},
      {"version 2.0", With("root", "version", QJsonObject{{"major", 2}, {"minor", 0}}),
       "version: version 2.0 is not read here (this reader reads 1.0 and 1.1)"},
      {"misspelt member", With("canvas", "anamorphic_sqeeze", 2),
       "canvases[0]: has no member \"anamorphic_sqeeze\""},
      {"member with a line break", With("canvas", "height\nx", 2), "has no member \"height\\nx\""},
      {"id with a line break", With("canvas", "id", "A\nCAM"), kAt + "id: 'A\\nCAM' is not an id"},
      {"not JSON", "{\"uuid\": \"x\",", ""},
  };
  Set(element, "Aspect", "1.5");
  Set(element, "Aspect Zoom", "12.5");
  Set(element, "Aspect Distribution", "0.25");
  for (const Case& c : lCases) {
    SCOPED_TRACE(c.what);
    const std::string lPath = Write(c.text);
    vthost::Framing f;
    std::string lError;
    EXPECT_FALSE(vthost::ApplyFdl(element, lPath, "", f, lError));
    EXPECT_EQ(0u, lError.rfind(lPath + ":", 0)) << lError;
    EXPECT_NE(std::string::npos, lError.find(c.message)) << lError;
    EXPECT_EQ(std::string::npos, lError.find('\n')) << lError;
    EXPECT_EQ("1.5/12.5/0.25", Get(element, "Aspect") + "/" + Get(element, "Aspect Zoom") + "/" +
                                   Get(element, "Aspect Distribution"));
  }
  // A portrait decision is read but cannot be framed, and an unknown decision is named with those there are.
  vthost::Framing f;
  std::string lError;
  EXPECT_FALSE(vthost::ApplyFdl(element, Write(MakeFdl(1920, 1080, 1, {608, 1080, 656, 0})), "", f, lError));
  EXPECT_NE(std::string::npos, lError.find("has an aspect of 0.562963, which the mask cannot frame")) << lError;
  EXPECT_FALSE(vthost::ApplyFdl(element, Write(kGood), "A_CAM-FLAT", f, lError));
  EXPECT_NE(std::string::npos, lError.find("no framing decision 'A_CAM-FLAT' (it holds 'A_CAM-SCOPE')")) << lError;
  EXPECT_EQ("1.5", Get(element, "Aspect"));
}

}  // namespace

#include "layout_check.h"

#include <FTGL/ftgl.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <memory>

#include "draw_range.h"
#include "readouts.h"
#include "utf8_text.h"

namespace vthud_tool {

namespace {

// Property values by display name; a missing property reads as off, 0 or "".
class Reader {
 public:
  explicit Reader(FBComponent* pElement) : mElement(pElement) {}
  bool Bool(const char* pName) const {
    bool lValue = false;
    FBProperty* lProperty = mElement->PropertyList.Find(pName);
    return lProperty && lProperty->ReadAs(kFBPT_bool, &lValue) && lValue;
  }
  int Int(const char* pName) const {
    int lValue = 0;
    FBProperty* lProperty = mElement->PropertyList.Find(pName);
    return lProperty && lProperty->ReadAs(kFBPT_int, &lValue) ? lValue : 0;
  }
  double Number(const char* pName) const {
    double lValue = 0;
    FBProperty* lProperty = mElement->PropertyList.Find(pName);
    return lProperty && lProperty->ReadAs(kFBPT_double, &lValue) ? lValue : 0;
  }
  std::string Text(const char* pName) const {
    FBProperty* lProperty = mElement->PropertyList.Find(pName);
    return lProperty ? std::string(lProperty->AsString().Buffer()) : std::string();
  }

 private:
  FBComponent* mElement;
};

struct Faces {
  // The face files stay in memory as long as FreeType reads them.
  QByteArray valueFile, labelFile;
  std::unique_ptr<FTTextureFont> value, label;
};

// pPath is a file or a Qt resource (":/..."), read whole so that either works.
bool OpenFace(const std::string& pPath, unsigned pSize, QByteArray& pFile, std::unique_ptr<FTTextureFont>& pFont,
              std::string& pError) {
  QFile lFile(QString::fromStdString(pPath));
  if (lFile.open(QIODevice::ReadOnly)) pFile = lFile.readAll();
  pFont.reset(new FTTextureFont(reinterpret_cast<const unsigned char*>(pFile.constData()),
                                static_cast<size_t>(pFile.size())));
  if (pFile.isEmpty() || pFont->Error() || !pFont->FaceSize(pSize, 72)) {
    pError = "cannot read the face " + pPath + " for --check-layout";
    return false;
  }
  return true;
}

// The field's box as the element draws it: the value at (x, y) with 5
// pixels less advance per character, the caption 5 right and 16 below.
void Measure(const Faces& pFaces, bool pLabels, const char* pField, const std::string& pValue, long long pX,
             long long pY, const std::string& pCaption, std::vector<FieldBox>& pBoxes) {
  const int x = vthud::DrawCoord(pX), y = vthud::DrawCoord(pY);
  char lScratch[vthud::kDrawableTextSize];
  FTBBox lBox =
      pFaces.value->BBox(vthud::DrawableText(pValue.c_str(), lScratch), -1, FTPoint(x, y, 0), FTPoint(-5, 0, 0));
  bool lEmpty = pValue.empty();
  if (pLabels && !pCaption.empty()) {
    const FTBBox lCaption = pFaces.label->BBox(vthud::DrawableText(pCaption.c_str(), lScratch), -1,
                                               FTPoint(x + 5, y - 16, 0), FTPoint(0, 0, 0));
    if (lEmpty)
      lBox = lCaption;
    else
      lBox |= lCaption;
    lEmpty = false;
  }
  if (lEmpty) return;
  FieldBox b;
  b.field = pField;
  b.text = pValue;
  b.x0 = lBox.Lower().Xf();
  b.y0 = lBox.Lower().Yf();
  b.x1 = lBox.Upper().Xf();
  b.y1 = lBox.Upper().Yf();
  pBoxes.push_back(b);
}

std::string Rect(const FieldBox& b) {
  char lText[96];
  snprintf(lText, sizeof lText, "x %.1f..%.1f y %.1f..%.1f", static_cast<double>(b.x0), static_cast<double>(b.x1),
           static_cast<double>(b.y0), static_cast<double>(b.y1));
  return lText;
}

}  // namespace

bool MeasureFields(FBComponent* pElement, const std::string& pResourcesDir, double pFrameMs,
                   std::vector<FieldBox>& pBoxes, std::string& pError) {
  Faces lFaces;
  if (!OpenFace(pResourcesDir + "/OratorStd.otf", 48, lFaces.valueFile, lFaces.value, pError) ||
      !OpenFace(pResourcesDir + "/Arial.ttf", 16, lFaces.labelFile, lFaces.label, pError))
    return false;
  const Reader r(pElement);
  FBSystem lSystem;
  FBRenderer* lRenderer = lSystem.Renderer;
  FBCamera* lCamera = lRenderer ? lRenderer->CurrentCamera.GetPropertyValue() : nullptr;
  const FBTime lTime = lSystem.LocalTime;
  int h = 0, m = 0, s = 0, f = 0, lField = 0, lMilli = 0;
  lTime.GetTime(h, m, s, f, lField, lMilli, kFBTimeModeDefault);
  const bool lLabels = r.Bool("Show Labels"), lMetric = r.Bool("Metric Units");
  const long long lTop = 1080 - 48, lBottom = 24;
  char t[256];
  std::vector<FieldBox> lBoxes;
  auto Field = [&](const char* pGate, const char* pName, const std::string& pValue, const char* pOffset,
                   long long pY, const std::string& pCaption) {
    if (r.Bool(pGate)) Measure(lFaces, lLabels, pName, pValue, r.Int(pOffset), pY, pCaption, lBoxes);
  };

  Field("Show Scene Frame", "Scene Frame",
        vthud::FormatSceneFrame(lTime.GetFrame(kFBTimeModeDefault), t, sizeof t), "Frame Offset", lBottom,
        "FRAME");
  Field("Show Scene Timecode", "Scene Timecode", vthud::FormatTimecode(h, m, s, f, t, sizeof t), "Scene TC Offset",
        lBottom, "SCENE");
  Field("Show Character Timecode", "Character Timecode",
        vthud::FormatTimecode(r.Int("Character Hour"), r.Int("Character Minute"), r.Int("Character Second"),
                              r.Int("Character Frame"), t, sizeof t),
        "Character TC Offset", lBottom, "CHARACTER");
  Field("Show Camera Timecode", "Camera Timecode",
        vthud::FormatTimecode(r.Int("Camera Hour"), r.Int("Camera Minute"), r.Int("Camera Second"),
                              r.Int("Camera Frame"), t, sizeof t),
        "Camera TC Offset", lBottom, "CAMERA");
  // The lens fields and the camera name need a current camera.
  if (lCamera) {
    const double lFocal =
        vthud::FocalLengthMm(lCamera->ApertureMode, lCamera->FilmSizeWidth, lCamera->FilmSizeHeight,
                             lCamera->FieldOfView, lCamera->FieldOfViewX, lCamera->FocalLength);
    Field("Show Focal Length", "Focal Length", vthud::FormatFocalLength(lFocal, t, sizeof t),
          "Focal Length Offset", lTop, "FOCAL LENGTH");
    Field("Show F-Stop", "F-Stop", vthud::FormatFStop(lCamera->FStop, t, sizeof t), "F-Stop Offset", lTop,
          "F-STOP");
    Field("Show Focus Distance", "Focus Distance",
          vthud::FormatFocusDistance(lCamera->FocusSpecificDistance, lMetric, t, sizeof t),
          "Focus Distance Offset", lTop, "FOCUS DIST");
    vthud::CopyWholeCharacters(lCamera->Name.AsString().Buffer(), t, sizeof t);
    Field("Show Camera Name", "Camera Name", t, "Camera Name Offset", lTop, "CAMERA");
  }
  Field("Show Interoccular", "Interoccular",
        vthud::FormatInterocular(r.Number("Interoccular"), lMetric, t, sizeof t), "Interoccular Offset", lTop,
        "IO");
  Field("Show Convergence", "Convergence", vthud::FormatConvergence(r.Number("Convergence"), lMetric, t, sizeof t),
        "Convergence Offset", lTop, "CONVERGENCE");
  FBTake* lTake = r.Bool("Use Take for FQN") ? lSystem.CurrentTake.GetPropertyValue() : nullptr;
  Field("Show FQN", "FQN", lTake ? std::string(lTake->Name.AsString().Buffer()) : r.Text("FQN"), "FQN Offset",
        lTop, "FQN");
  Field("Show Slate", "Slate", r.Text("Slate"), "Slate Offset", lTop, "SLATE");
  Field("Show FPS", "FPS", vthud::FormatFramesPerSecond(pFrameMs, t, sizeof t), "FPS Offset", lTop, "FRAMERATE");
  if (r.Bool("Show Value 1"))
    Measure(lFaces, lLabels, "Value 1", vthud::FormatValue(r.Number("Value 1"), t, sizeof t),
            r.Int("Value 1 Offset X"), r.Int("Value 1 Offset Y"), r.Text("Value 1 Label"), lBoxes);
  if (r.Bool("Show Value 2"))
    Measure(lFaces, lLabels, "Value 2", vthud::FormatValue(r.Number("Value 2"), t, sizeof t),
            r.Int("Value 2 Offset X"), r.Int("Value 2 Offset Y"), r.Text("Value 2 Label"), lBoxes);
  // The status is always shown, without a caption.
  FBPlayerControl lPlayer;
  const char* lStatus = lPlayer.IsRecording ? " REC " : r.Bool("Standby") ? "STDBY" : "READY";
  Measure(lFaces, false, "Status", lStatus, r.Int("Status Offset"), lBottom, "", lBoxes);
  pBoxes = lBoxes;
  return true;
}

std::string CheckBoxes(const std::vector<FieldBox>& pBoxes, int pWidth, int pHeight, int& pProblems) {
  std::string lText;
  pProblems = 0;
  for (size_t i = 0; i < pBoxes.size(); ++i) {
    const FieldBox& a = pBoxes[i];
    if (a.x0 < 0 || a.y0 < 0 || a.x1 > pWidth || a.y1 > pHeight) {
      lText += a.field + " (" + Rect(a) + ") leaves the " + std::to_string(pWidth) + " x " +
               std::to_string(pHeight) + " canvas\n";
      ++pProblems;
    }
    for (size_t j = i + 1; j < pBoxes.size(); ++j) {
      const FieldBox& b = pBoxes[j];
      if (a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1) {
        lText += a.field + " (" + Rect(a) + ") overlaps " + b.field + " (" + Rect(b) + ")\n";
        ++pProblems;
      }
    }
  }
  return lText;
}

}  // namespace vthud_tool

// The frame lines element's identity, properties, lifecycle, FDL reading and
// its two roads: the viewer's pane, and the renderer through its own texture.
#include "vtframelines_element.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>
#include <QtCore/QString>

#include <cstdio>
#include <cstring>

#include "fdl_geometry.h"
#include "font_resource.h"
#include "message_text.h"
#include "property_init.h"
#include "utf8_text.h"

FBClassImplementation(VTFrameLines) FBStorableCustomHUDElementImplementation(VTFrameLines, "VT Frame Lines")

    using vthud::Animatable;
using vthud::Colour;
using vthud::Plain;

namespace {
const char* const kVantorCallbackName = "VantorRendererCallback";

std::string FileName(const std::string& pPath) { return pPath.substr(pPath.find_last_of('/') + 1); }
}  // namespace

VTFrameLines::VTFrameLines(const char* pName, HIObject pObject)
    : FBHUDElement(pName, pObject), MfiSceneNodeInterface() {}

bool VTFrameLines::FbxStore(FBFbxObject*, kFbxObjectStore) { return true; }
bool VTFrameLines::FbxRetrieve(FBFbxObject*, kFbxObjectStore) { return true; }

bool VTFrameLines::Inputs::operator==(const Inputs& o) const {
  const vtlines::LineSettings &a = settings, &b = o.settings;
  return decisions == o.decisions && canvas == o.canvas && aspectLines == o.aspectLines &&
         fdlGeneration == o.fdlGeneration && a.width == b.width && a.protection == b.protection &&
         a.labels == b.labels && a.centreMark == b.centreMark && a.thirds == b.thirds &&
         a.actionSafe == b.actionSafe && a.titleSafe == b.titleSafe;
}

FBString VTFrameLines::GetFdlFile(void* pObject) { return static_cast<VTFrameLines*>(pObject)->mFdlPath; }

void VTFrameLines::SetFdlFile(void* pObject, FBString pValue) {
  VTFrameLines* lSelf = static_cast<VTFrameLines*>(pObject);
  // Setting the same path again reads the file again: it may have changed on disk.
  lSelf->mFdlPath = pValue;
  lSelf->readFdl();
}

void VTFrameLines::createProperties() {
  Plain(this, FDLFile, "FDL File");
  FDLFile.Init(this, "FDL File", &VTFrameLines::GetFdlFile, &VTFrameLines::SetFdlFile);
  Plain(this, FramingDecisions, "Framing Decisions");
  Plain(this, Canvas, "Canvas");
  Colour(this, LineColor, "Line Color", 1.0, 1.0, 1.0, 0.9);
  Animatable(this, LineWidth, "Line Width", "Integer", 2);
  LineWidth.SetMinMax(1, 16, true, true);
  Animatable(this, ShowProtection, "Show Protection", "Bool", 1);
  Colour(this, ProtectionColor, "Protection Color", 1.0, 0.75, 0.0, 0.8);
  Animatable(this, ShowLabels, "Show Labels", "Bool", 1);
  Animatable(this, ShowCentreMark, "Show Centre Mark", "Bool", 0);
  Animatable(this, ActionSafe, "Action Safe %", "Number", 0);
  ActionSafe.SetMinMax(0, 100, true, true);
  Animatable(this, TitleSafe, "Title Safe %", "Number", 0);
  TitleSafe.SetMinMax(0, 100, true, true);
  Animatable(this, ShowThirds, "Show Thirds", "Bool", 0);
  Plain(this, AspectLines, "Aspect Lines");
}

bool VTFrameLines::FBCreate() {
  createProperties();
  Show = true;
  size_t lSize = 0;
  mFontData = vthud::ReadResource(":vtframelines/Arial.ttf", lSize, "Couldn't open the label font:");
  if (!mFontData) return false;
  mFont = new FTTextureFont(mFontData, lSize);
  mFont->FaceSize(vtlines::kLabelSize, 72);
  return true;
}

void VTFrameLines::FBDestroy() {
  mQuad.Release();
  mTarget.Release();
  releaseList(mShapeList);
  releaseList(mTextList);
  mLabelLayer.Release();
  delete mFont;  // reads its glyphs from the buffer, so it goes first
  mFont = nullptr;
  delete[] mFontData;
  mFontData = nullptr;
  FBComponent::FBDestroy();
}

void VTFrameLines::readFdl() {
  ++mFdlGeneration;
  mHasDocument = false;
  mDocument = vthud::FdlDocument();
  mFdlError.clear();
  const std::string lPath = static_cast<const char*>(mFdlPath);
  if (lPath.empty()) return;
  std::string lError;
  if (vthud::ReadFdl(lPath, mDocument, lError)) {
    mHasDocument = true;
    return;
  }
  // The reader's message names the path; the line shown names the file alone, and stays short.
  const std::string lName = vthud::MessageText(FileName(lPath));
  for (size_t lAt = lError.find(lPath); !lPath.empty() && lAt != std::string::npos;
       lAt = lError.find(lPath, lAt + lName.size()))
    lError.replace(lAt, lPath.size(), lName);
  if (lError.compare(0, lName.size(), lName) != 0) lError = lName + ": " + lError;
  mFdlError = "FDL " + lError;
  const size_t kShort = 160;
  if (mFdlError.size() > kShort) {
    char lCut[kShort - 2];
    mFdlError = std::string(vthud::CopyWholeCharacters(mFdlError.c_str(), lCut, sizeof lCut)) + "...";
  }
  fprintf(stderr, "VT Frame Lines: %s\n", mFdlError.c_str());
  fflush(stderr);
}

void VTFrameLines::collectFrames(std::vector<vtlines::Frame>& pFrames, std::string& pProblem) {
  pFrames.clear();
  pProblem.clear();
  vthud::CanvasRect lWithin{0, static_cast<double>(mWidth), 0, static_cast<double>(mHeight)};
  if (!mFdlError.empty()) {
    pProblem = mFdlError;
    return;
  }
  if (mHasDocument) {
    const vthud::FdlCanvas* lCanvas = nullptr;
    std::vector<const vthud::FdlDecision*> lDecisions;
    std::string lError;
    if (!vthud::SelectDecisions(mDocument, mBuilt.canvas, mBuilt.decisions, lCanvas, lDecisions, lError)) {
      pProblem = "FDL " + vthud::MessageText(FileName(static_cast<const char*>(mFdlPath))) + ": " + lError;
      return;
    }
    lWithin = vthud::MapCanvas(*lCanvas, mWidth, mHeight);
    for (const vthud::FdlDecision* d : lDecisions) {
      vtlines::Frame f;
      f.rect = vthud::MapToHud(*lCanvas, d->dimensions, d->anchor, mWidth, mHeight);
      const vthud::FdlIntent* lIntent = mDocument.Intent(d->intentId);
      f.label = vthud::MessageText(lIntent && !lIntent->label.empty() ? lIntent->label : d->intentId);
      f.hasProtection = d->hasProtection;
      if (d->hasProtection)
        f.protection = vthud::MapToHud(*lCanvas, d->protectionDimensions, d->protectionAnchor, mWidth, mHeight);
      pFrames.push_back(f);
    }
  }
  std::vector<double> lRatios;
  if (!vtlines::ParseAspectLines(mBuilt.aspectLines, lRatios, pProblem)) {
    pFrames.clear();
    return;
  }
  for (double lRatio : lRatios) {
    vtlines::Frame f;
    f.rect = vtlines::AspectRect(lRatio, lWithin);
    f.label = QString::number(lRatio, 'g', 4).toStdString();
    pFrames.push_back(f);
  }
}

void VTFrameLines::GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight) {
  FBCamera* lCamera = pViewingOptions ? pViewingOptions->GetViewingCamera() : nullptr;
  if (!lCamera) return;
  const double lWidth = lCamera->ResolutionWidth.GetPropertyValue();
  const double lHeight = lCamera->ResolutionHeight.GetPropertyValue();
  // Outside what an int holds, the viewer's own sizes stay.
  if (lWidth >= 0 && lWidth < 2147483647.0) pWidth = static_cast<int>(lWidth);
  if (lHeight >= 0 && lHeight < 2147483647.0) pHeight = static_cast<int>(lHeight);
}

bool VTFrameLines::isVantorRendererPane() {
  FBRenderer* lRenderer = FBSystem::TheOne().Renderer;
  if (!lRenderer) return false;
  const int lIndex = lRenderer->CurrentPaneCallbackIndex;
  if (lIndex < 0 || lIndex >= lRenderer->RendererCallbacks.GetCount()) return false;
  FBRendererCallback* lCallback = lRenderer->RendererCallbacks[lIndex];
  const char* lName = lCallback ? lCallback->GetCallbackName() : nullptr;
  return lName && strcmp(lName, kVantorCallbackName) == 0;
}

void VTFrameLines::DrawElement(FBViewingOptions*, FBHUDElement::Rect&) {
  // The renderer draws its own pane; the lines reach it through MoonfairRender.
  if (mMoonfairConnected && isVantorRendererPane()) return;
  drawIntoTarget();
}

void VTFrameLines::drawIntoTarget() {
  GLint lViewport[4];
  glGetIntegerv(GL_VIEWPORT, lViewport);
  mTarget.Bind();
  DrawLines();
  mTarget.Unbind();
  glViewport(lViewport[0], lViewport[1], lViewport[2], lViewport[3]);
}

void VTFrameLines::MoonfairConnect(_MfiScene*) { mMoonfairConnected = true; }

void VTFrameLines::MoonfairUpdate(_MfiScene* pScene, MfiUpdateContext const*) {
  if (!pScene || mQuad.Ready() || !mMoonfairConnected) return;
  mTarget.Create(mWidth, mHeight);
  mQuad.Create(pScene, mTarget.Texture(), mWidth, mHeight, "VTFrameLines");
}

void VTFrameLines::MoonfairDisconnect() {
  mQuad.Release();
  mTarget.Release();
  mMoonfairConnected = false;
}

void VTFrameLines::MoonfairRender(MfiRenderContext const*) {
  if (!mMoonfairConnected || !isVantorRendererPane()) return;
  drawIntoTarget();
}

bool VTFrameLines::MoonfairIsInPurgatory() const {
  if (GetStatusFlag(kFBStatusOwnedByUndo)) return true;
  return !Show.GetPropertyValue();
}

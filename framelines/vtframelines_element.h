#ifndef VTLINES_VTFRAMELINES_ELEMENT_H
#define VTLINES_VTFRAMELINES_ELEMENT_H
// VT Frame Lines: a host HUD element that draws a show's frame lines from an
// ASC FDL (or plain aspect ratios) on the 1920 x 1080 HUD canvas, and a
// renderer scene node that hands the same lines to the real-time renderer
// through an offscreen texture of its own.
#include <fbsdk/fbsdk.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fdl_file.h"
#include "frame_lines_geometry.h"
#include "label_layer.h"
#include "node_registry.h"
#include "offscreen_target.h"
#include "renderer_quad.h"

class FTTextureFont;

class VTFrameLines : public FBHUDElement, public MfiSceneNodeInterface {
  FBStorableClassDeclare(VTFrameLines, FBHUDElement);

 public:
  VTFrameLines(const char* pName, HIObject pObject = nullptr);

  bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;
  bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;
  bool FBCreate() override;
  void FBDestroy() override;

  void GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight) override;
  void DrawElement(FBViewingOptions* pViewingOptions, FBHUDElement::Rect& pRect) override;

  void MoonfairUpdate(_MfiScene* pScene, MfiUpdateContext const* pContext) override;
  void MoonfairRender(MfiRenderContext const* pContext) override;
  bool MoonfairIsInPurgatory() const override;
  void MoonfairConnect(_MfiScene* pScene) override;
  void MoonfairDisconnect() override;

  // One frame of the lines into the current target.
  void DrawLines();

  // ---- properties, in creation order
  FBPropertyString FDLFile;
  FBPropertyString FramingDecisions;
  FBPropertyString Canvas;
  FBPropertyAnimatableColorAndAlpha LineColor;
  FBPropertyAnimatableInt LineWidth;
  FBPropertyAnimatableBool ShowProtection;
  FBPropertyAnimatableColorAndAlpha ProtectionColor;
  FBPropertyAnimatableBool ShowLabels;
  FBPropertyAnimatableBool ShowCentreMark;
  FBPropertyAnimatableDouble ActionSafe;
  FBPropertyAnimatableDouble TitleSafe;
  FBPropertyAnimatableBool ShowThirds;
  FBPropertyString AspectLines;

  // The file last read, and why it could not be read (empty when it could).
  const std::string& FdlError() const { return mFdlError; }

 private:
  static FBString GetFdlFile(void* pObject);
  static void SetFdlFile(void* pObject, FBString pValue);
  void createProperties();
  void readFdl();
  // The frames the properties and the file ask for, and what stops them.
  void collectFrames(std::vector<vtlines::Frame>& pFrames, std::string& pProblem);
  void drawIntoTarget();
  bool isVantorRendererPane();
  void drawText(const std::string& pText, int pX, int pY);
  // The shapes' quads in their colours, inside glBegin(GL_QUADS).
  void emitShapes(const FBColorAndAlpha& pLine, const FBColorAndAlpha& pProtection);
  // Without labels the shapes are kept in a display list, made when first
  // drawn and remade when a colour changes: a frame replays it instead of
  // sending every vertex. The texts have a list of their own for when the
  // label layer cannot be made.
  void compileShapeList(const FBColorAndAlpha& pLine, const FBColorAndAlpha& pProtection);
  void compileTextList();
  static void releaseList(uint32_t& pList);

  FBString mFdlPath;
  bool mHasDocument = false;
  vthud::FdlDocument mDocument;
  std::string mFdlError;
  // What the last frame drew, rebuilt only when a setting it depends on changes.
  struct Inputs {
    std::string decisions, canvas, aspectLines;
    vtlines::LineSettings settings;
    unsigned long long fdlGeneration = 0;
    bool operator==(const Inputs& o) const;
  };
  Inputs mBuilt, mReading;  // what the lines were built from; this frame's settings
  bool mBuiltValid = false;
  unsigned long long mFdlGeneration = 0;
  std::vector<vtlines::Quad> mQuads;
  std::vector<vtlines::Label> mLabels;
  std::string mProblem;               // one line shown instead of the lines
  std::vector<vtlines::Text> mTexts;  // the labels, or the problem, where they are drawn
  vtlines::LabelLayer mLabelLayer;
  uint32_t mShapeList = 0, mTextList = 0;
  FBColorAndAlpha mListLine, mListProtection;  // the colours mShapeList was made with

  vthud::OffscreenTarget mTarget;
  vthud::RendererQuad mQuad;
  bool mMoonfairConnected = false;
  FTTextureFont* mFont = nullptr;
  unsigned char* mFontData = nullptr;
  int mWidth = 1920, mHeight = 1080;
};

#endif

#ifndef VTHUD_VSHUDELEMENT_ELEMENT_H
#define VTHUD_VSHUDELEMENT_ELEMENT_H
// The VT HUD Element: a host HUD element that draws the production overlay on
// a fixed 1920 x 1080 canvas, and a renderer scene node that hands the same
// overlay to the real-time renderer through an offscreen texture.
#include <fbsdk/fbsdk.h>

#include <cstdint>
#include <memory>

#include "drawing/text_layer.h"
#include "node_registry.h"

class FTTextureFont;
struct VTHUDQuadBuffers;

class VTHUDElement : public FBHUDElement, public MfiSceneNodeInterface {
  FBStorableClassDeclare(VTHUDElement, FBHUDElement);

 public:
  static const int kMarkerCount = 20;

  VTHUDElement(const char* pName, HIObject pObject = nullptr);

  // Stores nothing: the host keeps the element's state in its properties.
  bool FbxStore(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;
  bool FbxRetrieve(FBFbxObject* pFbxObject, kFbxObjectStore pStoreWhat) override;

  bool FBCreate() override;
  void FBDestroy() override;

  void GetIntrinsicDimension(FBViewingOptions* pViewingOptions, int& pWidth, int& pHeight) override;
  void DrawElement(FBViewingOptions* pViewingOptions, FBHUDElement::Rect& pRect) override;

  // Renderer node operations.
  void MoonfairUpdate(_MfiScene* pScene, MfiUpdateContext const* pContext) override;
  void MoonfairRender(MfiRenderContext const* pContext) override;
  bool MoonfairIsInPurgatory() const override;
  void MoonfairConnect(_MfiScene* pScene) override;
  void MoonfairDisconnect() override;

  // Puts one object into a timecode source list (null empties it); the
  // binding follows from the host's connection notification.
  void setCharacterTimecodeSource(FBComponent* pSource);
  void setCameraTimecodeSource(FBComponent* pSource);

  // Event handlers.
  void OnPerFrameRenderingPipelineCallback(HISender pSender, HKEvent pEvent);
  void OnConnectionNotify(HISender pSender, HKEvent pEvent);

  // One frame of the overlay into the current target.
  void DrawHUD();
  void RenderText(const char* pText, int pX, int pY, const char* pLabel);
  void RenderTimeline(int pWidth, int pHeight);
  void RenderBloop(int pWidth, int pHeight);
  void RenderReticle(int pWidth, int pHeight);

  // Offscreen framebuffer.
  void initFramebuffer();
  void bindFramebuffer();
  void unbindFramebuffer();
  void deinitFramebuffer();
  // Renderer-side objects.
  void initRendering(_MfiScene* pScene);
  void initMFITexture(_MfiScene* pScene);
  void deinitRendering();

  // ---- properties, in creation order
  FBPropertyAnimatableBool ShowLabels;
  FBPropertyAnimatableBool ShowTimeline;
  FBPropertyAnimatableInt InFrame;
  FBPropertyAnimatableInt OutFrame;
  FBPropertyAnimatableBool ShowFQN;
  FBPropertyAnimatableBool UseTakeforFQN;
  FBPropertyString FQN;
  FBPropertyAnimatableBool ShowSlate;
  FBPropertyString Slate;
  FBPropertyAnimatableBool ShowFPS;
  FBPropertyAnimatableBool Saving;
  FBPropertyAnimatableBool Standby;
  FBPropertyAnimatableBool ShowReticle;
  FBPropertyString ReticleBoundProperty;
  FBPropertyString SaveMessage;
  FBPropertyAnimatableDouble Aspect;
  FBPropertyAnimatableDouble AspectDistribution;
  FBPropertyAnimatableDouble AspectZoom;
  FBPropertyAnimatableBool ShowFocalLength;
  FBPropertyAnimatableBool ShowFStop;
  FBPropertyAnimatableBool ShowFocusDistance;
  FBPropertyAnimatableBool MetricUnits;
  FBPropertyAnimatableBool ShowCameraName;
  FBPropertyAnimatableBool ShowInteroccular;
  FBPropertyAnimatableDouble Interoccular;
  FBPropertyAnimatableBool ShowConvergence;
  FBPropertyAnimatableDouble Convergence;
  FBPropertyAnimatableBool ShowSceneFrame;
  FBPropertyAnimatableBool ShowSceneTimecode;
  FBPropertyString TimecodePropertyName;
  FBPropertyAnimatableBool ShowCharacterTimecode;
  FBPropertyAnimatableInt CharacterHour;
  FBPropertyAnimatableInt CharacterMinute;
  FBPropertyAnimatableInt CharacterSecond;
  FBPropertyAnimatableInt CharacterFrame;
  FBPropertyAnimatableTimeCode CharacterTimecode;
  FBPropertyAnimatableBool ShowCameraTimecode;
  FBPropertyAnimatableInt CameraHour;
  FBPropertyAnimatableInt CameraMinute;
  FBPropertyAnimatableInt CameraSecond;
  FBPropertyAnimatableInt CameraFrame;
  FBPropertyAnimatableTimeCode CameraTimecode;
  FBPropertyAnimatableBool ShowValue1;
  FBPropertyAnimatableDouble Value1;
  FBPropertyString Value1Label;
  FBPropertyAnimatableBool ShowValue2;
  FBPropertyAnimatableDouble Value2;
  FBPropertyString Value2Label;
  FBPropertyAnimatableInt BloopLightDuration;
  FBPropertyAnimatableColorAndAlpha BloopColor;
  FBPropertyAnimatableBool UseXForBloop;
  FBPropertyAnimatableColorAndAlpha ReticleColor;
  FBPropertyAnimatableInt ReticleSize;
  FBPropertyAnimatableBool ShowMarker[kMarkerCount];
  FBPropertyString MarkerName[kMarkerCount];
  FBPropertyAnimatableInt MarkerFrame[kMarkerCount];
  FBPropertyAnimatableColorAndAlpha MaskColor;
  FBPropertyAnimatableColorAndAlpha FontColor;
  FBPropertyInt TimelineOffset;
  FBPropertyInt FocalLengthOffset;
  FBPropertyInt FStopOffset;
  FBPropertyInt FocusDistanceOffset;
  FBPropertyInt CameraNameOffset;
  FBPropertyInt InteroccularOffset;
  FBPropertyInt ConvergenceOffset;
  FBPropertyInt FQNOffset;
  FBPropertyInt SlateOffset;
  FBPropertyInt FrameOffset;
  FBPropertyInt SceneTCOffset;
  FBPropertyInt CharacterTCOffset;
  FBPropertyInt CameraTCOffset;
  FBPropertyInt StatusOffset;
  FBPropertyInt Value1OffsetX;
  FBPropertyInt Value1OffsetY;
  FBPropertyInt Value2OffsetX;
  FBPropertyInt Value2OffsetY;
  FBPropertyInt FPSOffset;

 private:
  void createProperties();
  void assignStartValues();
  bool loadFonts();
  void createReticleTexture();
  void deleteReticleTexture();
  bool isVantorRendererPane();
  // The overlay into the offscreen target when it exists, else into the bound
  // framebuffer, with the viewport saved and restored around it.
  void drawIntoTarget();
  void _updateTimecodeProperties();
  void _updateCharacterTimecodeSource();
  void _updateCameraTimecodeSource();

 public:
  // ---- members that are not properties
  uint32_t mFramebuffer;
  uint32_t mRenderTexture;
  uint64_t mMeshEntity;
  uint64_t mTransformEntity;
  uint64_t mMaterialEntity;
  uint64_t mTextureEntity;
  bool mRenderingReady;
  bool mFramebufferReady;
  bool mMoonfairConnected;
  FBSystem mSystem;
  FTTextureFont* mOratorFont;
  FTTextureFont* mArialFont;
  FTTextureFont* mArialLargeFont;
  unsigned char* mOratorFontData;
  unsigned char* mArialFontData;
  FBString mCameraName;
  bool mBloopDone;
  int mBloopFrameCount;
  int mBloopStartFrame;
  uint32_t mReticleTexture;
  int64_t mLastFrameMs;
  int64_t mFrameDeltaMs;
  uint64_t mFrameAccumMs;
  uint64_t mFrameCount;
  double mAverageFrameMs;
  FBPropertyListObject* mCharacterTimecodeSource;
  FBPropertyListObject* mCameraTimecodeSource;
  int mWidth;
  int mHeight;
  // The host's framebuffer bindings at bindFramebuffer, restored by unbindFramebuffer.
  uint32_t mHostDrawFramebuffer;
  uint32_t mHostReadFramebuffer;

 private:
  // What one overlay frame reads once from the host and the element's
  // properties; DrawHUD fills it first and the sub-drawings share it.
  struct FrameValues {
    long long sceneFrame = 0;
    long long loopStart = 0;  // the transport's loop range, in frames
    long long loopStop = 0;
    bool recording = false;
    bool playing = false;
    bool bloopUnderMask = false;
    bool showLabels = false;
    int timelineY = 0;
    double maskColor[4] = {0, 0, 0, 0};
    double fontColor[4] = {0, 0, 0, 0};
    FBCamera* camera = nullptr;
    // The timeline's shown markers (index, x) whose names are still to be
    // drawn; with namesWithFields they go in the run of the text fields.
    int markerCount = 0;
    int markerIndex[kMarkerCount] = {};
    int markerX[kMarkerCount] = {};
    bool namesWithFields = false;
  };
  void RenderMarkerNames();
  FrameValues mFrame;
  // The quad geometry handed to the renderer, kept until the mesh is released.
  std::unique_ptr<VTHUDQuadBuffers> mQuadBuffers;
  // Where every string is drawn before it is laid over the target; made
  // with the reticle texture and released with it.
  vthud::TextLayer mTextLayer;
};

#endif

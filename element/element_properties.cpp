// Creation of the element's 136 properties, in the order the property view
// shows them, and the start values assigned once they all exist.
#include "vshudelement_element.h"

#include <cstdio>

#include "property_init.h"

using vthud::Animatable;
using vthud::Colour;
using vthud::Plain;

void VTHUDElement::createProperties() {
  Animatable(this, ShowLabels, "Show Labels", "Bool", 1);
  Animatable(this, ShowTimeline, "Show Timeline", "Bool", 1);
  Animatable(this, InFrame, "In Frame", "Integer", 0);
  Animatable(this, OutFrame, "Out Frame", "Integer", 0);
  Animatable(this, ShowFQN, "Show FQN", "Bool", 1);
  Animatable(this, UseTakeforFQN, "Use Take for FQN", "Bool", 1);
  Plain(this, FQN, "FQN");
  Animatable(this, ShowSlate, "Show Slate", "Bool", 0);
  Plain(this, Slate, "Slate");
  Animatable(this, ShowFPS, "Show FPS", "Bool", 0);
  mLastFrameMs = 0;
  mFrameDeltaMs = 0;
  mFrameAccumMs = 0;
  mFrameCount = 0;
  mAverageFrameMs = 0.0;
  Animatable(this, Saving, "Saving", "Bool", 0);
  Animatable(this, Standby, "Standby", "Bool", 0);
  Animatable(this, ShowReticle, "Show Reticle", "Bool", 0);
  Plain(this, ReticleBoundProperty, "Reticle Bound Property");
  Plain(this, SaveMessage, "Save Message");
  Animatable(this, Aspect, "Aspect", "Number", 2.35);
  Aspect.SetMinMax(1.0, 3.0, true, true);
  Animatable(this, AspectDistribution, "Aspect Distribution", "Number", 0.5);
  AspectDistribution.SetMinMax(0.0, 1.0, true, true);
  Animatable(this, AspectZoom, "Aspect Zoom", "Number", 0.0);
  AspectZoom.SetMinMax(0.0, 100.0, true, true);
  Animatable(this, ShowFocalLength, "Show Focal Length", "Bool", 1);
  Animatable(this, ShowFStop, "Show F-Stop", "Bool", 0);
  Animatable(this, ShowFocusDistance, "Show Focus Distance", "Bool", 0);
  Animatable(this, MetricUnits, "Metric Units", "Bool", 0);
  Animatable(this, ShowCameraName, "Show Camera Name", "Bool", 0);
  Animatable(this, ShowInteroccular, "Show Interoccular", "Bool", 0);
  Animatable(this, Interoccular, "Interoccular", "Number", 0.0);
  Animatable(this, ShowConvergence, "Show Convergence", "Bool", 0);
  Animatable(this, Convergence, "Convergence", "Number", 0.0);
  Animatable(this, ShowSceneFrame, "Show Scene Frame", "Bool", 1);
  Animatable(this, ShowSceneTimecode, "Show Scene Timecode", "Bool", 1);
  Plain(this, TimecodePropertyName, "Timecode Property Name");
  Animatable(this, ShowCharacterTimecode, "Show Character Timecode", "Bool", 1);
  mCharacterTimecodeSource = static_cast<FBPropertyListObject*>(
      PropertyCreate("Character Timecode Source", kFBPT_object, "", false, false, nullptr));
  Animatable(this, CharacterHour, "Character Hour", "Integer", 0);
  Animatable(this, CharacterMinute, "Character Minute", "Integer", 0);
  Animatable(this, CharacterSecond, "Character Second", "Integer", 0);
  Animatable(this, CharacterFrame, "Character Frame", "Integer", 0);
  Animatable(this, CharacterTimecode, "Character Timecode", "TimeCode", 0);
  Animatable(this, ShowCameraTimecode, "Show Camera Timecode", "Bool", 1);
  mCameraTimecodeSource = static_cast<FBPropertyListObject*>(
      PropertyCreate("Camera Timecode Source", kFBPT_object, "", false, false, nullptr));
  Animatable(this, CameraHour, "Camera Hour", "Integer", 0);
  Animatable(this, CameraMinute, "Camera Minute", "Integer", 0);
  Animatable(this, CameraSecond, "Camera Second", "Integer", 0);
  Animatable(this, CameraFrame, "Camera Frame", "Integer", 0);
  Animatable(this, CameraTimecode, "Camera Timecode", "TimeCode", 0);
  Animatable(this, ShowValue1, "Show Value 1", "Bool", 0);
  Animatable(this, Value1, "Value 1", "Number", 0.0);
  Plain(this, Value1Label, "Value 1 Label");
  Animatable(this, ShowValue2, "Show Value 2", "Bool", 0);
  Animatable(this, Value2, "Value 2", "Number", 0.0);
  Plain(this, Value2Label, "Value 2 Label");
  Animatable(this, BloopLightDuration, "Bloop Light Duration", "Integer", 12);
  Colour(this, BloopColor, "Bloop Color", 1.0, 0.0, 0.0, 0.25);
  mBloopFrameCount = 0;
  mBloopStartFrame = 0;
  Animatable(this, UseXForBloop, "Use X For Bloop", "Bool", 0);
  Colour(this, ReticleColor, "Reticle Color", 1.0, 1.0, 1.0, 1.0);
  Animatable(this, ReticleSize, "Reticle Size", "Integer", 1);

  char lName[128];
  for (int i = 0; i < kMarkerCount; ++i) {
    snprintf(lName, sizeof lName, "Show Marker %d", i + 1);
    Animatable(this, ShowMarker[i], lName, "Bool", 0);
    snprintf(lName, sizeof lName, "Marker %d Name", i + 1);
    Plain(this, MarkerName[i], lName);
    MarkerName[i] = "";
    snprintf(lName, sizeof lName, "Marker %d Frame", i + 1);
    Animatable(this, MarkerFrame[i], lName, "Integer", 0);
  }

  Colour(this, MaskColor, "Mask Color", 0.0, 0.0, 0.0, 0.75);
  Colour(this, FontColor, "Font Color", 1.0, 1.0, 1.0, 1.0);
  Plain(this, TimelineOffset, "Timeline Offset");
  Plain(this, FocalLengthOffset, "Focal Length Offset");
  Plain(this, FStopOffset, "F-Stop Offset");
  Plain(this, FocusDistanceOffset, "Focus Distance Offset");
  Plain(this, CameraNameOffset, "Camera Name Offset");
  Plain(this, InteroccularOffset, "Interoccular Offset");
  Plain(this, ConvergenceOffset, "Convergence Offset");
  Plain(this, FQNOffset, "FQN Offset");
  Plain(this, SlateOffset, "Slate Offset");
  Plain(this, FrameOffset, "Frame Offset");
  Plain(this, SceneTCOffset, "Scene TC Offset");
  Plain(this, CharacterTCOffset, "Character TC Offset");
  Plain(this, CameraTCOffset, "Camera TC Offset");
  Plain(this, StatusOffset, "Status Offset");
  Plain(this, Value1OffsetX, "Value 1 Offset X");
  Plain(this, Value1OffsetY, "Value 1 Offset Y");
  Plain(this, Value2OffsetX, "Value 2 Offset X");
  Plain(this, Value2OffsetY, "Value 2 Offset Y");
  Plain(this, FPSOffset, "FPS Offset");
}

void VTHUDElement::assignStartValues() {
  TimelineOffset = 90;
  FocalLengthOffset = 10;
  FStopOffset = 175;
  FocusDistanceOffset = 310;
  CameraNameOffset = 200;
  InteroccularOffset = 515;
  ConvergenceOffset = 610;
  FQNOffset = 760;
  SlateOffset = 1400;
  FPSOffset = 1600;
  FrameOffset = 10;
  SceneTCOffset = 200;
  CharacterTCOffset = 500;
  CameraTCOffset = 800;
  StatusOffset = 1700;
  SaveMessage = "Saving...";
  FQN = "999_00A_001_0A01_X1_PC001_AV001";
  Slate = "999A1";
  TimecodePropertyName = "TimeCode";
  Value1Label = "Value 1";
  Value1OffsetX = 1200;
  Value1OffsetY = 24;
  Value2Label = "Value 2";
  Value2OffsetX = 1450;
  Value2OffsetY = 24;
  ReticleSize = 50;
  ReticleColor = FBColorAndAlpha(1.0, 0.0, 0.0, 0.9);
  ReticleBoundProperty = "ShowCrosshair";
}

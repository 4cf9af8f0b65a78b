// Binding the character and camera timecode displays to timecode properties
// of other scene objects, and keeping each side's timecode and its four
// integers in step on every draw.
#include "vshudelement_element.h"

#include <QtCore/QDebug>

#include <cstring>

#include "draw_range.h"

namespace {

void SetTimecode(FBPropertyAnimatableTimeCode& pTimecode, int pHour, int pMinute, int pSecond, int pFrame) {
  FBTimeCode lValue(FBTimeCode::FRAMES_30);
  lValue.SetTimeCode(pHour, pMinute, pSecond, static_cast<float>(pFrame));
  pTimecode = lValue;
}

// The four integers lose their sources and read zero.
void DetachIntegers(FBPropertyAnimatableInt& pHour, FBPropertyAnimatableInt& pMinute,
                    FBPropertyAnimatableInt& pSecond, FBPropertyAnimatableInt& pFrame) {
  pHour.DisconnectAllSrc();
  pMinute.DisconnectAllSrc();
  pSecond.DisconnectAllSrc();
  pFrame.DisconnectAllSrc();
  pHour = 0;
  pMinute = 0;
  pSecond = 0;
  pFrame = 0;
}

void ResetSide(FBPropertyAnimatableTimeCode& pTimecode, FBPropertyAnimatableInt& pHour,
               FBPropertyAnimatableInt& pMinute, FBPropertyAnimatableInt& pSecond,
               FBPropertyAnimatableInt& pFrame) {
  pTimecode.DisconnectAllSrc();
  DetachIntegers(pHour, pMinute, pSecond, pFrame);
  SetTimecode(pTimecode, 0, 0, 0, 0);
}

void UpdateTimecodeSource(FBPropertyListObject* pList, FBPropertyAnimatableTimeCode& pTimecode,
                          FBPropertyAnimatableInt& pHour, FBPropertyAnimatableInt& pMinute,
                          FBPropertyAnimatableInt& pSecond, FBPropertyAnimatableInt& pFrame,
                          FBPropertyString& pName) {
  if (!pList) return;
  FBComponent* lSource = pList->GetCount() > 0 ? (*pList)[0] : nullptr;
  if (!lSource) {
    ResetSide(pTimecode, pHour, pMinute, pSecond, pFrame);
    return;
  }

  const FBString lUserName = pName;
  const char* const kFallbacks[] = {"master", "amc:timecode", "Timecode", "timecode", "TimeCode"};
  FBProperty* lFound = lSource->PropertyList.Find(lUserName, true);
  if (lFound) {
    qDebug().nospace() << "Connecting to '" << lUserName.Buffer() << "' timecode property";
  } else {
    for (const char* lName : kFallbacks) {
      lFound = lSource->PropertyList.Find(lName, true);
      if (lFound) {
        qDebug().nospace() << "Connecting to '" << lName << "' timecode property";
        break;
      }
    }
  }

  if (lFound) {
    pTimecode.SetAnimated(true);
    pTimecode.ConnectSrc(lFound, kFBConnectionTypeNone);
    DetachIntegers(pHour, pMinute, pSecond, pFrame);
    return;
  }

  qDebug().nospace() << "Connecting to 'TCHour, TCMinute, TCSecond, TCFRame' timecode properties";
  FBProperty* lHour = lSource->PropertyList.Find("TCHour", true);
  FBProperty* lMinute = lSource->PropertyList.Find("TCMinute", true);
  FBProperty* lSecond = lSource->PropertyList.Find("TCSecond", true);
  FBProperty* lFrame = lSource->PropertyList.Find("TCFrame", true);
  if (!lHour || !lMinute || !lSecond || !lFrame) {
    ResetSide(pTimecode, pHour, pMinute, pSecond, pFrame);
    return;
  }
  pTimecode.DisconnectAllSrc();
  SetTimecode(pTimecode, 0, 0, 0, 0);
  FBPropertyAnimatableInt* const lTargets[] = {&pHour, &pMinute, &pSecond, &pFrame};
  FBProperty* const lSources[] = {lHour, lMinute, lSecond, lFrame};
  for (int i = 0; i < 4; ++i) {
    lTargets[i]->SetAnimated(true);
    lTargets[i]->ConnectSrc(lSources[i], kFBConnectionTypeNone);
  }
}

void SyncSide(FBPropertyAnimatableTimeCode& pTimecode, FBPropertyAnimatableInt& pHour,
              FBPropertyAnimatableInt& pMinute, FBPropertyAnimatableInt& pSecond,
              FBPropertyAnimatableInt& pFrame) {
  if (pTimecode.GetSrcCount() != 0) {
    FBTimeCode lValue;
    memset(static_cast<void*>(&lValue), 0, sizeof lValue);
    lValue = pTimecode;
    // A source may hold any number; the readout saturates at the int limits.
    const int lSeconds = vthud::SaturateToInt(lValue.GetSeconds());
    const int lFrame = vthud::SaturateToInt(static_cast<double>(lValue.GetFrame()));
    pHour = lSeconds / 3600;
    pMinute = (lSeconds / 60) % 60;
    pSecond = lSeconds % 60;
    pFrame = lFrame;
    return;
  }
  SetTimecode(pTimecode, pHour, pMinute, pSecond, pFrame);
}

}  // namespace

void VTHUDElement::setCharacterTimecodeSource(FBComponent* pSource) {
  mCharacterTimecodeSource->RemoveAll();
  if (pSource) mCharacterTimecodeSource->Add(pSource);
}

void VTHUDElement::setCameraTimecodeSource(FBComponent* pSource) {
  mCameraTimecodeSource->RemoveAll();
  if (pSource) mCameraTimecodeSource->Add(pSource);
}

void VTHUDElement::_updateCharacterTimecodeSource() {
  UpdateTimecodeSource(mCharacterTimecodeSource, CharacterTimecode, CharacterHour, CharacterMinute,
                       CharacterSecond, CharacterFrame, TimecodePropertyName);
}

void VTHUDElement::_updateCameraTimecodeSource() {
  UpdateTimecodeSource(mCameraTimecodeSource, CameraTimecode, CameraHour, CameraMinute, CameraSecond, CameraFrame,
                       TimecodePropertyName);
}

void VTHUDElement::OnConnectionNotify(HISender, HKEvent pEvent) {
  FBEventConnectionNotify lEvent(pEvent);
  const FBConnectionAction lAction = lEvent.Action;
  if (lAction != kFBConnectedSrc && lAction != kFBDisconnectedSrc) return;
  const FBPlug* lDst = lEvent.DstPlug;
  if (lDst && lDst == mCharacterTimecodeSource)
    _updateCharacterTimecodeSource();
  else if (lDst && lDst == mCameraTimecodeSource)
    _updateCameraTimecodeSource();
}

void VTHUDElement::_updateTimecodeProperties() {
  SyncSide(CharacterTimecode, CharacterHour, CharacterMinute, CharacterSecond, CharacterFrame);
  SyncSide(CameraTimecode, CameraHour, CameraMinute, CameraSecond, CameraFrame);
}

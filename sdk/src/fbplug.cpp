// Plugs and their connections; every change is announced on the system's
// connection event with the request before and the completed action after.
#include <fbsdk/fbsdk.h>
#include <fbsdk_host/host_state.h>

#include <algorithm>

namespace ORSDK2016 {

int FBPlug::mGlobalTypeInfo = 1;
int FBPlug::TypeInfo = FBPlug::mGlobalTypeInfo++;

namespace {
void Notify(FBConnectionAction pAction, FBPlug* pSrc, FBPlug* pDst, int pIndex, FBConnectionType pType) {
  KEventConnectionNotify lEvent;
  lEvent.action = pAction;
  lEvent.src = pSrc;
  lEvent.dst = pDst;
  lEvent.srcIndex = pIndex;
  lEvent.connectionType = pType;
  FBSystem::TheOne().OnConnectionNotify.Fire(&lEvent);
}
void Erase(std::vector<FBPlug*>& pList, FBPlug* pPlug) {
  pList.erase(std::remove(pList.begin(), pList.end(), pPlug), pList.end());
}
}  // namespace

FBPlug::FBPlug(HIObject pObject) : mHandle(pObject ? pObject : &mObject) { mObject.mPlug = this; }

FBPlug::~FBPlug() {
  // A plug that goes away leaves no dangling connection behind; no event is raised.
  for (FBPlug* lSrc : mSrc) Erase(lSrc->mDst, this);
  for (FBPlug* lDst : mDst) Erase(lDst->mSrc, this);
}

void FBPlug::SetHIObject(HIObject pObject, bool) { mHandle = pObject ? pObject : &mObject; }

bool FBPlug::ConnectSrc(FBPlug* pSrc, FBConnectionType pConnectionType) {
  if (!pSrc || pSrc == this) return false;
  if (std::find(mSrc.begin(), mSrc.end(), pSrc) != mSrc.end()) return true;
  Notify(kFBRequestConnectSrc, pSrc, this, GetSrcCount(), pConnectionType);
  mSrc.push_back(pSrc);
  pSrc->mDst.push_back(this);
  Notify(kFBConnectedSrc, pSrc, this, GetSrcCount() - 1, pConnectionType);
  return true;
}

bool FBPlug::ConnectDst(FBPlug* pDst, FBConnectionType pConnectionType) {
  return pDst && pDst->ConnectSrc(this, pConnectionType);
}

bool FBPlug::DisconnectSrc(FBPlug* pSrc) {
  auto lIt = std::find(mSrc.begin(), mSrc.end(), pSrc);
  if (!pSrc || lIt == mSrc.end()) return false;
  const int lIndex = static_cast<int>(lIt - mSrc.begin());
  Notify(kFBRequestDisconnectSrc, pSrc, this, lIndex, kFBConnectionTypeNone);
  Erase(mSrc, pSrc);
  Erase(pSrc->mDst, this);
  Notify(kFBDisconnectedSrc, pSrc, this, lIndex, kFBConnectionTypeNone);
  return true;
}

bool FBPlug::DisconnectDst(FBPlug* pDst) { return pDst && pDst->DisconnectSrc(this); }

void FBPlug::DisconnectAllSrc() {
  while (!mSrc.empty()) DisconnectSrc(mSrc.back());
}

void FBPlug::DisconnectAllDst() {
  while (!mDst.empty()) mDst.back()->DisconnectSrc(this);
}

FBPlug* FBPlug::GetSrc(int pIndex) const {
  return pIndex >= 0 && pIndex < GetSrcCount() ? mSrc[static_cast<size_t>(pIndex)] : nullptr;
}
FBPlug* FBPlug::GetDst(int pIndex) const {
  return pIndex >= 0 && pIndex < GetDstCount() ? mDst[static_cast<size_t>(pIndex)] : nullptr;
}

void FBPlug::SetStatusFlag(FBPlugStatusFlag pStatus, bool pValue) {
  if (pValue)
    mStatus |= pStatus;
  else
    mStatus &= ~static_cast<unsigned>(pStatus);
}

FBPlug* FBGetFBPlug(HIObject pObject) { return pObject ? pObject->mPlug : nullptr; }

}  // namespace ORSDK2016

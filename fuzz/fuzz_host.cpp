#include "fuzz_host.h"

#include <cstdio>
#include <cstdlib>

#include "headless_gl.h"

namespace vthud_fuzz {

void Fail(const std::string& pMessage) {
  std::fprintf(stderr, "fuzz failure: %s\n", pMessage.c_str());
  std::fflush(stderr);
  std::abort();
}

FuzzHost& FuzzHost::Get() {
  static FuzzHost* sHost = nullptr;
  if (sHost) return *sHost;
  std::string lError;
  vthost::GLPlatform lPlatform;
  static vthost::HeadlessGL sGL;
  if (!vthost::PlatformFromEnvironment(lPlatform, lError) || !sGL.Create(lPlatform, lError)) Fail(lError);
  sHost = new FuzzHost;
  sHost->host.reset(new vthost::Host);
  if (!sHost->host->LoadPlugin(VTHUD_PLUGIN_PATH, lError)) Fail(lError);
  sHost->element = static_cast<FBHUDElement*>(sHost->host->Create("VTHUDElement", "HUD 1", lError));
  if (!sHost->element) Fail(lError);
  // Every text the overlay can draw is drawn, so any property reaches the fonts.
  for (int i = 0; i < sHost->element->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = sHost->element->PropertyList[i];
    const std::string lName = lProperty->GetName();
    if (lProperty->GetPropertyType() == kFBPT_bool && lName != "Use X For Bloop") lProperty->SetString("true");
  }
  if (!sHost->host->LoadPlugin(VTLINES_PLUGIN_PATH, lError)) Fail(lError);
  sHost->lines = static_cast<FBHUDElement*>(sHost->host->Create("VTFrameLines", "Lines 1", lError));
  if (!sHost->lines) Fail(lError);
  for (int i = 0; i < sHost->lines->PropertyList.GetCount(); ++i)
    if (sHost->lines->PropertyList[i]->GetPropertyType() == kFBPT_bool)
      sHost->lines->PropertyList[i]->SetString("true");
  sHost->host->SetLoop(-100, 100);
  sHost->host->SetFrame(10);
  sHost->pane = &sHost->host->AddPane(192, 108, nullptr);
  return *sHost;
}

void FuzzHost::Draw() { host->DrawPane(*pane); }

void FuzzHost::FindElements() {
  element = lines = nullptr;
  for (FBHUDElement* lElement : host->HUDElements()) {
    FBHUDElement*& lSlot = std::string(lElement->ClassName()) == "VTFrameLines" ? lines : element;
    if (!lSlot) lSlot = lElement;
  }
  if (!element || !lines) Fail("the start scene lost an element");
}

namespace {
void Describe(FBComponent* pObject, std::string& pText) {
  pText += std::string(pObject->ClassName()) + " '" + static_cast<const char*>(pObject->Name.GetPropertyValue()) +
           "'\n";
  for (int i = 0; i < pObject->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = pObject->PropertyList[i];
    pText += std::string("  ") + lProperty->GetName() + " = " + static_cast<const char*>(lProperty->AsString());
    auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(lProperty);
    if (lAnimatable && lAnimatable->IsAnimated()) pText += " (animated)";
    pText += "\n";
  }
}
}  // namespace

std::string Snapshot(FBComponent* pObject) {
  std::string lText;
  if (pObject) Describe(pObject, lText);
  return lText;
}

std::string Snapshot(const vthost::Host& pHost, bool pWithCameras) {
  std::string lText;
  if (pWithCameras) {
    for (const auto& lCamera : pHost.Cameras()) Describe(lCamera.get(), lText);
    FBTake* lTake = FBSystem().CurrentTake;
    lText +=
        std::string("take ") + (lTake ? static_cast<const char*>(lTake->Name.GetPropertyValue()) : "-") + "\n";
  }
  for (FBComponent* lObject : pHost.Objects()) Describe(lObject, lText);
  return lText;
}

}  // namespace vthud_fuzz

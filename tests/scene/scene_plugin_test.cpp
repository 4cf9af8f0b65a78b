// The real plug-in's element through a save and a load, with every one of its
// own properties away from its start value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "headless_gl.h"
#include "host.h"
#include "scene_file.h"

namespace {

#ifdef VTHUD_PLUGIN_PATH
const int kBaseProperties = 10;  // Name and the nine every HUD element has
const int kOwnProperties = 136;

std::string Dump(const vthost::Host& pHost) {
  std::string lText;
  for (FBComponent* lObject : pHost.Objects())
    for (int i = 0; i < lObject->PropertyList.GetCount(); ++i) {
      FBProperty* p = lObject->PropertyList[i];
      auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(p);
      lText += std::string(p->GetName()) + "|" + (lAnimatable && lAnimatable->IsAnimated() ? "animated|" : "|");
      lText += p->AsString().Buffer();
      auto* lList = dynamic_cast<FBPropertyListObject*>(p);
      for (int e = 0; lList && e < lList->GetCount(); ++e)
        lText += std::string("<") + lList->GetAt(e)->Name.AsString().Buffer() + ">";
      lText += "\n";
    }
  return lText;
}

// A value other than the current one, inside the property's range.
bool Change(FBProperty* p, int pIndex) {
  char lText[128];
  const FBPropertyType lType = p->GetPropertyType();
  switch (lType) {
    case kFBPT_bool: return p->SetString(p->AsString() == "true" ? "false" : "true");
    case kFBPT_int:
    case kFBPT_double: {
      double lCurrent = 0.0;
      p->ReadAs(kFBPT_double, &lCurrent);
      const double lLow = p->HasMin() ? p->GetMin() : lCurrent - 50.0;
      const double lHigh = p->HasMax() ? p->GetMax() : lCurrent + 50.0;
      for (double lShare : {0.37, 0.61, 0.0, 1.0}) {
        double lValue = lLow + (lHigh - lLow) * lShare;
        if (lType == kFBPT_int) lValue = std::round(lValue);
        snprintf(lText, sizeof lText, "%.17g", lValue);
        if (lValue != lCurrent) return p->SetString(lText);
      }
      return false;
    }
    case kFBPT_ColorRGBA:
      snprintf(lText, sizeof lText, "0.125 %.17g 0.375 0.5", 0.01 * pIndex);
      return p->SetString(lText);
    case kFBPT_TimeCode: snprintf(lText, sizeof lText, "%d.5 7 -25", 3600 + pIndex); return p->SetString(lText);
    case kFBPT_charptr: return p->SetString((std::string("Välue \"") + p->GetName() + "\"\n\t\\ 名前").c_str());
    default: return false;
  }
}
#endif

TEST(ScenePlugin, ElementKeepsEveryOwnProperty) {
#ifndef VTHUD_PLUGIN_PATH
  GTEST_SKIP() << "the plug-in is not part of this build";
#else
  std::string lError;
  vthost::GLPlatform lPlatform;
  vthost::HeadlessGL lGL;
  if (!vthost::PlatformFromEnvironment(lPlatform, lError) || !lGL.Create(lPlatform, lError))
    GTEST_SKIP() << "no OpenGL context: " << lError;
  char lDirectory[] = "/tmp/vthost-plugin-scene-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(lDirectory));
  const std::string lPath = std::string(lDirectory) + "/scene.txt";

  // The first host keeps the plug-in loaded while the second loads the scene.
  vthost::Host lFirst;
  ASSERT_NE(nullptr, lFirst.LoadPlugin(VTHUD_PLUGIN_PATH, lError)) << lError;
  FBComponent* lElement = lFirst.Create("VTHUDElement", "HUD \"main\" ü", lError);
  ASSERT_NE(nullptr, lElement) << lError;
  ASSERT_EQ(kBaseProperties + kOwnProperties, lElement->PropertyList.GetCount());
  std::vector<FBPropertyListObject*> lLists;
  for (int i = kBaseProperties; i < lElement->PropertyList.GetCount(); ++i) {
    FBProperty* p = lElement->PropertyList[i];
    SCOPED_TRACE(p->GetName());
    if (auto* lList = dynamic_cast<FBPropertyListObject*>(p)) {
      lLists.push_back(lList);
      continue;
    }
    const std::string lBefore = p->AsString().Buffer();
    EXPECT_TRUE(Change(p, i));
    EXPECT_NE(lBefore, std::string(p->AsString().Buffer()));
    if (auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(p)) lAnimatable->SetAnimated(i % 2 == 0);
  }
  // Lists last: filling them lets the element bind to its sources.
  EXPECT_FALSE(lLists.empty());
  for (size_t i = 0; i < lLists.size(); ++i) {
    vthost::SceneObject* lSource = lFirst.AddObject("Source " + std::to_string(i));
    lSource->PropertyCreate("TimeCode", kFBPT_TimeCode, "", true)->SetString("36000 3 -24");
    lLists[i]->Add(lSource);
    EXPECT_EQ(1, lLists[i]->GetCount());
  }
  ASSERT_TRUE(vthost::SaveScene(lFirst, lPath, lError)) << lError;
  const std::string lSaved = Dump(lFirst);
  lFirst.DestroyAll();

  vthost::Host lSecond;
  ASSERT_NE(nullptr, lSecond.LoadPlugin(VTHUD_PLUGIN_PATH, lError)) << lError;
  ASSERT_TRUE(vthost::LoadScene(lSecond, lPath, lError)) << lError;
  EXPECT_EQ(lSaved, Dump(lSecond));
  lSecond.DestroyAll();
  std::filesystem::remove_all(lDirectory);
#endif
}

}  // namespace

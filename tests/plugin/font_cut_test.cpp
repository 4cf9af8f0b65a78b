// The bundled faces are cuts of full faces: ASCII text draws pixel for pixel
// as the full faces draw it, the cut holds the documented character set, and
// characters outside it draw nothing without disturbing anything else.
#include <QtCore/QResource>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <set>

#include "hud_support.h"

using namespace vthud_test;

namespace {

typedef int (*ResourceFn)();

// Every printable ASCII character, spread over fields drawn by all three fonts.
void ShowAllOfAscii(FBComponent* pElement) {
  Set(pElement, "Show Labels", "true");
  Set(pElement, "Show FQN", "true");
  Set(pElement, "Use Take for FQN", "false");
  Set(pElement, "FQN Offset", "40");
  Set(pElement, "FQN", " !\"#$%&'()*+,-./0123456789:;<=>?");
  Set(pElement, "Show Slate", "true");
  Set(pElement, "Slate Offset", "40");
  Set(pElement, "Slate", "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_");
  Set(pElement, "Show Value 1", "true");
  Set(pElement, "Value 1 Offset X", "40");
  Set(pElement, "Value 1 Offset Y", "700");
  Set(pElement, "Value 1 Label", "`abcdefghijklmnopqrstuvwxyz{|}~ !\"#$%&'()*+,-./0123456789:;<=>?");
  Set(pElement, "Show Value 2", "true");
  Set(pElement, "Value 2 Offset X", "40");
  Set(pElement, "Value 2 Offset Y", "500");
  Set(pElement, "Value 2 Label", "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_");
  Set(pElement, "Show Timeline", "true");
  Set(pElement, "Show Marker 1", "true");
  Set(pElement, "Marker 1 Frame", "40");
  Set(pElement, "Marker 1 Name", "`abcdefghijklmnopqrstuvwxyz{|}~");
}

const char* const kMessages[] = {"Saving...", "AVWQgjy{|}", "0123456789", "~`!@#$%^&*()", "Tf,;:'\"_-+="};

std::string Describe(const Box& pBox) { return "pixels differ in " + ToString(pBox); }

}  // namespace

class CutFaces : public HudTest {
 protected:
  // Every frame with ASCII text, drawn by the element the host has now.
  std::vector<vthost::Image> DrawAscii() {
    Quiet();
    ShowAllOfAscii(element);
    std::vector<vthost::Image> lFrames{Draw()};
    Set(element, "Saving", "true");
    for (const char* lMessage : kMessages) {
      Set(element, "Save Message", lMessage);
      lFrames.push_back(Draw());
    }
    return lFrames;
  }
};

TEST_F(CutFaces, AsciiTextDrawsTheSameWholeFramesAsTheFullFaces) {
#ifndef VTHUD_FULL_FACES_RCC
  GTEST_SKIP() << "the full faces (fonts-liberation2, fonts-inconsolata) were not installed at configure time";
#else
  const std::vector<vthost::Image> lCut = DrawAscii();

  // The same overlay from an element whose fonts come from the full faces.
  host->Destroy(element);
  auto lCleanup = reinterpret_cast<ResourceFn>(plugin->Symbol("_Z30qCleanupResources_vshudelementv"));
  auto lInit = reinterpret_cast<ResourceFn>(plugin->Symbol("_Z27qInitResources_vshudelementv"));
  ASSERT_TRUE(lCleanup && lInit);
  lCleanup();
  Q_CLEANUP_RESOURCE(orator_only);
  ASSERT_TRUE(QResource::registerResource(VTHUD_FULL_FACES_RCC));
  std::string lError;
  element = static_cast<FBHUDElement*>(host->Create("VTHUDElement", "full faces", lError));
  QResource::unregisterResource(VTHUD_FULL_FACES_RCC);
  lInit();
  Q_INIT_RESOURCE(orator_only);
  ASSERT_NE(element, nullptr) << lError;
  const std::vector<vthost::Image> lFull = DrawAscii();

  ASSERT_EQ(lCut.size(), lFull.size());
  EXPECT_FALSE(LitBox(lCut[0], 0, 0, 1920, 1080).empty);
  for (size_t i = 0; i < lCut.size(); ++i) {
    SCOPED_TRACE(i == 0 ? std::string("fields, captions, marker") : std::string("veil: ") + kMessages[i - 1]);
    const Box lDiff = DiffBox(lCut[i], lFull[i], 0, 0, 1920, 1080);
    EXPECT_TRUE(lDiff.empty) << Describe(lDiff);
  }
#endif
}

// The characters each cut face maps, read with FreeType.
std::set<unsigned long> MappedCharacters(const std::string& pFile) {
  std::set<unsigned long> lSet;
  FT_Library lLibrary;
  if (FT_Init_FreeType(&lLibrary)) return lSet;
  FT_Face lFace;
  if (!FT_New_Face(lLibrary, pFile.c_str(), 0, &lFace)) {
    FT_UInt lIndex = 0;
    for (FT_ULong c = FT_Get_First_Char(lFace, &lIndex); lIndex != 0; c = FT_Get_Next_Char(lFace, c, &lIndex))
      lSet.insert(c);
    FT_Done_Face(lFace);
  }
  FT_Done_FreeType(lLibrary);
  return lSet;
}

TEST(CutFaceCharacters, BothFacesHoldAllOfLatin1AndNothingBeyondTheDocumentedSet) {
  const std::set<unsigned long> lExtra = {0x2013, 0x2014, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2020,
                                          0x2021, 0x2022, 0x2026, 0x2030, 0x2039, 0x203A, 0x20AC, 0x2122};
  for (const char* lFile : {"Arial.ttf", "OratorStd.otf"}) {
    SCOPED_TRACE(lFile);
    const std::set<unsigned long> lMapped = MappedCharacters(std::string(VTHUD_RESOURCES_DIR) + "/" + lFile);
    for (unsigned long c = 0x20; c <= 0xFF; ++c) {
      if (c >= 0x7F && c < 0xA0) continue;
      EXPECT_TRUE(lMapped.count(c)) << "missing U+" << std::hex << c;
    }
    for (unsigned long c : lMapped) {
      EXPECT_TRUE((c >= 0x20 && c <= 0xFF) || lExtra.count(c)) << "outside the set: U+" << std::hex << c;
    }
  }
}

class OutOfSetText : public QuietHudTest {
 protected:
  void Arrange() override {
    Set(element, "Show Labels", "true");
    Set(element, "Show Camera Name", "true");
    Set(element, "Show Slate", "true");
    Set(element, "Slate", "S1");
    camera = host->Renderer().CurrentCamera.GetPropertyValue();
  }
  vthost::Image DrawNamed(const char* pName) {
    camera->Name = pName;
    return Draw();
  }
  FBCamera* camera = nullptr;
};

TEST_F(OutOfSetText, CharactersOutsideTheSetDrawNothingAndLeaveTheRestOfTheFrameAlone) {
  const vthost::Image lEmpty = DrawNamed("");
  const vthost::Image lA = DrawNamed("A");
  // Cyrillic (2-byte UTF-8), Han (3-byte), an emoji (4-byte) and Greek.
  const struct {
    const char *name, *equals;
    const vthost::Image* frame;
  } kCases[] = {
      {"\xd0\x9a\xd0\xb0\xd0\xbc\xd0\xb5\xd1\x80\xd0\xb0", "nothing", &lEmpty},
      {"\xe7\x9b\xb8\xe6\x9c\xba", "nothing", &lEmpty},
      {"\xf0\x9f\x8e\xa5", "nothing", &lEmpty},
      {"A\xce\xb1\xce\xb2\xce\xb3", "A", &lA},
      {"A\xd0\x96\xe7\x9b\xb8\xf0\x9f\x8e\xa5", "A", &lA},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " draws as " + c.equals);
    const Box lDiff = DiffBox(*c.frame, DrawNamed(c.name), 0, 0, 1920, 1080);
    EXPECT_TRUE(lDiff.empty) << Describe(lDiff);
  }
  const Box lDiff = DiffBox(lA, DrawNamed("A"), 0, 0, 1920, 1080);
  EXPECT_TRUE(lDiff.empty) << "a later frame draws as before: " << Describe(lDiff);
}

// The scene and layout loaders: the input is a scene file, then the same
// bytes as a layout for the element, then as a layout for both elements,
// then as an FDL framing for its mask, then as the frame lines' FDL File. A
// file that fails to load must leave the host's scene (or the element)
// exactly as it was, nothing partly applied, and say why; one that loads is
// drawn, then the starting state is loaded back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fdl_framing.h"
#include "fuzz_host.h"
#include "scene_file.h"

namespace {

std::string TempPath(const char* pWhat) {
  return std::string(P_tmpdir) + "/vthud-scene-fuzz-" + std::to_string(getpid()) + "-" + pWhat;
}

bool Write(const std::string& pPath, const uint8_t* pData, size_t pSize) {
  FILE* lFile = std::fopen(pPath.c_str(), "wb");
  if (!lFile) return false;
  const bool lOk = std::fwrite(pData, 1, pSize, lFile) == pSize;
  return std::fclose(lFile) == 0 && lOk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  vthud_fuzz::FuzzHost& lFuzz = vthud_fuzz::FuzzHost::Get();
  static const std::string sInput = TempPath("input");
  static const std::string sStart = [&] {
    const std::string lPath = TempPath("start");
    std::string lError;
    if (!vthost::SaveScene(*lFuzz.host, lPath, lError)) vthud_fuzz::Fail(lError);
    return lPath;
  }();
  if (!Write(sInput, pData, pSize)) vthud_fuzz::Fail("cannot write " + sInput);

  // Cameras a loaded scene adds stay with the host, so a restore compares the objects only.
  const std::string lObjects = vthud_fuzz::Snapshot(*lFuzz.host, false);
  const std::string lBefore = vthud_fuzz::Snapshot(*lFuzz.host, true);
  std::string lError;
  if (vthost::LoadScene(*lFuzz.host, sInput, lError)) {
    lFuzz.Draw();
    if (!vthost::LoadScene(*lFuzz.host, sStart, lError)) vthud_fuzz::Fail("cannot restore the scene: " + lError);
    lFuzz.FindElements();
    if (vthud_fuzz::Snapshot(*lFuzz.host, false) != lObjects)
      vthud_fuzz::Fail("the restored scene differs from the start");
  } else {
    if (lError.empty()) vthud_fuzz::Fail("a scene failed to load without a message");
    if (vthud_fuzz::Snapshot(*lFuzz.host, true) != lBefore)
      vthud_fuzz::Fail("a scene that failed to load changed the host's scene: " + lError);
  }

  const std::string lElement = vthud_fuzz::Snapshot(lFuzz.element);
  lError.clear();
  if (vthost::ApplyLayout(lFuzz.element, sInput, lError)) {
    lFuzz.Draw();
    if (!vthost::LoadScene(*lFuzz.host, sStart, lError)) vthud_fuzz::Fail("cannot restore the scene: " + lError);
    lFuzz.FindElements();
  } else {
    if (lError.empty()) vthud_fuzz::Fail("a layout failed to apply without a message");
    if (vthud_fuzz::Snapshot(lFuzz.element) != lElement)
      vthud_fuzz::Fail("a layout that failed to apply changed the element: " + lError);
  }

  const std::string lBoth = vthud_fuzz::Snapshot(lFuzz.element) + vthud_fuzz::Snapshot(lFuzz.lines);
  lError.clear();
  if (vthost::ApplyLayout(std::vector<FBComponent*>{lFuzz.element, lFuzz.lines}, sInput, lError)) {
    lFuzz.Draw();
    if (!vthost::LoadScene(*lFuzz.host, sStart, lError)) vthud_fuzz::Fail("cannot restore the scene: " + lError);
    lFuzz.FindElements();
  } else {
    if (lError.empty()) vthud_fuzz::Fail("a layout of both failed to apply without a message");
    if (vthud_fuzz::Snapshot(lFuzz.element) + vthud_fuzz::Snapshot(lFuzz.lines) != lBoth)
      vthud_fuzz::Fail("a layout of both that failed to apply changed an element: " + lError);
  }

  // Any file as the frame lines' FDL: it is read or it is a one-line message, and drawing goes on.
  lFuzz.lines->PropertyList.Find("FDL File")->SetString(sInput.c_str());
  lFuzz.Draw();
  lFuzz.lines->PropertyList.Find("FDL File")->SetString("");

  const std::string lUnframed = vthud_fuzz::Snapshot(lFuzz.element);
  lError.clear();
  vthost::Framing lFraming;
  if (vthost::ApplyFdl(lFuzz.element, sInput, "", lFraming, lError)) {
    lFuzz.Draw();
    if (!vthost::LoadScene(*lFuzz.host, sStart, lError)) vthud_fuzz::Fail("cannot restore the scene: " + lError);
    lFuzz.FindElements();
  } else {
    if (lError.empty() || lError.find('\n') != std::string::npos)
      vthud_fuzz::Fail("an FDL was refused without a one-line message: " + lError);
    if (vthud_fuzz::Snapshot(lFuzz.element) != lUnframed)
      vthud_fuzz::Fail("an FDL that was refused changed the element: " + lError);
  }
  return 0;
}

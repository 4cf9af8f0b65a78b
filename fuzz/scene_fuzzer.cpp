// The scene loader: the input is a scene file. A file that fails to load
// must leave the host's scene exactly as it was (nothing partly applied) and
// say why; one that loads is drawn, then the starting scene is loaded back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

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

  const std::string lBefore = vthud_fuzz::Snapshot(*lFuzz.host);
  std::string lError;
  if (!vthost::LoadScene(*lFuzz.host, sInput, lError)) {
    if (lError.empty()) vthud_fuzz::Fail("a scene failed to load without a message");
    if (vthud_fuzz::Snapshot(*lFuzz.host) != lBefore)
      vthud_fuzz::Fail("a scene that failed to load changed the host's scene: " + lError);
    return 0;
  }
  lFuzz.Draw();
  if (!vthost::LoadScene(*lFuzz.host, sStart, lError)) vthud_fuzz::Fail("cannot restore the scene: " + lError);
  lFuzz.element = lFuzz.host->HUDElements().empty() ? nullptr : lFuzz.host->HUDElements().front();
  if (vthud_fuzz::Snapshot(*lFuzz.host) != lBefore) vthud_fuzz::Fail("the restored scene differs from the start");
  return 0;
}

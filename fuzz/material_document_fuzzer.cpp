// The renderer's material-document reader on any bytes: it must return, and a
// document it refuses must come with a one-line reason that names where
// reading stopped.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "material_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  const std::string lText(reinterpret_cast<const char*>(pData), pSize);
  vantor::MaterialDocument lDocument;
  std::string lError;
  if (vantor::ReadMaterialDocument(lText, &lDocument, &lError)) return 0;
  if (lError.empty() || lError.find('\n') != std::string::npos || lError.find("line ") == std::string::npos) {
    std::fprintf(stderr, "fuzz failure: refused without a one-line reason naming the line: '%s'\n",
                 lError.c_str());
    std::abort();
  }
  return 0;
}

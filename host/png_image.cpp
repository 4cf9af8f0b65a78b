#include "png_image.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace vthost {

bool WritePng(const std::string& pPath, const Image& pImage, std::string& pError, bool pFast) {
  png_image lPng{};
  lPng.version = PNG_IMAGE_VERSION;
  lPng.width = static_cast<png_uint_32>(pImage.width);
  lPng.height = static_cast<png_uint_32>(pImage.height);
  lPng.format = PNG_FORMAT_RGBA;
  if (pFast) lPng.flags |= PNG_IMAGE_FLAG_FAST;
  // Write to a temporary name and rename, so a failed write never leaves a half file.
  const std::string lTemp = pPath + ".tmp";
  if (!png_image_write_to_file(&lPng, lTemp.c_str(), 0, pImage.rgba.data(), 0, nullptr)) {
    pError = "cannot write " + pPath + ": " + lPng.message;
    std::remove(lTemp.c_str());
    return false;
  }
  if (std::rename(lTemp.c_str(), pPath.c_str()) != 0) {
    pError = "cannot write " + pPath;
    std::remove(lTemp.c_str());
    return false;
  }
  return true;
}

bool ReadPng(const std::string& pPath, Image& pImage, std::string& pError) {
  png_image lPng{};
  lPng.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&lPng, pPath.c_str())) {
    pError = "cannot read " + pPath + ": " + lPng.message;
    return false;
  }
  lPng.format = PNG_FORMAT_RGBA;
  pImage.width = static_cast<int>(lPng.width);
  pImage.height = static_cast<int>(lPng.height);
  pImage.rgba.assign(PNG_IMAGE_SIZE(lPng), 0);
  if (!png_image_finish_read(&lPng, nullptr, pImage.rgba.data(), 0, nullptr)) {
    pError = "cannot read " + pPath + ": " + lPng.message;
    png_image_free(&lPng);
    return false;
  }
  return true;
}

}  // namespace vthost

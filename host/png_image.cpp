#include "png_image.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace vthost {

namespace {

// The PNG in pData without its sRGB chunk (libpng's simplified writer always
// adds one to 8-bit pictures). Chunks: length, type, data, CRC.
void DropSrgbChunk(std::vector<uint8_t>& pData) {
  size_t lAt = 8;
  while (lAt + 12 <= pData.size()) {
    const size_t lLength = (size_t{pData[lAt]} << 24) | (size_t{pData[lAt + 1]} << 16) |
                           (size_t{pData[lAt + 2]} << 8) | pData[lAt + 3];
    const size_t lEnd = lAt + 12 + lLength;
    if (lEnd > pData.size()) return;
    if (memcmp(&pData[lAt + 4], "sRGB", 4) == 0) {
      pData.erase(pData.begin() + static_cast<long>(lAt), pData.begin() + static_cast<long>(lEnd));
      return;
    }
    lAt = lEnd;
  }
}

bool WriteUntagged(png_image& pPng, const std::string& pFile, const std::string& pPath, const Image& pImage,
                   std::string& pError) {
  png_alloc_size_t lSize = 0;
  if (!png_image_write_get_memory_size(pPng, lSize, 0, pImage.rgba.data(), 0, nullptr)) {
    pError = "cannot write " + pPath + ": " + pPng.message;
    return false;
  }
  std::vector<uint8_t> lData(lSize);
  if (!png_image_write_to_memory(&pPng, lData.data(), &lSize, 0, pImage.rgba.data(), 0, nullptr)) {
    pError = "cannot write " + pPath + ": " + pPng.message;
    return false;
  }
  lData.resize(lSize);
  DropSrgbChunk(lData);
  FILE* lFile = fopen(pFile.c_str(), "wb");
  const bool lWritten = lFile && fwrite(lData.data(), 1, lData.size(), lFile) == lData.size();
  if (lFile && fclose(lFile) != 0) return pError = "cannot write " + pPath, false;
  if (!lWritten) pError = "cannot write " + pPath;
  return lWritten;
}

}  // namespace

bool WritePng(const std::string& pPath, const Image& pImage, std::string& pError, bool pFast, bool pSrgb) {
  png_image lPng{};
  lPng.version = PNG_IMAGE_VERSION;
  lPng.width = static_cast<png_uint_32>(pImage.width);
  lPng.height = static_cast<png_uint_32>(pImage.height);
  lPng.format = PNG_FORMAT_RGBA;
  if (pFast) lPng.flags |= PNG_IMAGE_FLAG_FAST;
  // Write to a temporary name and rename, so a failed write never leaves a half file.
  const std::string lTemp = pPath + ".tmp";
  if (!pSrgb) {
    if (!WriteUntagged(lPng, lTemp, pPath, pImage, pError)) {
      std::remove(lTemp.c_str());
      return false;
    }
  } else if (!png_image_write_to_file(&lPng, lTemp.c_str(), 0, pImage.rgba.data(), 0, nullptr)) {
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

// libpng's low-level writer, which returns to its setjmp on an error.
static bool WriteRows16(png_structp pPng, png_infop pInfo, FILE* pFile, int pWidth, int pHeight, png_bytepp pRows,
                        const png_byte* pCicp, bool pFast) {
  if (setjmp(png_jmpbuf(pPng))) return false;
  png_init_io(pPng, pFile);
  if (pFast) png_set_compression_level(pPng, 1);
  png_set_IHDR(pPng, pInfo, static_cast<png_uint_32>(pWidth), static_cast<png_uint_32>(pHeight), 16,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(pPng, pInfo);
  // libpng 1.6 knows no cICP: written as a chunk of its own after the header
  // and before the first IDAT, where the chunk must be.
  png_write_chunk(pPng, reinterpret_cast<png_const_bytep>("cICP"), pCicp, 4);
  png_set_swap(pPng);  // PNG's samples are big-endian
  png_write_image(pPng, pRows);
  png_write_end(pPng, nullptr);
  return true;
}

bool WritePng16(const std::string& pPath, int pWidth, int pHeight, const uint16_t* pRgba, int pPrimaries,
                int pTransfer, std::string& pError, bool pFast) {
  const std::string lTemp = pPath + ".tmp";
  FILE* lFile = fopen(lTemp.c_str(), "wb");
  if (!lFile) return pError = "cannot write " + pPath, false;
  png_structp lPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop lInfo = lPng ? png_create_info_struct(lPng) : nullptr;
  std::vector<png_bytep> lRows(static_cast<size_t>(pHeight));
  for (int y = 0; y < pHeight; ++y)
    lRows[static_cast<size_t>(y)] =
        reinterpret_cast<png_bytep>(const_cast<uint16_t*>(pRgba + static_cast<size_t>(y) * pWidth * 4));
  // Full range (1), RGB (matrix 0).
  const png_byte lCicp[4] = {static_cast<png_byte>(pPrimaries), static_cast<png_byte>(pTransfer), 0, 1};
  bool lWritten = lInfo && WriteRows16(lPng, lInfo, lFile, pWidth, pHeight, lRows.data(), lCicp, pFast);
  png_destroy_write_struct(&lPng, lInfo ? &lInfo : nullptr);
  if (fclose(lFile) != 0) lWritten = false;
  if (!lWritten || std::rename(lTemp.c_str(), pPath.c_str()) != 0) {
    std::remove(lTemp.c_str());
    return pError = "cannot write " + pPath, false;
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

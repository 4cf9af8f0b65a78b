#ifndef VTHUD_FONT_RESOURCE_H
#define VTHUD_FONT_RESOURCE_H
// Font files read whole out of a plug-in's resource bundle: FTGL's faces read
// their glyphs from the buffer for as long as they live.
#include <cstddef>

namespace vthud {

// Copies a whole resource file into a new buffer (free it with delete[]); null,
// with pMessage and the file error in the log, when it does not open.
unsigned char* ReadResource(const char* pPath, size_t& pSize, const char* pMessage);

}  // namespace vthud

#endif

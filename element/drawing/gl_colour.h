// A colour read once from a property, handed to GL in single precision.
#pragma once

#include <GL/gl.h>

namespace vthud {

inline void SetColour(const double (&pColor)[4]) {
  glColor4f(static_cast<float>(pColor[0]), static_cast<float>(pColor[1]), static_cast<float>(pColor[2]),
            static_cast<float>(pColor[3]));
}

}  // namespace vthud

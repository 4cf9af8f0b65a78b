#include "glyph_alpha.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace vthud {

void BeginGlyphAlpha() { glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX); }

void EndGlyphAlpha() { glBlendEquation(GL_FUNC_ADD); }

void SetColour(const double (&pColor)[4]) {
  glColor4f(static_cast<float>(pColor[0]), static_cast<float>(pColor[1]), static_cast<float>(pColor[2]),
            static_cast<float>(pColor[3]));
}

}  // namespace vthud

#include "glyph_alpha.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace vthud {

void BeginGlyphAlpha() { glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX); }

void EndGlyphAlpha() { glBlendEquation(GL_FUNC_ADD); }

}  // namespace vthud

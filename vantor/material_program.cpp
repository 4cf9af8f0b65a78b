#include "material_program.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

namespace vantor {

namespace {

bool HasInput(const MaterialDocument& pDocument, const char* pSemantic) {
  for (const std::string& lInput : pDocument.inputs)
    if (lInput == pSemantic) return true;
  return false;
}

// Every color symbol is a parameter a texture may be bound to; unbound, it
// reads its value (the document's default).
const char* const kParameterType =
    "struct vantorParameter {\n"
    "  bool bound;\n"
    "  sampler2D map;\n"
    "  vec4 value;\n"
    "};\n"
    "vec4 sampleParameterRGBA(vantorParameter p, vec2 uv) { return p.bound ? texture(p.map, uv) : p.value; }\n";

std::string Symbols(const MaterialDocument& pDocument) {
  std::string lText;
  for (const MaterialSymbol& lSymbol : pDocument.symbols)
    lText += (lSymbol.type == "color" ? "uniform vantorParameter " : "uniform float ") + lSymbol.name + ";\n";
  return lText;
}

// A GL log as one line: its lines joined by "; ".
std::string OneLine(const std::string& pText) {
  std::string lLine;
  for (char c : pText) {
    if (c == '\n')
      lLine += "; ";
    else if (c != '\r')
      lLine += c;
  }
  while (!lLine.empty() && (lLine.back() == ' ' || lLine.back() == ';')) lLine.pop_back();
  return lLine;
}

GLuint Compile(GLenum pStage, const std::string& pSource, std::string* pLog) {
  GLuint lShader = glCreateShader(pStage);
  const char* lText = pSource.c_str();
  glShaderSource(lShader, 1, &lText, nullptr);
  glCompileShader(lShader);
  GLint lOk = GL_FALSE, lLength = 0;
  glGetShaderiv(lShader, GL_COMPILE_STATUS, &lOk);
  if (lOk) return lShader;
  glGetShaderiv(lShader, GL_INFO_LOG_LENGTH, &lLength);
  std::vector<char> lLog(static_cast<size_t>(lLength > 0 ? lLength : 1), '\0');
  glGetShaderInfoLog(lShader, static_cast<GLsizei>(lLog.size()), nullptr, lLog.data());
  if (!pLog->empty()) *pLog += "; ";
  *pLog += std::string(pStage == GL_VERTEX_SHADER ? "displacement stage: " : "surface stage: ") +
           OneLine(std::string(lLog.data()));
  glDeleteShader(lShader);
  return 0;
}

}  // namespace

std::string VertexStage(const MaterialDocument& pDocument) {
  std::string lText = "#version 330\n";
  lText += "layout(location = 0) in vec4 iPosition;\n";
  if (HasInput(pDocument, "texCoord0")) lText += "layout(location = 1) in vec2 iTexCoord0;\n";
  lText += "out vec2 vantorTexCoord0;\nvec4 oPosition;\n";
  lText += std::string(kParameterType) + Symbols(pDocument);
  lText += "#line 1\n" + pDocument.displacement + "\n";
  lText += "void main() {\n  oPosition = iPosition;\n  displacement();\n  gl_Position = oPosition;\n";
  lText +=
      HasInput(pDocument, "texCoord0") ? "  vantorTexCoord0 = iTexCoord0;\n" : "  vantorTexCoord0 = vec2(0.0);\n";
  return lText + "}\n";
}

std::string FragmentStage(const MaterialDocument& pDocument) {
  std::string lText = "#version 330\n";
  lText += "struct vantorLobe {\n  vec3 exitantRadiance;\n  float opacity;\n};\n";
  for (const MaterialLobe& lLobe : pDocument.lobes) lText += "vantorLobe " + lLobe.name + ";\n";
  lText += "in vec2 vantorTexCoord0;\n";
  if (HasInput(pDocument, "texCoord0")) lText += "vec2 iTexCoord0;\n";
  lText += "out vec4 vantorColor;\n";
  lText += std::string(kParameterType) + Symbols(pDocument);
  lText += "#line 1\n" + pDocument.surface + "\n";
  lText += "void main() {\n";
  if (HasInput(pDocument, "texCoord0")) lText += "  iTexCoord0 = vantorTexCoord0;\n";
  for (const MaterialLobe& lLobe : pDocument.lobes)
    lText += "  " + lLobe.name + " = vantorLobe(vec3(0.0), 1.0);\n";
  lText += "  surface();\n  vec3 radiance = vec3(0.0);\n  float transmitted = 1.0;\n";
  // Lobes stack as premultiplied emission: each adds its radiance and lets
  // through what its opacity leaves.
  for (const MaterialLobe& lLobe : pDocument.lobes)
    lText += "  radiance += " + lLobe.name + ".exitantRadiance;\n  transmitted *= 1.0 - clamp(" + lLobe.name +
             ".opacity, 0.0, 1.0);\n";
  return lText + "  vantorColor = vec4(radiance, 1.0 - transmitted);\n}\n";
}

uint32_t BuildMaterialProgram(const MaterialDocument& pDocument, std::string* pLog) {
  std::string lLog;
  GLuint lVertex = Compile(GL_VERTEX_SHADER, VertexStage(pDocument), &lLog);
  GLuint lFragment = Compile(GL_FRAGMENT_SHADER, FragmentStage(pDocument), &lLog);
  GLuint lProgram = 0;
  if (lVertex && lFragment) {
    lProgram = glCreateProgram();
    glAttachShader(lProgram, lVertex);
    glAttachShader(lProgram, lFragment);
    glLinkProgram(lProgram);
    GLint lOk = GL_FALSE, lLength = 0;
    glGetProgramiv(lProgram, GL_LINK_STATUS, &lOk);
    if (!lOk) {
      glGetProgramiv(lProgram, GL_INFO_LOG_LENGTH, &lLength);
      std::vector<char> lText(static_cast<size_t>(lLength > 0 ? lLength : 1), '\0');
      glGetProgramInfoLog(lProgram, static_cast<GLsizei>(lText.size()), nullptr, lText.data());
      lLog += "link: " + OneLine(std::string(lText.data()));
      glDeleteProgram(lProgram);
      lProgram = 0;
    }
  }
  if (lVertex) glDeleteShader(lVertex);
  if (lFragment) glDeleteShader(lFragment);
  if (!lProgram && pLog) *pLog = lLog;
  return lProgram;
}

}  // namespace vantor

// The renderer's material document: XML naming the vertex inputs a material
// reads, its surface lobes, its parameters (symbols) and the GLSL bodies of
// its displacement and surface stages. Reading needs no GL context, so the
// reader can be exercised on any input on its own.
#pragma once

#include <string>
#include <vector>

namespace vantor {

struct MaterialSymbol {
  std::string type;  // "color" or "float"
  std::string name;
  float defaultValue[4] = {0.0f, 0.0f, 0.0f, 1.0f};  // a float symbol uses the first
  bool sampler = false;                              // a color that can be bound to a texture
  bool display = true;
};

struct MaterialLobe {
  std::string model;  // "constant"
  std::string name;
};

struct MaterialDocument {
  int version = 0;
  std::vector<std::string> inputs;  // semantics, "position" or "texCoord0", in document order
  std::vector<MaterialLobe> lobes;
  std::vector<MaterialSymbol> symbols;
  std::string displacement;  // GLSL defining void displacement()
  std::string surface;       // GLSL defining void surface()
};

// Reads a document. On failure returns false with a one-line reason that
// names the line and column where reading stopped; pDocument is then unspecified.
bool ReadMaterialDocument(const std::string& pText, MaterialDocument* pDocument, std::string* pError);

}  // namespace vantor

// The GL program of a material: the document's displacement and surface
// functions wrapped in a vertex and a fragment stage of the renderer's own.
#pragma once

#include <cstdint>
#include <string>

#include "material_document.h"

namespace vantor {

// Vertex input locations, by semantic.
enum : uint32_t { kPositionLocation = 0, kTexCoord0Location = 1 };

std::string VertexStage(const MaterialDocument& pDocument);
std::string FragmentStage(const MaterialDocument& pDocument);

// Compiles and links both stages; on failure returns 0 with the GL
// compiler's or linker's log as one line, each part led by its stage.
uint32_t BuildMaterialProgram(const MaterialDocument& pDocument, std::string* pLog);

}  // namespace vantor

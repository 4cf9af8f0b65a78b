#ifndef VTHUD_QUAD_BUFFERS_H
#define VTHUD_QUAD_BUFFERS_H
#include <cstdint>

#include "moonfair_interface.h"

// The quad's geometry and the records that describe it; the renderer may read
// them until the mesh is released, so they live as long as the mesh.
struct VTHUDQuadBuffers {
  float positions[12] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
  float texCoords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
  MfiVertexLayoutElement layout[2] = {{MFI_STREAM_FLOAT3, MFI_SEMANTIC_POSITION, 0},
                                      {MFI_STREAM_FLOAT2, MFI_SEMANTIC_TEXCOORD0, 0}};
  MfiBufferDescriptor indexBuffer{};
  MfiBufferDescriptor streams[2]{};
  MfiMeshBufferSet bufferSet{};
};

#endif

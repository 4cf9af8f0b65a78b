// The plug-in's side of the Moonfair boundary: the two exported entry points
// the renderer looks up, the tables they exchange, and checked C++ wrappers
// for every renderer function the plug-in uses.
#pragma once

#include <cstdint>

#include "moonfair_interface.h"

#define VTHUD_MFI_EXPORT __attribute__((visibility("default")))

// The renderer finds a plug-in's two entry points by the plug-in's library
// name, so each library defines its own pair, once, with this macro:
//   VTHUD_MOONFAIR_ENTRY_POINTS(libvthudelement)
// gives libvthudelementMoonfairHandshake, which returns
// MFI_API_VERSION_STRING, and libvthudelementMoonfairInterfaceExchange, which
// stores the renderer's table (a later call replaces it) and returns the
// plug-in's callback table.
#define VTHUD_MOONFAIR_ENTRY_POINTS(Library)                                                                  \
  extern "C" VTHUD_MFI_EXPORT const char* Library##MoonfairHandshake() { return MoonfairHandshakeVersion(); } \
  extern "C" VTHUD_MFI_EXPORT MfiCallbackTable* Library##MoonfairInterfaceExchange(                           \
      const MfiFunctionTable* table) {                                                                        \
    return MoonfairExchangeTables(table);                                                                     \
  }

const char* MoonfairHandshakeVersion() noexcept;
MfiCallbackTable* MoonfairExchangeTables(const MfiFunctionTable* table) noexcept;

// The HUD element's library's entry points (plugin/vthudelement_entry_points.cpp).
extern "C" {
VTHUD_MFI_EXPORT const char* libvthudelementMoonfairHandshake();
VTHUD_MFI_EXPORT MfiCallbackTable* libvthudelementMoonfairInterfaceExchange(const MfiFunctionTable* table);
}

// The renderer's table as last exchanged. g_pMfiFunctionTable stays null
// until the first exchange, then points at the storage.
extern const MfiFunctionTable* g_pMfiFunctionTableStorage;
extern const MfiFunctionTable* const* g_pMfiFunctionTable;

// Slots 1-4 and 9 are filled; slot 0 (user) is null. Mutable so the error
// slot can be redirected.
extern MfiCallbackTable g_mfiCallbackTableInternal;

// Slot 4: writes one "[RenderTargetProvider] :: MFI error ..." line to stderr.
void MoonfairError(void* user, const MfiErrorContext* error) noexcept;

// Checked wrappers. Each takes the entry's arguments after the table; out
// codes are handled inside. Every failure is reported through slot 4 of
// g_mfiCallbackTableInternal, so callers need not inspect codes:
//  - no table (or a null entry): nothing is called, {-1, null message, name}
//    is reported and the wrapper returns 0 (-1 for the id look-up);
//  - otherwise a non-zero code is reported with the renderer's error text and
//    the entry's result is returned unchanged.
int32_t MfiReleaseEntity(uint64_t entity) noexcept;
int32_t MfiSetEntityAnnotatedName(uint64_t entity, const char* name) noexcept;
int32_t MfiSetEntityCategory(uint64_t entity, int32_t category) noexcept;
int32_t MfiSetEntityPropertyi(uint64_t entity, int32_t property, int32_t value) noexcept;
uint64_t MfiCreateTransform(_MfiScene* scene, uint64_t mesh) noexcept;
int32_t MfiSetTransformPropertyMaterial(uint64_t transform, uint64_t material) noexcept;
uint64_t MfiCreateVertexLayout(_MfiScene* scene, int32_t count, const MfiVertexLayoutElement* elements) noexcept;
uint64_t MfiCreatePolygonMesh(_MfiScene* scene, int32_t vertexCount, uint64_t layout, const float boundsMin[3],
                              const float boundsMax[3]) noexcept;
int32_t MfiSetPolygonMeshBuffers(uint64_t mesh, const MfiMeshBufferSet* buffers, int32_t flags = 0) noexcept;
int32_t MfiGetMaterialPropertyIdByName(uint64_t material, const char* name) noexcept;
int32_t MfiSetMaterialPropertyTextured(uint64_t material, int32_t property, uint64_t texture) noexcept;
uint64_t MfiCreateTexture2D(_MfiScene* scene, int32_t format, int32_t source, int32_t width, int32_t height,
                            const void* initialData = nullptr) noexcept;
int32_t MfiSetTextureData(uint64_t texture, const MfiTextureData* data, int32_t flags = 0) noexcept;
uint64_t MfiCreateMaterialFromString(_MfiScene* scene, const char* document) noexcept;

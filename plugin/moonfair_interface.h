/* Moonfair: the C interface between the Vantor renderer and a plug-in that
 * feeds it scene content. Both sides include this one header so the table
 * layouts and entry indices cannot drift apart. 64-bit, little-endian only. */
#ifndef VTHUD_MOONFAIR_INTERFACE_H
#define VTHUD_MOONFAIR_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define MFI_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define MFI_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

MFI_STATIC_ASSERT(sizeof(void*) == 8, "Moonfair tables are 64-bit only");

/* The plug-in answers the renderer's handshake with this exact string. */
#define MFI_API_VERSION_STRING "MFI//API-VERSION:23800"

/* Owned by the renderer; the plug-in only passes it back. */
struct _MfiScene;
typedef struct _MfiScene _MfiScene;

/* Per-call contexts. The plug-in reads no field of them. */
typedef struct MfiConnectContext {
  uint64_t reserved;
} MfiConnectContext;
typedef struct MfiDisconnectContext {
  uint64_t reserved;
} MfiDisconnectContext;
typedef struct MfiUpdateContext {
  uint64_t reserved;
} MfiUpdateContext;
typedef struct MfiRenderContext {
  uint64_t reserved;
} MfiRenderContext;

typedef struct MfiErrorContext {
  int32_t code;
  int32_t padding;
  const char* message;  /* may be null */
  const char* function; /* may be null */
  uint64_t reserved;    /* zero when the plug-in fills it */
} MfiErrorContext;
MFI_STATIC_ASSERT(offsetof(MfiErrorContext, code) == 0, "MfiErrorContext.code");
MFI_STATIC_ASSERT(offsetof(MfiErrorContext, message) == 8, "MfiErrorContext.message");
MFI_STATIC_ASSERT(offsetof(MfiErrorContext, function) == 16, "MfiErrorContext.function");
MFI_STATIC_ASSERT(offsetof(MfiErrorContext, reserved) == 24, "MfiErrorContext.reserved");
MFI_STATIC_ASSERT(sizeof(MfiErrorContext) == 32, "MfiErrorContext size");

/* ---- Callback table: handed from the plug-in to the renderer. ----------- */

typedef void (*MfiConnectCallback)(void* user, _MfiScene* scene, const MfiConnectContext* ctx);
typedef void (*MfiDisconnectCallback)(void* user, const MfiDisconnectContext* ctx);
typedef void (*MfiUpdateCallback)(void* user, _MfiScene* scene, const MfiUpdateContext* ctx);
typedef void (*MfiErrorCallback)(void* user, const MfiErrorContext* error);
typedef void (*MfiRenderCallback)(void* user, const MfiRenderContext* ctx);

enum MfiCallbackSlot {
  MFI_CB_USER = 0, /* passed back as the first argument of every callback */
  MFI_CB_CONNECT = 1,
  MFI_CB_DISCONNECT = 2,
  MFI_CB_UPDATE = 3,
  MFI_CB_ERROR = 4,
  MFI_CB_RENDER = 9,
  MFI_CB_SLOT_COUNT = 10
};

typedef struct MfiCallbackTable {
  void* user;
  MfiConnectCallback connect;
  MfiDisconnectCallback disconnect;
  MfiUpdateCallback update;
  MfiErrorCallback error;
  void* unused[4]; /* slots 5..8 stay null */
  MfiRenderCallback render;
} MfiCallbackTable;
MFI_STATIC_ASSERT(offsetof(MfiCallbackTable, user) == MFI_CB_USER * 8, "slot 0");
MFI_STATIC_ASSERT(offsetof(MfiCallbackTable, connect) == MFI_CB_CONNECT * 8, "slot 1");
MFI_STATIC_ASSERT(offsetof(MfiCallbackTable, disconnect) == MFI_CB_DISCONNECT * 8, "slot 2");
MFI_STATIC_ASSERT(offsetof(MfiCallbackTable, update) == MFI_CB_UPDATE * 8, "slot 3");
MFI_STATIC_ASSERT(offsetof(MfiCallbackTable, error) == MFI_CB_ERROR * 8, "slot 4");
MFI_STATIC_ASSERT(offsetof(MfiCallbackTable, render) == MFI_CB_RENDER * 8, "slot 9");
MFI_STATIC_ASSERT(sizeof(MfiCallbackTable) == MFI_CB_SLOT_COUNT * 8, "ten slots");

/* ---- Function table: handed from the renderer to the plug-in. ----------- */

/* Entries are stored type-erased; callers cast back to the typedef below. */
typedef void (*MfiProc)(void);

enum MfiFunctionIndex {
  MFI_FN_GET_ERROR_TEXT = 1,
  MFI_FN_RELEASE_ENTITY = 3,
  MFI_FN_SET_ENTITY_ANNOTATED_NAME = 5,
  MFI_FN_SET_ENTITY_CATEGORY = 7,
  MFI_FN_SET_ENTITY_PROPERTY_I = 18,
  MFI_FN_CREATE_TRANSFORM = 20,
  MFI_FN_SET_TRANSFORM_PROPERTY_MATERIAL = 22,
  MFI_FN_CREATE_VERTEX_LAYOUT = 33,
  MFI_FN_CREATE_POLYGON_MESH = 35,
  MFI_FN_SET_POLYGON_MESH_BUFFERS = 36,
  MFI_FN_GET_MATERIAL_PROPERTY_ID_BY_NAME = 39,
  MFI_FN_SET_MATERIAL_PROPERTY_TEXTURED = 43,
  MFI_FN_CREATE_TEXTURE_2D = 44,
  MFI_FN_SET_TEXTURE_DATA = 45,
  MFI_FN_CREATE_MATERIAL_FROM_STRING = 62,
  MFI_FUNCTION_TABLE_SIZE = 64
};

typedef struct MfiFunctionTable {
  MfiProc entries[MFI_FUNCTION_TABLE_SIZE];
} MfiFunctionTable;
MFI_STATIC_ASSERT(sizeof(MfiFunctionTable) == MFI_FUNCTION_TABLE_SIZE * 8, "64 slots");

/* Records passed through the function table. */

/* Stream and semantic codes of a vertex layout element. */
#define MFI_STREAM_FLOAT2 0x501u
#define MFI_STREAM_FLOAT3 0x502u
#define MFI_SEMANTIC_POSITION 0x700u  /* shader input 'position' */
#define MFI_SEMANTIC_TEXCOORD0 0x702u /* shader input 'texCoord0' */

typedef struct MfiVertexLayoutElement {
  uint32_t stream;
  uint32_t semantic;
  uint32_t reserved; /* 0 */
} MfiVertexLayoutElement;
MFI_STATIC_ASSERT(sizeof(MfiVertexLayoutElement) == 12, "MfiVertexLayoutElement size");

typedef struct MfiBufferDescriptor {
  const void* data;
  uint64_t reserved0; /* 0 */
  uint64_t size;      /* bytes */
  uint32_t flags;     /* always 1 */
  uint32_t reserved1; /* 0 */
} MfiBufferDescriptor;
MFI_STATIC_ASSERT(offsetof(MfiBufferDescriptor, size) == 16, "MfiBufferDescriptor.size");
MFI_STATIC_ASSERT(offsetof(MfiBufferDescriptor, flags) == 24, "MfiBufferDescriptor.flags");
MFI_STATIC_ASSERT(sizeof(MfiBufferDescriptor) == 32, "MfiBufferDescriptor size");

#define MFI_INDEX_FORMAT_UINT32 0x530u

typedef struct MfiMeshBufferSet {
  uint64_t indexCount;
  uint32_t indexFormat; /* MFI_INDEX_FORMAT_UINT32 */
  uint32_t padding;
  const MfiBufferDescriptor* indices;
  uint64_t reserved0;
  const MfiBufferDescriptor* vertexStreams; /* one per layout element, in layout order */
  uint64_t reserved1;
  uint64_t reserved2;
} MfiMeshBufferSet;
MFI_STATIC_ASSERT(offsetof(MfiMeshBufferSet, indexFormat) == 8, "MfiMeshBufferSet.indexFormat");
MFI_STATIC_ASSERT(offsetof(MfiMeshBufferSet, indices) == 16, "MfiMeshBufferSet.indices");
MFI_STATIC_ASSERT(offsetof(MfiMeshBufferSet, vertexStreams) == 32, "MfiMeshBufferSet.vertexStreams");
MFI_STATIC_ASSERT(sizeof(MfiMeshBufferSet) == 56, "MfiMeshBufferSet size");

/* Texture creation arguments: an RGBA8 texture whose storage is a GL texture
 * the plug-in owns (its name arrives later through MfiTextureData). */
#define MFI_TEXTURE_FORMAT_RGBA8 0x310
#define MFI_TEXTURE_SOURCE_GL 0x320

typedef struct MfiTextureData {
  uint8_t reserved0[104]; /* zero */
  uint64_t glTexture;     /* OpenGL texture name, widened */
  uint32_t reserved1;     /* zero */
  uint32_t padding;
} MfiTextureData;
MFI_STATIC_ASSERT(offsetof(MfiTextureData, glTexture) == 104, "MfiTextureData.glTexture");
MFI_STATIC_ASSERT(offsetof(MfiTextureData, reserved1) == 112, "MfiTextureData.reserved1");
MFI_STATIC_ASSERT(sizeof(MfiTextureData) == 120, "MfiTextureData size");

/* Entry signatures. Handles are uint64 (0 = none), codes int32 (0 = success);
 * a trailing int32* receives the code of calls that return something else. */
typedef const char* (*MfiGetErrorTextFn)(const MfiFunctionTable* t, int32_t code);
typedef int32_t (*MfiReleaseEntityFn)(const MfiFunctionTable* t, uint64_t entity);
typedef int32_t (*MfiSetEntityAnnotatedNameFn)(const MfiFunctionTable* t, uint64_t entity, const char* name);
typedef int32_t (*MfiSetEntityCategoryFn)(const MfiFunctionTable* t, uint64_t entity, int32_t category);
typedef int32_t (*MfiSetEntityPropertyiFn)(const MfiFunctionTable* t, uint64_t entity, int32_t property,
                                           int32_t value);
typedef uint64_t (*MfiCreateTransformFn)(const MfiFunctionTable* t, _MfiScene* scene, uint64_t mesh,
                                         int32_t* outCode);
typedef int32_t (*MfiSetTransformPropertyMaterialFn)(const MfiFunctionTable* t, uint64_t transform,
                                                     uint64_t material);
typedef uint64_t (*MfiCreateVertexLayoutFn)(const MfiFunctionTable* t, _MfiScene* scene, int32_t count,
                                            const MfiVertexLayoutElement* elements, int32_t* outCode);
typedef uint64_t (*MfiCreatePolygonMeshFn)(const MfiFunctionTable* t, _MfiScene* scene, int32_t vertexCount,
                                           uint64_t layout, const float* boundsMin, const float* boundsMax,
                                           int32_t* outCode);
typedef int32_t (*MfiSetPolygonMeshBuffersFn)(const MfiFunctionTable* t, uint64_t mesh,
                                              const MfiMeshBufferSet* buffers, int32_t flags);
typedef int32_t (*MfiGetMaterialPropertyIdByNameFn)(const MfiFunctionTable* t, uint64_t material, const char* name,
                                                    int32_t* outCode);
typedef int32_t (*MfiSetMaterialPropertyTexturedFn)(const MfiFunctionTable* t, uint64_t material, int32_t property,
                                                    uint64_t texture);
typedef uint64_t (*MfiCreateTexture2DFn)(const MfiFunctionTable* t, _MfiScene* scene, int32_t format,
                                         int32_t source, int32_t width, int32_t height, const void* initialData,
                                         int32_t* outCode);
typedef int32_t (*MfiSetTextureDataFn)(const MfiFunctionTable* t, uint64_t texture, const MfiTextureData* data,
                                       int32_t flags);
typedef uint64_t (*MfiCreateMaterialFromStringFn)(const MfiFunctionTable* t, _MfiScene* scene,
                                                  const char* document, int32_t* outCode);

/* The plug-in exports "<library name>MoonfairHandshake" and
 * "<library name>MoonfairInterfaceExchange" with these signatures. */
typedef const char* (*MfiHandshakeFn)(void);
typedef MfiCallbackTable* (*MfiInterfaceExchangeFn)(const MfiFunctionTable* table);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VTHUD_MOONFAIR_INTERFACE_H */

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "moonfair_library.h"
#include "moonfair_test_support.h"
#include "node_registry.h"
#include "vantor.h"

namespace {

struct WrapperCase {
  const char* name;
  bool returnsCode;     // true: the result is the code itself
  int64_t unavailable;  // result when nothing can be called
  std::function<int64_t(_MfiScene*)> call;
};

// Every wrapper, called with arguments that don't matter: the cases below
// either have no table or make the entry fail before it looks at them.
std::vector<WrapperCase> AllWrappers() {
  static const MfiVertexLayoutElement element{MFI_STREAM_FLOAT3, MFI_SEMANTIC_POSITION, 0};
  static const float bounds[3] = {0, 0, 0};
  static const MfiMeshBufferSet buffers{};
  static const MfiTextureData data{};
  auto i64 = [](auto v) { return static_cast<int64_t>(v); };
  return {
      {"MfiReleaseEntity", true, 0, [=](_MfiScene*) { return i64(MfiReleaseEntity(7)); }},
      {"MfiSetEntityAnnotatedName", true, 0, [=](_MfiScene*) { return i64(MfiSetEntityAnnotatedName(7, "n")); }},
      {"MfiSetEntityCategory", true, 0, [=](_MfiScene*) { return i64(MfiSetEntityCategory(7, 1)); }},
      {"MfiSetEntityPropertyi", true, 0, [=](_MfiScene*) { return i64(MfiSetEntityPropertyi(7, 1, 2)); }},
      {"MfiCreateTransform", false, 0, [=](_MfiScene* s) { return i64(MfiCreateTransform(s, 7)); }},
      {"MfiSetTransformPropertyMaterial", true, 0,
       [=](_MfiScene*) { return i64(MfiSetTransformPropertyMaterial(7, 8)); }},
      {"MfiCreateVertexLayout", false, 0,
       [=](_MfiScene* s) { return i64(MfiCreateVertexLayout(s, 1, &element)); }},
      {"MfiCreatePolygonMesh", false, 0,
       [=](_MfiScene* s) { return i64(MfiCreatePolygonMesh(s, 4, 7, bounds, bounds)); }},
      {"MfiSetPolygonMeshBuffers", true, 0,
       [=](_MfiScene*) { return i64(MfiSetPolygonMeshBuffers(7, &buffers)); }},
      {"MfiGetMaterialPropertyIdByName", false, -1,
       [=](_MfiScene*) { return i64(MfiGetMaterialPropertyIdByName(7, "tex")); }},
      {"MfiSetMaterialPropertyTextured", true, 0,
       [=](_MfiScene*) { return i64(MfiSetMaterialPropertyTextured(7, 0, 8)); }},
      {"MfiCreateTexture2D", false, 0,
       [=](_MfiScene* s) {
         return i64(MfiCreateTexture2D(s, MFI_TEXTURE_FORMAT_RGBA8, MFI_TEXTURE_SOURCE_GL, 4, 4));
       }},
      {"MfiSetTextureData", true, 0, [=](_MfiScene*) { return i64(MfiSetTextureData(7, &data)); }},
      {"MfiCreateMaterialFromString", false, 0,
       [=](_MfiScene* s) { return i64(MfiCreateMaterialFromString(s, "<material/>")); }},
  };
}

TEST(MoonfairEntryPoints, HandshakeReportsApiVersion) {
  EXPECT_STREQ(libvthudelementMoonfairHandshake(), "MFI//API-VERSION:23800");
}

TEST(MoonfairEntryPoints, ExchangeReturnsCallbackTableAndReplacesStoredTable) {
  const MfiCallbackTable* t = &g_mfiCallbackTableInternal;
  {
    ErrorCapture restore;
    MfiFunctionTable first{}, second{};
    EXPECT_EQ(libvthudelementMoonfairInterfaceExchange(&first), t);
    EXPECT_EQ(g_pMfiFunctionTable, &g_pMfiFunctionTableStorage);
    EXPECT_EQ(*g_pMfiFunctionTable, &first);
    EXPECT_EQ(libvthudelementMoonfairInterfaceExchange(&second), t);
    EXPECT_EQ(*g_pMfiFunctionTable, &second);
  }
  void* const* slots = reinterpret_cast<void* const*>(t);
  EXPECT_EQ(slots[0], nullptr);
  EXPECT_EQ(t->connect, &MoonfairConnect);
  EXPECT_EQ(t->disconnect, &MoonfairDisconnect);
  EXPECT_EQ(t->update, &MoonfairUpdate);
  EXPECT_EQ(t->error, &MoonfairError);
  for (int slot = 5; slot <= 8; ++slot) EXPECT_EQ(slots[slot], nullptr) << "slot " << slot;
  EXPECT_EQ(t->render, &MoonfairRender);
}

TEST(MoonfairEntryPoints, BuiltModuleExportsOnlyTheCEntryPoints) {
  void* module = dlopen(MOONFAIR_PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  vantor::Renderer renderer;
  std::string error;
  EXPECT_FALSE(renderer.attach(module, "libother", &error));
  EXPECT_EQ(error, "plug-in does not export libotherMoonfairHandshake");
  EXPECT_TRUE(renderer.attach(module, "libvthudelement", &error)) << error;
  ASSERT_NE(renderer.callbacks(), nullptr);
  EXPECT_NE(renderer.callbacks()->error, nullptr);
  EXPECT_TRUE(renderer.update());
  // C++ wrappers stay inside the plug-in.
  EXPECT_EQ(dlsym(module, "_Z16MfiReleaseEntitym"), nullptr);
  dlclose(module);
}

TEST(MoonfairChecking, WithoutTableNothingIsCalledAndEachWrapperReportsItself) {
  ErrorCapture capture;
  g_pMfiFunctionTable = nullptr;
  for (const WrapperCase& c : AllWrappers()) {
    capture.errors.clear();
    EXPECT_EQ(c.call(nullptr), c.unavailable) << c.name;
    ASSERT_EQ(capture.errors.size(), 1u) << c.name;
    const ReportedError& e = capture.errors[0];
    EXPECT_EQ(e.code, -1) << c.name;
    EXPECT_FALSE(e.hasMessage) << c.name;
    EXPECT_EQ(e.function, c.name);
    EXPECT_EQ(e.reserved, 0u);
  }
}

TEST(MoonfairChecking, NullStoredTableAndNullEntriesCountAsNoTable) {
  ErrorCapture capture;
  libvthudelementMoonfairInterfaceExchange(nullptr);
  EXPECT_EQ(MfiGetMaterialPropertyIdByName(1, "x"), -1);

  MfiFunctionTable empty{};
  libvthudelementMoonfairInterfaceExchange(&empty);
  EXPECT_EQ(MfiCreateTransform(nullptr, 1), 0u);

  ASSERT_EQ(capture.errors.size(), 2u);
  for (const ReportedError& e : capture.errors) {
    EXPECT_EQ(e.code, -1);
    EXPECT_FALSE(e.hasMessage);
  }
  EXPECT_EQ(capture.errors[1].function, "MfiCreateTransform");
}

TEST(MoonfairChecking, FailingEntryReportsRendererCodeAndText) {
  ErrorCapture capture;
  vantor::Renderer renderer;
  libvthudelementMoonfairInterfaceExchange(renderer.functionTable());
  // The fault is keyed by entry name, so this also proves each wrapper
  // reaches its own table index.
  for (const WrapperCase& c : AllWrappers()) {
    renderer.clearFaults();
    renderer.injectFault(c.name, vantor::kInvalidArgument);
    capture.errors.clear();
    EXPECT_EQ(c.call(renderer.scene()), c.returnsCode ? int64_t{vantor::kInvalidArgument} : c.unavailable)
        << c.name;
    ASSERT_EQ(capture.errors.size(), 1u) << c.name;
    EXPECT_EQ(capture.errors[0].code, vantor::kInvalidArgument) << c.name;
    EXPECT_EQ(capture.errors[0].message, "invalid argument") << c.name;
    EXPECT_EQ(capture.errors[0].function, c.name);
  }

  renderer.clearFaults();
  renderer.injectFault("MfiSetEntityCategory", 77);
  capture.errors.clear();
  EXPECT_EQ(MfiSetEntityCategory(1, 2), 77);
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_EQ(capture.errors[0].message, "unknown error");
}

// A hand-made table: checks what reaches the entry and that results pass
// through unchanged even when the out code reports a failure.
struct FakeEntries {
  static inline const MfiFunctionTable* seenTable;
  static inline uint64_t seenMesh;
  static uint64_t CreateTransform(const MfiFunctionTable* t, _MfiScene*, uint64_t mesh, int32_t* outCode) {
    seenTable = t;
    seenMesh = mesh;
    *outCode = 5;
    return 42;
  }
  static int32_t SetEntityPropertyi(const MfiFunctionTable*, uint64_t, int32_t, int32_t value) { return value; }
};

TEST(MoonfairChecking, ForwardsArgumentsAndKeepsResultsUnchanged) {
  ErrorCapture capture;
  MfiFunctionTable table{};
  table.entries[MFI_FN_CREATE_TRANSFORM] = reinterpret_cast<MfiProc>(&FakeEntries::CreateTransform);
  table.entries[MFI_FN_SET_ENTITY_PROPERTY_I] = reinterpret_cast<MfiProc>(&FakeEntries::SetEntityPropertyi);
  libvthudelementMoonfairInterfaceExchange(&table);

  EXPECT_EQ(MfiCreateTransform(nullptr, 0x1234567890ull), 42u);
  EXPECT_EQ(FakeEntries::seenTable, &table);
  EXPECT_EQ(FakeEntries::seenMesh, 0x1234567890ull);
  EXPECT_EQ(MfiSetEntityPropertyi(1, 2, 0), 0);
  EXPECT_EQ(MfiSetEntityPropertyi(1, 2, -9), -9);

  // No error-text entry: the code is still reported, without a message.
  ASSERT_EQ(capture.errors.size(), 2u);
  EXPECT_EQ(capture.errors[0].code, 5);
  EXPECT_FALSE(capture.errors[0].hasMessage);
  EXPECT_EQ(capture.errors[1].code, -9);
  EXPECT_EQ(capture.errors[1].function, "MfiSetEntityPropertyi");
}

TEST(MoonfairChecking, WithoutErrorSlotFailuresAreSilent) {
  ErrorCapture restore;
  g_mfiCallbackTableInternal.error = nullptr;
  g_pMfiFunctionTable = nullptr;
  testing::internal::CaptureStderr();
  EXPECT_EQ(MfiReleaseEntity(1), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(MoonfairErrorLine, ExactLineForEachRecord) {
  MfiErrorContext full{};
  full.code = 3;
  full.message = "invalid argument";
  full.function = "MfiSetTextureData";
  MfiErrorContext bare{};
  bare.code = -1;

  testing::internal::CaptureStderr();
  MoonfairError(nullptr, &full);
  MoonfairError(nullptr, &bare);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[RenderTargetProvider] :: MFI error caused in function 'MfiSetTextureData': invalid argument (3)\n"
            "[RenderTargetProvider] :: MFI error caused in function '':  (-1)\n");
}

TEST(MoonfairErrorLine, DefaultSlotPrintsWrapperFailure) {
  ErrorCapture restore;
  g_mfiCallbackTableInternal.user = nullptr;
  g_mfiCallbackTableInternal.error = &MoonfairError;
  g_pMfiFunctionTable = nullptr;
  testing::internal::CaptureStderr();
  MfiCreateTransform(nullptr, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[RenderTargetProvider] :: MFI error caused in function 'MfiCreateTransform':  (-1)\n");
}

}  // namespace

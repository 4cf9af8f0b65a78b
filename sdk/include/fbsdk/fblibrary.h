#ifndef FBSDK_FBLIBRARY_H
#define FBSDK_FBLIBRARY_H
// Plug-in libraries: the library object, its entry points and module registration.
#include <fbsdk/fbdefs.h>

namespace ORSDK2016 {

class FBSDK_DLL FBLibraryBase {
 public:
  FBLibraryBase() = default;
  virtual ~FBLibraryBase() = default;
  virtual bool LibInit() { return true; }
  virtual bool LibOpen() { return true; }
  virtual bool LibReady() { return true; }
  virtual bool LibClose() { return true; }
  virtual bool LibRelease() { return true; }
};

// Each plug-in defines the five hooks of its own library object.
class FBLibrary : public FBLibraryBase {
 public:
  bool LibInit() override;
  bool LibOpen() override;
  bool LibReady() override;
  bool LibClose() override;
  bool LibRelease() override;
};

}  // namespace ORSDK2016

// A module is a registration function; its body runs on every call and keeps
// its own once-only guard.
#define FBLibraryModule(Name) void FBModule##Name()

#define FBLibraryRegister(Name) \
  {                             \
    void FBModule##Name();      \
    FBModule##Name();           \
  }
#define FBLibraryRegisterStorable(ClassName) FBLibraryRegister(ClassName##Storable)

// Declares the library: its load and unload functions run from the shared
// object's constructor and destructor lists before the host calls LIBRARY_INIT.
#define FBLibraryDeclare(LibName)                                            \
  void EntryPoint##LibName(ORSDK2016::kFBDllOperation pOperation);           \
  void KdsoInit##LibName() { EntryPoint##LibName(ORSDK2016::kFBDllLoad); }   \
  void KdsoDone##LibName() { EntryPoint##LibName(ORSDK2016::kFBDllUnLoad); } \
  namespace {                                                                \
  struct FBLibraryLoader##LibName {                                          \
    FBLibraryLoader##LibName() { KdsoInit##LibName(); }                      \
    ~FBLibraryLoader##LibName() { KdsoDone##LibName(); }                     \
  } sFBLibraryLoader##LibName;                                               \
  }                                                                          \
  ORSDK2016::FBLibrary LibName##GlobalFBLibrary;                             \
  extern "C" FBSDK_DLLEXPORT bool LIBRARY_INIT(ORSDK2016::HIRegister) {      \
    return LibName##GlobalFBLibrary.LibInit();                               \
  }                                                                          \
  void EntryPoint##LibName(ORSDK2016::kFBDllOperation pOperation) {          \
    if (pOperation != ORSDK2016::kFBDllLoad) return;

#define FBLibraryDeclareEnd }

#endif

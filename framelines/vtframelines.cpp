// Library entry of libvtframelines.so: the library object, its hooks, the
// registration of its one element class at load time, and its two Moonfair
// entry points.
#include <fbsdk/fbsdk.h>

#include "moonfair_library.h"

FBLibraryDeclare(vtframelines) { FBLibraryRegisterStorable(VTFrameLines); }
FBLibraryDeclareEnd;

bool FBLibrary::LibInit() { return true; }
bool FBLibrary::LibOpen() { return true; }
bool FBLibrary::LibReady() { return true; }
bool FBLibrary::LibClose() { return true; }
bool FBLibrary::LibRelease() { return true; }

VTHUD_MOONFAIR_ENTRY_POINTS(libvtframelines)

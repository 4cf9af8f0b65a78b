// Library entry: the library object, its hooks, and the registration of the
// one element class at load time.
#include <fbsdk/fbsdk.h>

FBLibraryDeclare(vthudeelement) { FBLibraryRegisterStorable(VTHUDElement); }
FBLibraryDeclareEnd;

bool FBLibrary::LibInit() { return true; }
bool FBLibrary::LibOpen() { return true; }
bool FBLibrary::LibReady() { return true; }
bool FBLibrary::LibClose() { return true; }
bool FBLibrary::LibRelease() { return true; }

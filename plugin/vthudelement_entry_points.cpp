// The HUD element library's two Moonfair entry points.
#include "moonfair_library.h"

VTHUD_MOONFAIR_ENTRY_POINTS(libvthudelement)

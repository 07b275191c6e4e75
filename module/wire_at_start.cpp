// Linked into programs that use the layers without the DLL's start-up.
#include "wiring.h"

namespace {

const bool g_wired = (WireLayers(), true);

}  // namespace

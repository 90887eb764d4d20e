#include "HostCallbacks.h"

// Without a window system a pixel map is never drawn: there is no context.
OSErr DrawPixelMap(const PSPixelMap&, const VRect&, int32_t, int32_t, void*) { return noErr; }

// The built-in example: a synthetic high-dynamic-range scene, the same on
// every run, for trying the tool without a photograph of one's own.
#pragma once

#include <cstdint>

#include "../minihost/MiniHost.h"

// A 32-bit document of a room lit through a sunlit window: about eight
// decades of luminance, smooth gradients, fine texture, saturated colours.
HostDocument MakeExampleScene(int32_t width, int32_t height);

// The full-image run: the last step of the start selector once the settings
// are final. Tone-maps the whole filter rectangle in the host's buffers.
#pragma once

#include <cstdint>

// The smallest image the run accepts, in either direction; smaller ones end
// with the host's bad-parameters code before any buffer is taken.
constexpr int32_t kMinimumImageSide = 100;

void RunFullImage();

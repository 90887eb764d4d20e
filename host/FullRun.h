// The full-image run: the last step of the start selector once the settings
// are final. Tone-maps the whole filter rectangle in the host's buffers.
#pragma once

void RunFullImage();

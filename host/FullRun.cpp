#include "FullRun.h"

// The engine stages are not wired in yet: the start selector accepts the
// image and leaves it unchanged.
void RunFullImage() {}

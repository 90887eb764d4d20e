// Work buffers from the host's buffer procedures, held in the globals as an id
// and a locked address.
#pragma once

#include <cstdint>

#include "HostContract.h"
#include "Settings.h"

// Allocates and locks `bytes` bytes; false (and nothing held) when the host
// cannot give them, including sizes beyond what its procedures can express.
bool AcquireHostBuffer(const BufferProcs* procs, int64_t bytes, HostBuffer* buffer);

// Unlocks and frees a held buffer and clears it; nothing when none is held.
void ReleaseHostBuffer(const BufferProcs* procs, HostBuffer* buffer);

// Releases a host buffer when it goes out of scope, on every path out of a run.
struct ScopedHostBuffer {
    const BufferProcs* procs;
    HostBuffer* buffer;
    ~ScopedHostBuffer() { ReleaseHostBuffer(procs, buffer); }
};

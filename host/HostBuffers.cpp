#include "HostBuffers.h"

#include <climits>

bool AcquireHostBuffer(const BufferProcs* procs, int64_t bytes, HostBuffer* buffer) {
    *buffer = HostBuffer{};
    if (bytes < 0 || bytes > INT32_MAX) return false;
    BufferID id = nullptr;
    if (procs->allocateProc(static_cast<int32_t>(bytes), &id) != noErr || id == nullptr) return false;
    void* address = procs->lockProc(id, true);
    if (address == nullptr) {
        procs->freeProc(id);
        return false;
    }
    *buffer = HostBuffer{id, address};
    return true;
}

void ReleaseHostBuffer(const BufferProcs* procs, HostBuffer* buffer) {
    if (buffer->id != nullptr) {
        procs->unlockProc(buffer->id);
        procs->freeProc(buffer->id);
    }
    *buffer = HostBuffer{};
}

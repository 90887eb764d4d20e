#include "PendingFiles.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

constexpr size_t kLongestPath = 4096;

struct PendingSlot {
    char path[kLongestPath];
    volatile std::sig_atomic_t used;
};

PendingSlot gPending[kMaxPendingFiles];

}  // namespace

bool RegisterPendingFile(const char* path) {
    const size_t length = std::strlen(path);
    if (length >= kLongestPath) return false;
    for (PendingSlot& slot : gPending) {
        if (slot.used) continue;
        std::memcpy(slot.path, path, length + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slot.used = 1;
        return true;
    }
    return false;
}

void ForgetPendingFile(const char* path) {
    for (PendingSlot& slot : gPending)
        if (slot.used && std::strcmp(slot.path, path) == 0) slot.used = 0;
}

void ForEachPendingFile(void (*visit)(const char* path)) {
    for (PendingSlot& slot : gPending)
        if (slot.used) visit(slot.path);
}

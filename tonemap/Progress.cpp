#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

bool gShown = false;
bool gDrawn = false;
int gLastPercent = -1;
int gPhaseFrom = 0;
int gPhaseTo = 100;
std::string gLabel;
volatile std::sig_atomic_t gCancel = 0;

constexpr int kBarWidth = 30;

void Draw(int percent) {
    char bar[kBarWidth + 1];
    const int filled = percent * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", gLabel.c_str(), bar, percent);
    std::fflush(stderr);
    gDrawn = true;
}

void OnInterrupt(int) {
    gCancel = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void SetProgressShown(bool quiet) { gShown = !quiet && isatty(STDERR_FILENO); }

void ProgressBegin(const std::string& label) {
    gLabel = label;
    gLastPercent = -1;
    ProgressPhase(0, 100);
    ProgressUpdate(0, 100);
}

void ProgressPhase(int fromPercent, int toPercent) {
    gPhaseFrom = fromPercent;
    gPhaseTo = toPercent;
}

void ProgressUpdate(int32_t done, int32_t total) {
    if (!gShown || total <= 0) return;
    const int64_t within = std::clamp<int64_t>(int64_t(done) * 100 / total, 0, 100);
    const int percent = static_cast<int>(gPhaseFrom + within * (gPhaseTo - gPhaseFrom) / 100);
    if (percent <= gLastPercent) return;
    gLastPercent = percent;
    Draw(percent);
}

void ProgressEnd() {
    if (!gDrawn) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(gLabel.size()) + kBarWidth + 8, "");
    std::fflush(stderr);
    gDrawn = false;
}

bool ImageLibraryProgress(void*, float portionDone) {
    ProgressUpdate(static_cast<int32_t>(portionDone * 1000), 1000);
    return CancelRequested();
}

void InstallCancelHandler() { std::signal(SIGINT, OnInterrupt); }

bool CancelRequested() { return gCancel != 0; }

uint8_t CancelRequestedForHost() { return CancelRequested() ? 1 : 0; }

#include "Progress.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "Signals.h"

namespace {

bool gShown = false;
bool gDrawn = false;
int gLastPercent = -1;
int gPhaseFrom = 0;
int gPhaseTo = 100;
std::string gLabel;
int gTerminal = -1;  // a copy of standard error taken before anything redirects it

constexpr int kBarWidth = 30;

void Draw(int percent) {
    char bar[kBarWidth + 1];
    const int filled = percent * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    dprintf(gTerminal, "\r%s [%s] %3d%%", gLabel.c_str(), bar, percent);
    gDrawn = true;
}

}  // namespace

void SetProgressShown(bool quiet) {
    gShown = !quiet && isatty(STDERR_FILENO);
    if (gShown && gTerminal < 0) gTerminal = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    gShown = gTerminal >= 0;
}

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
    dprintf(gTerminal, "\r%*s\r", static_cast<int>(gLabel.size()) + kBarWidth + 8, "");
    gDrawn = false;
}

bool ImageLibraryProgress(void*, float portionDone) {
    ProgressUpdate(static_cast<int32_t>(portionDone * 1000), 1000);
    return CancelRequested();
}

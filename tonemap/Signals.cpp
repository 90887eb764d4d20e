#include "Signals.h"

#include <unistd.h>

#include <csignal>

#include "../minihost/PendingFiles.h"

namespace {

volatile std::sig_atomic_t gCancel = 0;

// The dispositions found at start, restored before a signal takes its course.
struct sigaction gPrevious[NSIG];

// Signals raised by a faulting instruction: returning re-executes it, and
// the restored disposition (a sanitizer's report, or the default) takes over.
bool IsFault(int signal) { return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL; }

void RemoveFile(const char* path) { unlink(path); }

void EndLikeTheSignal(int signal) {
    ForEachPendingFile(RemoveFile);
    sigaction(signal, &gPrevious[signal], nullptr);
    if (!IsFault(signal)) raise(signal);  // delivered once this handler returns
}

void OnInterrupt(int signal) {
    if (gCancel == 0) {
        gCancel = 1;
        return;
    }
    EndLikeTheSignal(signal);
}

void Install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (sigaction(signal, nullptr, &gPrevious[signal]) != 0) return;
    // A signal ignored by whoever started the process stays ignored.
    if (gPrevious[signal].sa_handler == SIG_IGN && signal != SIGXFSZ) return;
    sigaction(signal, &action, nullptr);
}

// The signals whose default ends the process, besides the two that cannot be caught.
const int kEndingSignals[] = {SIGHUP,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1,
                              SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGVTALRM,
                              SIGPROF, SIGIO,   SIGPWR,  SIGSYS};

}  // namespace

void InstallSignalHandlers() {
    Install(SIGINT, OnInterrupt);
    for (int signal : kEndingSignals) Install(signal, EndLikeTheSignal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) Install(signal, EndLikeTheSignal);
    Install(SIGXFSZ, SIG_IGN);
}

bool CancelRequested() { return gCancel != 0; }

uint8_t CancelRequestedForHost() { return CancelRequested() ? 1 : 0; }

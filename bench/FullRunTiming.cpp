// Times the plug-in module's full run through our host with the clock alone,
// so that the same program runs on Linux (ToneMapping.so beside it) and on
// Windows (ToneMapping.8bf beside it, under wine on Linux) on the same
// document, and the two can be compared:
//   full_run_timing [--runs N] IN.pfm|IN.ppm
// Each run is one filter application with the dialog off and the default
// settings, on a fresh copy of the document, as a recorded action plays it.
// The module's progress reports split the time into get_image (0-5), tm1
// (5-30), tm2 (30-70) and the output operator (70 to the end).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MiniHost.h"
#include "TryOutFiles.h"

namespace {

using Clock = std::chrono::steady_clock;

// The moments of the progress reports 0, 5, 30 and 70 of the current run.
Clock::time_point gMarks[4];

void MarkProgress(int32_t done, int32_t) {
    const int index = done == 0 ? 0 : done == 5 ? 1 : done == 30 ? 2 : 3;
    gMarks[index] = Clock::now();
}

double Milliseconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Whole run, then get_image, tm1, tm2 and the output operator.
struct RunTimes {
    double parts[5];
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Print(const char* label, const RunTimes& t) {
    std::printf("%s %.1f ms (get_image %.1f, tm1 %.1f, tm2 %.1f, output %.1f)\n", label, t.parts[0], t.parts[1],
                t.parts[2], t.parts[3], t.parts[4]);
}

bool TimeRun(const PluginModule& module, const HostDocument& document, RunTimes* times) {
    MiniHost host;
    host.document = document;
    host.progressObserver = MarkProgress;
    host.playAction = true;
    host.playInfo = plugInDialogDontDisplay;
    const Clock::time_point start = Clock::now();
    const int16_t result = RunFilter(host, module, true);
    const Clock::time_point end = Clock::now();
    ReleaseKeptHandles(host);
    if (result != noErr) {
        std::fprintf(stderr, "full_run_timing: the run failed with %d\n", result);
        return false;
    }
    times->parts[0] = Milliseconds(start, end);
    times->parts[1] = Milliseconds(gMarks[0], gMarks[1]);
    times->parts[2] = Milliseconds(gMarks[1], gMarks[2]);
    times->parts[3] = Milliseconds(gMarks[2], gMarks[3]);
    times->parts[4] = Milliseconds(gMarks[3], end);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            input = argument;
    }
    if (input.empty()) {
        std::fprintf(stderr, "Usage: full_run_timing [--runs N] IN.pfm|IN.ppm\n");
        return 2;
    }
    HostDocument document;
    std::string problem;
    if (!ReadImageFile(input, &document, &problem)) {
        std::fprintf(stderr, "full_run_timing: %s\n", problem.c_str());
        return 1;
    }
    PluginModule module;
    if (!LoadPluginModule(DefaultModulePath(), &module, &problem)) {
        std::fprintf(stderr, "full_run_timing: %s\n", problem.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %d-bit, module %s\n", input.c_str(), document.width, document.height, document.depth,
                DefaultModulePath().c_str());
    std::vector<std::vector<double>> parts(5);
    for (int run = 1; run <= runs; ++run) {
        RunTimes times{};
        if (!TimeRun(module, document, &times)) return 1;
        Print(("run " + std::to_string(run) + ":").c_str(), times);
        for (int p = 0; p < 5; ++p) parts[p].push_back(times.parts[p]);
    }
    RunTimes median{};
    for (int p = 0; p < 5; ++p) median.parts[p] = Median(parts[p]);
    Print("median:", median);
    UnloadPluginModule(&module);
    return 0;
}

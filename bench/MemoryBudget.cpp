// What the command-line tool may hold at its peak for one image, by the
// speed work's memory goal: the input (the document the file becomes), the
// output (the samples the chosen format stores), the plug-in's three work
// buffers, and a tenth more. Also prints what this program holds before it
// has done anything: the image library and the other shared libraries that
// the tool, linked the same way, pays before its first pixel.
//   memory_budget IN OUT...
// One line per output: "OUT input output buffers budget" in bytes; then
// "libraries BYTES".
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "../settings/SettingsTable.h"
#include "../host/RunParameters.h"
#include "ImageFiles.h"

namespace {

// The resident set of this process now, in bytes.
uint64_t ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
    return 0;
}

uint64_t BytesPerSample(OutputSamples samples) {
    return samples == OutputSamples::Float ? 4 : samples == OutputSamples::Sixteen ? 2 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t libraries = ResidentBytes();
    if (argc < 3) {
        std::fprintf(stderr, "usage: memory_budget IN OUT...\n");
        return 2;
    }
    ImageSource source;
    ToolError error;
    if (!OpenImageFile(argv[1], false, &source, &error)) {
        std::fprintf(stderr, "memory_budget: %s\n", error.message.c_str());
        return 1;
    }
    const int depthCode = source.documentDepth == 32 ? 0 : 1;
    TMSettings settings{};
    WriteDefaultSettings(DefaultSet::FirstRun, depthCode, &settings);
    const uint64_t pixels = uint64_t(source.header.width) * uint64_t(source.header.height);
    const uint64_t input = pixels * 3 * (source.documentDepth == 32 ? 4 : 2);
    const uint64_t buffers = 3 * uint64_t(FullRunWorkBufferBytes(source.header.width, source.header.height, settings));
    for (int i = 2; i < argc; ++i) {
        OutputFormat format{};
        if (!OutputFormatOf(argv[i], source.documentDepth, &format)) {
            std::fprintf(stderr, "memory_budget: unknown output format: %s\n", argv[i]);
            return 1;
        }
        const uint64_t output = pixels * 3 * BytesPerSample(format.samples);
        const uint64_t sum = input + output + buffers;
        std::printf("%s %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", argv[i], input, output, buffers,
                    sum + sum / 10);
    }
    std::printf("libraries %" PRIu64 "\n", libraries);
    return 0;
}

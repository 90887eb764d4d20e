#include "MemoryNeeds.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "../host/RunParameters.h"

namespace {

// The rows read at a time (ImageReading.cpp reads at most this many).
constexpr uint64_t kStripRows = 256;
// A 16-bit image's linearisation table, and room for the libraries' own
// buffers and the program itself.
constexpr uint64_t kFixedBytes = 64ull << 20;

uint64_t Sum(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }
uint64_t Product(uint64_t a, uint64_t b) { return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b; }

// A value of /proc/meminfo in bytes, or 0.
uint64_t MemInfoBytes(const std::string& text, const std::string& key) {
    const size_t at = text.find("\n" + key + ":");
    if (at == std::string::npos) return 0;
    std::istringstream in(text.substr(at + key.size() + 2));
    uint64_t kilobytes = 0;
    in >> kilobytes;
    return kilobytes * 1024;
}

// What a resource limit leaves beside what the process holds already.
uint64_t LimitLeft(int resource, uint64_t held) {
    struct rlimit limit {};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
    return limit.rlim_cur > held ? limit.rlim_cur - held : 0;
}

}  // namespace

RunMemory EstimateRunMemory(const ImageSource& source, const TMSettings& settings) {
    const OIIO::ImageSpec& h = source.header;
    const uint64_t pixels = Product(uint64_t(h.width), uint64_t(h.height));
    const uint64_t sampleBytes = source.documentDepth == 32 ? 4 : 2;
    const uint64_t documentBytes = Product(pixels, 3 * sampleBytes);
    const uint64_t alphaBytes = source.alphaIndex >= 0 ? Product(pixels, 4) : 0;
    const uint64_t stripBytes = Product(Product(uint64_t(h.width), uint64_t(h.nchannels) * sampleBytes),
                                        std::max<uint64_t>(kStripRows, uint64_t(std::max(h.tile_height, 0))));

    RunMemory memory;
    memory.workBufferBytes = FullRunWorkBufferBytes(h.width, h.height, settings);
    // The host filters the document in place: the run adds the work buffers only.
    const uint64_t run = Product(3, uint64_t(std::max<int64_t>(memory.workBufferBytes, 0)));
    // Float samples with alpha are the largest an output can take.
    const uint64_t write = Product(pixels, 4 * 4);
    memory.peakBytes = Sum(Sum(documentBytes, alphaBytes), Sum(kFixedBytes, std::max({stripBytes, run, write})));
    return memory;
}

uint64_t AvailableMemory() {
    std::ifstream in("/proc/meminfo");
    std::stringstream text;
    text << "\n" << in.rdbuf();
    const std::string info = text.str();
    uint64_t available = MemInfoBytes(info, "MemAvailable");
    if (available != 0) available = Sum(available, MemInfoBytes(info, "SwapFree"));

    uint64_t held = 0;
    std::ifstream status("/proc/self/statm");
    uint64_t pages = 0;
    if (status >> pages) held = pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t limit = std::min(LimitLeft(RLIMIT_AS, held), LimitLeft(RLIMIT_DATA, held));
    if (available == 0) return limit == UINT64_MAX ? 0 : limit;
    return std::min(available, limit);
}

std::string ByteCountText(uint64_t bytes) {
    char text[32];
    if (bytes >= (1ull << 30))
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / (1ull << 30));
    else
        std::snprintf(text, sizeof text, "%.0f MB", std::max(1.0, static_cast<double>(bytes) / (1ull << 20)));
    return text;
}

// libFuzzer target of the settings file reader: any bytes, as a file. Beyond
// the sanitizers' checks it stops on a broken promise of the reader: a result
// that is no defined code, a byte count beyond the bytes it may read, or a slot
// changed although its element does not occur in the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../engine/SettingUnits.h"
#include "../settings/SettingsTable.h"
#include "XmpSettings.h"

namespace {

constexpr int32_t kUntouched = -123456789;

std::string gPath;

void RemoveFuzzFile() { unlink(gPath.c_str()); }

const char* FuzzFile() {
    if (gPath.empty()) {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder != nullptr ? folder : "/tmp") + "/xmp_reader_fuzz_XXXXXX";
        const int fd = mkstemp(&name[0]);
        if (fd < 0) std::abort();
        close(fd);
        gPath = name;
        std::atexit(RemoveFuzzFile);
    }
    return gPath.c_str();
}

bool Contains(const uint8_t* data, size_t size, const std::string& tag) {
    for (size_t i = 0; i + tag.size() <= size; ++i)
        if (std::memcmp(data + i, tag.data(), tag.size()) == 0) return true;
    return false;
}

bool CarriesSlot(const uint8_t* data, size_t size, int slot) {
    return Contains(data, size, std::string("<kvtm:") + SettingForSlot(slot).element + ">") ||
           (slot == kSlotMicrosmoothing && Contains(data, size, "<kvtm:NoiseSmoothing>"));
}

void Check(bool promise, const char* what) {
    if (promise) return;
    std::fprintf(stderr, "reader broke its promise: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(FuzzFile(), "wb");
    if (file == nullptr) std::abort();
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) std::abort();

    int32_t settings[kSettingCount];
    for (int32_t& s : settings) s = kUntouched;
    const int result = ReadXmpSettings(FuzzFile(), settings);

    Check(result > 0 || result == kXmpOtherMethod || result == kXmpNoSettings, "result code");
    Check(result < 0 || int64_t(result) <= int64_t(size) - 1, "byte count beyond the scanned bytes");
    for (int slot = 0; slot < kSettingCount; ++slot) {
        if (settings[slot] == kUntouched) continue;
        Check(result != kXmpNoSettings, "slot changed without a namespace line");
        Check(CarriesSlot(data, size, slot) ||
                  (slot == kSlotGamma && result > 0 && settings[kSlotGamma] == kGammaCodeOfOne),
              "slot changed without its element");
    }
    return 0;
}

#include "TryOutFiles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "../minihost/SettingsAction.h"
#include "../settings/SettingsTable.h"
#include "../settings_files/XmpSettings.h"

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr int32_t kLargestSide = 1 << 16;
constexpr double kCodeOfOne = 32768.0;

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// The next header word of a portable map, past white space and comments.
bool HeaderWord(std::FILE* file, std::string* word) {
    word->clear();
    int c = std::fgetc(file);
    while (c != EOF && (std::isspace(c) || c == '#')) {
        if (c == '#')
            while (c != EOF && c != '\n') c = std::fgetc(file);
        c = std::fgetc(file);
    }
    while (c != EOF && !std::isspace(c)) {
        word->push_back(static_cast<char>(c));
        c = std::fgetc(file);
    }
    return !word->empty();  // the one white space after the word is consumed
}

bool HeaderNumber(std::FILE* file, double* value) {
    std::string word;
    if (!HeaderWord(file, &word)) return false;
    char* end = nullptr;
    *value = std::strtod(word.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

bool ReadSize(std::FILE* file, int32_t* width, int32_t* height) {
    double w = 0, h = 0;
    if (!HeaderNumber(file, &w) || !HeaderNumber(file, &h)) return false;
    if (w < 1 || h < 1 || w > kLargestSide || h > kLargestSide || w != std::floor(w) || h != std::floor(h))
        return false;
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

// Whether the file holds at least `bytes` more bytes; checked before the
// document is made, so that a header promising more than the file holds
// costs no memory.
bool HoldsAtLeast(std::FILE* file, uint64_t bytes) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file);
    const bool holds = end >= here && uint64_t(end - here) >= bytes;
    return std::fseek(file, here, SEEK_SET) == 0 && holds;
}

bool ReadPfm(std::FILE* file, HostDocument* document, std::string* problem) {
    int32_t width = 0, height = 0;
    double scale = 0;
    if (!ReadSize(file, &width, &height) || !HeaderNumber(file, &scale) || scale == 0) {
        *problem = "not a float map of three channels (PF) of a usable size";
        return false;
    }
    if (!HoldsAtLeast(file, uint64_t(width) * height * 3 * 4)) {
        *problem = "the file ends before its last row";
        return false;
    }
    *document = MakeDocument(width, height, 3, 32);
    const bool bigEndian = scale > 0;
    const size_t rowSamples = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> row(rowSamples * 4);
    float* samples = FloatSamples(*document);
    for (int32_t y = height - 1; y >= 0; --y) {  // bottom row first
        if (std::fread(row.data(), 1, row.size(), file) != row.size()) {
            *problem = "the file ends before its last row";
            return false;
        }
        for (size_t i = 0; i < rowSamples; ++i) {
            uint32_t bits = 0;
            for (int b = 0; b < 4; ++b) bits |= uint32_t{row[i * 4 + (bigEndian ? 3 - b : b)]} << (8 * b);
            std::memcpy(&samples[static_cast<size_t>(y) * rowSamples + i], &bits, 4);
        }
    }
    return true;
}

bool ReadPpm(std::FILE* file, HostDocument* document, std::string* problem) {
    int32_t width = 0, height = 0;
    double maximum = 0;
    if (!ReadSize(file, &width, &height) || !HeaderNumber(file, &maximum) || maximum < 256 || maximum > 65535) {
        *problem = "not a colour pixel map (P6) of 16-bit samples of a usable size";
        return false;
    }
    if (!HoldsAtLeast(file, uint64_t(width) * height * 3 * 2)) {
        *problem = "the file ends before its last row";
        return false;
    }
    *document = MakeDocument(width, height, 3, 16);
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 3 * 2);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        *problem = "the file ends before its last row";
        return false;
    }
    uint16_t* codes = Code16Samples(*document);
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        const double value = std::min(maximum, double((bytes[2 * i] << 8) | bytes[2 * i + 1]));
        codes[i] = static_cast<uint16_t>(std::lround(value * kCodeOfOne / maximum));
    }
    return true;
}

// A document's sample as a value in the file's unit: floats stay, codes become 0..1.
double SampleValue(const HostDocument& document, size_t i) {
    return document.depth == 32 ? FloatSamples(document)[i] : Code16Samples(document)[i] / kCodeOfOne;
}

bool WritePfm(std::FILE* file, const HostDocument& document) {
    bool ok = std::fprintf(file, "PF\n%d %d\n-1.0\n", document.width, document.height) > 0;
    const size_t rowSamples = static_cast<size_t>(document.width) * 3;
    std::vector<uint8_t> row(rowSamples * 4);
    for (int32_t y = document.height - 1; ok && y >= 0; --y) {
        for (size_t i = 0; i < rowSamples; ++i) {
            const float value = static_cast<float>(SampleValue(document, static_cast<size_t>(y) * rowSamples + i));
            uint32_t bits = 0;
            std::memcpy(&bits, &value, 4);
            for (int b = 0; b < 4; ++b) row[i * 4 + b] = static_cast<uint8_t>(bits >> (8 * b));
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return ok;
}

bool WritePpm(std::FILE* file, const HostDocument& document) {
    bool ok = std::fprintf(file, "P6\n%d %d\n65535\n", document.width, document.height) > 0;
    const size_t samples = static_cast<size_t>(document.width) * document.height * 3;
    std::vector<uint8_t> bytes(samples * 2);
    for (size_t i = 0; i < samples; ++i) {
        const double value = std::clamp(SampleValue(document, i), 0.0, 1.0);
        const long code = std::lround(value * 65535.0);
        bytes[2 * i] = static_cast<uint8_t>(code >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(code & 0xFF);
    }
    return ok && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

bool ReadImageFile(const std::string& path, HostDocument* document, std::string* problem) {
    File file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        *problem = "cannot open " + path;
        return false;
    }
    std::string magic;
    HeaderWord(file.get(), &magic);
    bool ok = false;
    if (magic == "PF") {
        ok = ReadPfm(file.get(), document, problem);
    } else if (magic == "P6") {
        ok = ReadPpm(file.get(), document, problem);
    } else {
        *problem = "neither a float map (PF) nor a 16-bit colour pixel map (P6)";
    }
    if (!ok) *problem = path + ": " + *problem;
    return ok;
}

bool WriteImageFile(const std::string& path, const HostDocument& document, std::string* problem) {
    const std::string extension = Extension(path);
    if (extension != "pfm" && extension != "ppm") {
        *problem = path + ": write a .pfm or a .ppm file";
        return false;
    }
    if (document.planes != 3 || (document.depth != 32 && document.depth != 16)) {
        *problem = path + ": only 16-bit and 32-bit RGB documents are written";
        return false;
    }
    File file(std::fopen(path.c_str(), "wb"), std::fclose);
    bool ok = file && (extension == "pfm" ? WritePfm(file.get(), document) : WritePpm(file.get(), document));
    ok = file && std::fflush(file.get()) == 0 && ok;
    if (!ok) *problem = "cannot write " + path;
    return ok;
}

bool ReadSettingsAction(const std::string& path, DescriptorList* action, std::string* problem) {
    int32_t slots[kSettingCount] = {};
    const int result = ReadXmpSettings(path.c_str(), slots);
    if (result <= 0) {
        *problem = path + (result == kXmpNoSettings ? " does not contain Tone Mapping settings"
                                                    : ": error found when loading the settings file");
        return false;
    }
    TMSettings settings{};
    ArrayToSettings(slots, &settings);
    *action = SettingsAsAction(settings);
    return true;
}

// Reads settings files with a line scanner that looks for fixed byte strings;
// it is not an XML parser. Phase 1 looks for the line that declares the
// settings namespace, phase 2 reads elements from the lines after it up to
// the one that closes an rdf element.
#include <cstdio>
#include <string>

#include "../settings/SettingsTable.h"
#include "XmpFormat.h"
#include "XmpLineScanner.h"
#include "XmpSettings.h"
#include "XmpWindowValues.h"

namespace {

struct FileCloser {
    std::FILE* file;
    ~FileCloser() { std::fclose(file); }
};

struct ReadState {
    std::string tags[kSettingCount];  // "<kvtm:" + element + ">"
    bool found[kSettingCount] = {};
    int32_t major = 0;
    int32_t minor = 0;
    int32_t family = 0;
};

void ReadVersions(const XmpWindow& window, ReadState* state) {
    static const char kTag[] = "<kvtm:Version>";
    for (int at = FindInWindow(window, kTag, 0); at >= 0; at = FindInWindow(window, kTag, at + 1))
        if (ReadVersionAt(window, at + int(sizeof kTag) - 1, &state->major, &state->minor) == 2) return;
}

// False when a method outside family 1 stands on the line.
bool CheckMethods(const XmpWindow& window, ReadState* state) {
    static const char kTag[] = "<kvtm:Method>";
    for (int at = FindInWindow(window, kTag, 0); at >= 0; at = FindInWindow(window, kTag, at + 1)) {
        const XmpWord* method = MatchWordAt(window, at + int(sizeof kTag) - 1, kMethodFamilies, 4);
        if (method != nullptr) state->family = method->value;
        if (state->family != 1) return false;
    }
    return true;
}

// Offset of the first of the slot's tags on the line and the tag's length.
int FindSlotTag(const XmpWindow& window, const ReadState& state, int slot, int* tagLength) {
    int at = FindInWindow(window, state.tags[slot].c_str(), 0);
    *tagLength = int(state.tags[slot].size());
    if (slot == kSlotMicrosmoothing) {
        static const char kAlias[] = "<kvtm:NoiseSmoothing>";
        const int aliasAt = FindInWindow(window, kAlias, 0);
        if (aliasAt >= 0 && (at < 0 || aliasAt < at)) {
            at = aliasAt;
            *tagLength = int(sizeof kAlias) - 1;
        }
    }
    return at;
}

void StoreWord(const XmpWindow& window, int offset, const XmpWord* words, int wordCount, int32_t* slot) {
    const XmpWord* word = MatchWordAt(window, offset, words, wordCount);
    if (word != nullptr) *slot = word->value;
}

// Reads one slot's value from `offset`; returns whether the slot counts as found.
bool ReadSlotValue(const XmpWindow& window, int offset, int slot, const ReadState& state, int32_t settings[]) {
    float f;
    switch (slot) {
        case kSlotWhiteClip:
        case kSlotBlackClip:
            // A value that parses does not end the search: a later line may
            // carry the element again, and the last value read stands.
            if (!ReadFloatAt(window, offset, &f)) return true;
            ClipSlotFromFile(f, &settings[slot]);
            return false;
        case kSlotGamma:
            if (ReadFloatAt(window, offset, &f)) GammaSlotFromFile(f, &settings[slot]);
            return true;
        case kSlotSmoothing:
            StoreWord(window, offset, kSmoothingWords, 5, &settings[slot]);
            return true;
        case kSlotMicrocontrast:
            // Versions up to 2.4 name the level with a word.
            if (state.major <= 2 && state.minor <= 4) {
                StoreWord(window, offset, kMicrocontrastWords, 6, &settings[slot]);
                return true;
            }
            break;
        default: break;
    }
    int32_t value;
    if (ReadIntAt(window, offset, &value)) settings[slot] = value;
    return true;
}

// Examines one line of phase 2. Returns 0, or the result code that ends the read.
int ExamineLine(const XmpWindow& window, ReadState* state, int32_t settings[], bool* closesRdf) {
    *closesRdf = FindInWindow(window, "</rdf:", 0) >= 0;
    ReadVersions(window, state);
    if (!CheckMethods(window, state)) return kXmpOtherMethod;
    for (int slot = 0; slot < kSettingCount; ++slot) {
        if (state->found[slot]) continue;
        int tagLength;
        const int at = FindSlotTag(window, *state, slot, &tagLength);
        if (at >= 0) state->found[slot] = ReadSlotValue(window, at + tagLength, slot, *state, settings);
    }
    return 0;
}

}  // namespace

int ReadXmpSettings(const char* path, int32_t settings[kSettingCount]) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return kXmpCannotOpen;
    FileCloser closer{file};
    if (std::fseek(file, 0, SEEK_END) != 0) return kXmpCannotOpen;
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return kXmpCannotOpen;

    // The file's last byte is never read.
    XmpLineScanner scanner{file, int64_t(size) - 1, 0};
    XmpWindow window;
    for (;;) {
        const XmpLineStatus status = NextXmpLine(&scanner, &window);
        if (status == XmpLineStatus::ShortRead) return kXmpShortRead;
        if (status == XmpLineStatus::End) return kXmpNoSettings;
        if (FindInWindow(window, "xmlns:kvtm=", 0) >= 0) break;
    }

    ReadState state;
    for (int slot = 0; slot < kSettingCount; ++slot)
        state.tags[slot] = std::string("<kvtm:") + SettingForSlot(slot).element + ">";
    for (bool closesRdf = false; !closesRdf;) {
        const XmpLineStatus status = NextXmpLine(&scanner, &window);
        if (status == XmpLineStatus::ShortRead) return kXmpShortRead;
        if (status == XmpLineStatus::End) break;
        const int result = ExamineLine(window, &state, settings, &closesRdf);
        if (result != 0) return result;
    }
    if (!state.found[kSlotGamma]) settings[kSlotGamma] = kGammaWhenAbsent;
    // A scan longer than the result can count is still a successful read.
    return scanner.count > INT32_MAX ? INT32_MAX : int(scanner.count);
}

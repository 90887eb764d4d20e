#include "XmpWindowValues.h"

#include <cstdio>
#include <cstring>

namespace {

// The window's bytes from an offset on, terminated, so that the C library's
// scanning stops at the window's end.
struct WindowText {
    char text[kXmpWindowSize + 1];
};

WindowText TextFrom(const XmpWindow& window, int offset) {
    WindowText t;
    const int n = window.length - offset;
    std::memcpy(t.text, window.bytes + offset, static_cast<size_t>(n));
    t.text[n] = '\0';
    return t;
}

bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// "%d": white space skipped, an optional sign, at least one digit. Values
// beyond int32 saturate instead of being undefined as in sscanf.
bool ScanDecimal(const char* text, int32_t* value, const char** end) {
    const char* p = text;
    while (IsScanSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (magnitude <= INT32_MAX) magnitude = magnitude * 10 + (*p - '0');
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN) signedValue = INT32_MIN;
    if (signedValue > INT32_MAX) signedValue = INT32_MAX;
    *value = static_cast<int32_t>(signedValue);
    *end = p;
    return true;
}

bool ScanInt(const char* text, int32_t* value) {
    const char* end;
    return ScanDecimal(text, value, &end);
}

bool ScanFloat(const char* text, float* value) { return std::sscanf(text, "%f", value) == 1; }

}  // namespace

int FindInWindow(const XmpWindow& window, const char* tag, int from) {
    const int tagLength = static_cast<int>(std::strlen(tag));
    for (int i = from; i + tagLength < window.length; ++i)
        if (std::memcmp(window.bytes + i, tag, static_cast<size_t>(tagLength)) == 0) return i;
    return -1;
}

// A tag found by FindInWindow leaves at least one byte after it, so the
// second attempt starts at most at the terminator.
bool ReadIntAt(const XmpWindow& window, int offset, int32_t* value) {
    const WindowText t = TextFrom(window, offset);
    return ScanInt(t.text, value) || ScanInt(t.text + 1, value);
}

bool ReadFloatAt(const XmpWindow& window, int offset, float* value) {
    const WindowText t = TextFrom(window, offset);
    return ScanFloat(t.text, value) || ScanFloat(t.text + 1, value);
}

int ReadVersionAt(const XmpWindow& window, int offset, int32_t* major, int32_t* minor) {
    const WindowText t = TextFrom(window, offset);
    const char* p;
    if (!ScanDecimal(t.text, major, &p)) return 0;
    if (*p != '.' || !ScanDecimal(p + 1, minor, &p)) return 1;
    return 2;
}

const XmpWord* MatchWordAt(const XmpWindow& window, int offset, const XmpWord* words, int wordCount) {
    for (int w = 0; w < wordCount; ++w) {
        const int n = static_cast<int>(std::strlen(words[w].text));
        if (n > window.length - offset) continue;
        if (std::memcmp(window.bytes + offset, words[w].text, static_cast<size_t>(n)) == 0) return &words[w];
    }
    return nullptr;
}

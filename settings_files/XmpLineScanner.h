// The reader's view of a settings file: complete lines, one at a time, each
// seen through a window of the line, its LF and the byte after it.
#pragma once

#include <cstdint>
#include <cstdio>

// A line of 254 bytes before its LF fills the window exactly.
constexpr int kXmpWindowSize = 256;

struct XmpWindow {
    unsigned char bytes[kXmpWindowSize];
    int length;
};

struct XmpLineScanner {
    std::FILE* file;
    int64_t limit;  // bytes the scan may read: all but the file's last byte
    int64_t count;  // bytes read so far, one at a time
};

enum class XmpLineStatus {
    Line,       // the window holds the next line
    End,        // the scan is over: no further line may be examined
    ShortRead,  // the file gave fewer bytes than its size promised
};

// Reads the next line. The scan ends at a line that is not complete within the
// limit, at a line too long for the window, and at a line whose following byte
// would be the file's last one.
XmpLineStatus NextXmpLine(XmpLineScanner* scanner, XmpWindow* window);

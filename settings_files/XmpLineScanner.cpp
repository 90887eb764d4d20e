#include "XmpLineScanner.h"

XmpLineStatus NextXmpLine(XmpLineScanner* scanner, XmpWindow* window) {
    constexpr int kLongestLine = kXmpWindowSize - 2;
    int lineLength = 0;  // stops counting once the line cannot fit
    bool complete = false;
    while (scanner->count < scanner->limit) {
        const int c = std::fgetc(scanner->file);
        if (c == EOF) return XmpLineStatus::ShortRead;
        ++scanner->count;
        if (c == '\n') {
            complete = true;
            break;
        }
        if (lineLength <= kLongestLine) {
            if (lineLength < kLongestLine) window->bytes[lineLength] = static_cast<unsigned char>(c);
            ++lineLength;
        }
    }
    if (!complete || lineLength > kLongestLine || scanner->count >= scanner->limit) return XmpLineStatus::End;

    // The byte after the LF is only looked at; it belongs to the next line.
    const int next = std::fgetc(scanner->file);
    if (next == EOF || std::ungetc(next, scanner->file) == EOF) return XmpLineStatus::ShortRead;
    window->bytes[lineLength] = '\n';
    window->bytes[lineLength + 1] = static_cast<unsigned char>(next);
    window->length = lineLength + 2;
    return XmpLineStatus::Line;
}

#include <cstdio>

#include "MessageBox.h"

// Without a window system the message goes to standard error.
void ShowPlatformMessageBox(void*, const char* caption, const char* text) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
}

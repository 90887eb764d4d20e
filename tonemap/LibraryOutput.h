// What the image libraries print on standard error by themselves ("libpng
// error: ...") is caught while they work, so that it can follow tonemap's own
// message instead of coming before it. A scoped guard: standard error is
// back in place when it ends, on every path.
#pragma once

#include <string>
#include <vector>

struct CaughtLibraryOutput {
    int saved = -1;   // standard error itself, meanwhile
    int caught = -1;  // what standard error writes into, meanwhile

    CaughtLibraryOutput();
    ~CaughtLibraryOutput();
    CaughtLibraryOutput(const CaughtLibraryOutput&) = delete;
    CaughtLibraryOutput& operator=(const CaughtLibraryOutput&) = delete;

    // Puts standard error back and returns the non-empty lines caught.
    std::vector<std::string> Finish();
};

// Our own message's detail: the library's explanation and the lines it
// printed, each once, as indented lines to follow the message.
std::string LibraryDetail(const std::string& libraryError, const std::vector<std::string>& printed);

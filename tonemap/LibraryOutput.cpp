#include "LibraryOutput.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

namespace {

constexpr size_t kMostDetailLines = 4;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// Whether `line` says what `other` says: "libpng error: IDAT: x" says what
// "PNG read error: IDAT: x" says, once the libraries' own prefixes are gone.
bool Covers(const std::string& line, const std::string& other) {
    if (line.find(other) != std::string::npos) return true;
    const size_t colon = other.find(": ");
    return colon != std::string::npos && line.find(other.substr(colon + 2)) != std::string::npos;
}

}  // namespace

CaughtLibraryOutput::CaughtLibraryOutput() {
    std::fflush(stderr);
    caught = memfd_create("tonemap-library-output", MFD_CLOEXEC);
    if (caught < 0) return;
    saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved < 0 || dup2(caught, STDERR_FILENO) < 0) {
        if (saved >= 0) close(saved);
        close(caught);
        saved = caught = -1;
    }
}

CaughtLibraryOutput::~CaughtLibraryOutput() { Finish(); }

std::vector<std::string> CaughtLibraryOutput::Finish() {
    if (caught < 0) return {};
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    lseek(caught, 0, SEEK_SET);
    while ((n = read(caught, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(caught);
    saved = caught = -1;
    return Lines(text);
}

std::string LibraryDetail(const std::string& libraryError, const std::vector<std::string>& printed) {
    std::vector<std::string> lines;
    for (const std::string& line : Lines(libraryError)) {
        lines.push_back(line);
        break;  // the first line says what went wrong; later ones repeat it for later rows
    }
    for (const std::string& line : printed) lines.push_back(line);
    std::vector<std::string> kept;
    for (size_t i = 0; i < lines.size() && kept.size() < kMostDetailLines; ++i) {
        bool repeated = false;
        for (size_t j = 0; j < lines.size() && !repeated; ++j)
            repeated = j != i && Covers(lines[j], lines[i]) && (!Covers(lines[i], lines[j]) || j < i);
        if (!repeated) kept.push_back(lines[i]);
    }
    std::string detail;
    for (const std::string& line : kept) detail += "\n  (" + line + ")";
    return detail;
}

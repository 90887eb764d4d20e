#include "FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "../minihost/PendingFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr size_t kAlphabetSize = sizeof kAlphabet - 1;
constexpr char kPrefix[] = ".tonemap-";
constexpr size_t kPrefixLength = sizeof kPrefix - 1;
constexpr size_t kRandomLength = 7;
constexpr size_t kShortestName = 5;

std::string RandomCharacters(size_t count, std::mt19937_64* generator) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += kAlphabet[(*generator)() % kAlphabetSize];
    return text;
}

uint64_t FreshRandomBits() {
    static std::mt19937_64 generator{std::random_device{}()};
    return generator();
}

std::string FolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// Makes the rename itself durable; some file systems cannot sync a folder,
// which costs nothing but durability, so its result is not used.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

int ReplaceableProblem(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISREG(status.st_mode)) return 0;
    return S_ISDIR(status.st_mode) ? EISDIR : kNotARegularFile;
}

std::string TemporaryNameFor(const std::string& target, uint64_t randomBits) {
    const fs::path path(target);
    const size_t length = std::max(path.filename().string().size(), kShortestName);
    std::mt19937_64 generator(randomBits);
    std::string name;
    if (length >= kPrefixLength + kRandomLength)
        name = kPrefix + RandomCharacters(kRandomLength, &generator);
    else
        name = "." + RandomCharacters(length - 1, &generator);
    return (path.parent_path() / name).string();
}

bool BeginReplacement(const std::string& target, PendingFile* file) {
    *file = PendingFile{};
    file->target = target;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = TemporaryNameFor(target, FreshRandomBits());
        if (!RegisterPendingFile(temporary.c_str())) {
            errno = ENAMETOOLONG;
            return false;
        }
        const int fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file->temporary = temporary;
            file->fd = fd;
            return true;
        }
        const int error = errno;
        ForgetPendingFile(temporary.c_str());
        errno = error;
        if (error != EEXIST) return false;
    }
    return false;
}

void WritePendingAt(PendingFile* file, const void* bytes, size_t size, int64_t offset) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    while (file->failure == 0 && size > 0) {
        const ssize_t n = pwrite(file->fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            file->failure = n < 0 ? errno : EIO;
            return;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
}

bool CommitReplacement(PendingFile* file) {
    if (file->failure == 0 && fsync(file->fd) != 0) file->failure = errno;
    if (close(file->fd) != 0 && file->failure == 0) file->failure = errno;
    file->fd = -1;
    if (file->failure == 0) file->failure = ReplaceableProblem(file->target);
    if (file->failure == 0 && rename(file->temporary.c_str(), file->target.c_str()) != 0) file->failure = errno;
    if (file->failure != 0) {
        AbandonReplacement(file);
        return false;
    }
    ForgetPendingFile(file->temporary.c_str());
    file->temporary.clear();
    SyncFolder(FolderOf(file->target));
    return true;
}

void AbandonReplacement(PendingFile* file) {
    if (file->fd >= 0) close(file->fd);
    file->fd = -1;
    if (file->temporary.empty()) return;
    unlink(file->temporary.c_str());
    ForgetPendingFile(file->temporary.c_str());
    file->temporary.clear();
}

bool ReplaceWithText(const std::string& target, const std::string& text, int* failure) {
    PendingFile file;
    if (!BeginReplacement(target, &file)) {
        *failure = errno;
        return false;
    }
    WritePendingAt(&file, text.data(), text.size(), 0);
    if (CommitReplacement(&file)) return true;
    *failure = file.failure;
    return false;
}

std::string FileFailureText(int failure) {
    switch (failure) {
        case kNotARegularFile: return "it exists and is not a regular file, which tonemap never replaces";
        case EISDIR: return "it is a folder";
        case ENOSPC: return "the disk is full";
        case EDQUOT: return "the disk quota is used up";
        case EFBIG: return "the file would exceed the largest file size allowed";
        case EROFS: return "the file system is read-only";
        case EACCES:
        case EPERM: return "permission denied";
        case ENAMETOOLONG: return "the name is too long";
        case EIO: return "input/output error";
        default: {
            std::string text = std::strerror(failure);
            if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
            return text;
        }
    }
}

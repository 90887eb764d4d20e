// The image library writes through this proxy into a file being replaced
// (FileReplacement.h). A failing write is noted, not passed on: some of the
// library's writers end the whole process when their output fails, so they
// are allowed to finish into nothing, and the writer asks the sink afterwards.
#pragma once

#include <OpenImageIO/filesystem.h>

#include <mutex>

#include "FileReplacement.h"

class ImageSink final : public OIIO::Filesystem::IOProxy {
public:
    // `name` is what the library's messages call the file: the output's own name.
    ImageSink(const std::string& name, PendingFile* file);
    const char* proxytype() const override { return "tonemap"; }
    void close() override { m_mode = Closed; }
    bool seek(int64_t offset) override;
    size_t read(void* buffer, size_t size) override;
    size_t write(const void* buffer, size_t size) override;
    size_t pread(void* buffer, size_t size, int64_t offset) override;
    size_t pwrite(const void* buffer, size_t size, int64_t offset) override;
    size_t size() const override;

    // The errno of the first write that failed, or 0.
    int failure() const;

private:
    PendingFile* file_;
    int64_t end_ = 0;  // one past the last byte written
    mutable std::mutex mutex_;
};

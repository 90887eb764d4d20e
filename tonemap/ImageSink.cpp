#include "ImageSink.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

ImageSink::ImageSink(const std::string& name, PendingFile* file) : IOProxy(name, Write), file_(file) {}

bool ImageSink::seek(int64_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    m_pos = offset;
    return offset >= 0;
}

size_t ImageSink::read(void* buffer, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ssize_t n = ::pread(file_->fd, buffer, size, m_pos);
    if (n <= 0) return 0;
    m_pos += n;
    return static_cast<size_t>(n);
}

size_t ImageSink::write(const void* buffer, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    WritePendingAt(file_, buffer, size, m_pos);
    m_pos += static_cast<int64_t>(size);
    end_ = std::max(end_, m_pos);
    return size;
}

size_t ImageSink::pread(void* buffer, size_t size, int64_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ssize_t n = ::pread(file_->fd, buffer, size, offset);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

size_t ImageSink::pwrite(const void* buffer, size_t size, int64_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    WritePendingAt(file_, buffer, size, offset);
    end_ = std::max(end_, offset + static_cast<int64_t>(size));
    return size;
}

size_t ImageSink::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(end_);
}

int ImageSink::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_->failure;
}

#include "engine/dbf/BufferedFile.h"

#include <cerrno>
#include <cstring>

namespace venqor::dbf {

BufferedFile* BufferedFile::Open(const std::string& path, const char* access)
{
    std::FILE* file = std::fopen(path.c_str(), access);
    return file ? new BufferedFile(file) : nullptr;
}

BufferedFile::BufferedFile(std::FILE* file)
    : file_(file)
{
}

bool BufferedFile::seekFile(std::uint64_t position, bool writing)
{
    // Between a read and a write stdio needs a seek, even to where it stands.
    if (filePosition_ == static_cast<std::int64_t>(position) && writing == writing_)
        return true;
    if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) {
        filePosition_ = -1;
        return false;
    }
    filePosition_ = static_cast<std::int64_t>(position);
    writing_ = writing;
    return true;
}

bool BufferedFile::flushBuffer()
{
    if (!buffer_.empty()) {
        if (seekFile(base_, true)
            && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size()) {
            filePosition_ += static_cast<std::int64_t>(buffer_.size());
        } else {
            if (!failed_)
                error_ = errno;
            failed_ = true;
        }
        buffer_.clear();
    }
    base_ = cursor_;
    return !failed_;
}

std::size_t BufferedFile::read(void* data, std::size_t size, std::size_t count)
{
    if (!flushBuffer() || !seekFile(cursor_, false))
        return 0;
    const std::size_t items = std::fread(data, size, count, file_);
    if (items == count) {
        filePosition_ += static_cast<std::int64_t>(size * count);
    } else {
        filePosition_ = ftello(file_);
    }
    cursor_ = filePosition_ < 0 ? cursor_ + size * items : static_cast<std::uint64_t>(filePosition_);
    base_ = cursor_;
    return items;
}

std::size_t BufferedFile::write(const void* data, std::size_t size, std::size_t count)
{
    const std::size_t bytes = size * count;
    if (cursor_ - base_ + bytes > Capacity && !flushBuffer())
        return 0;
    if (bytes > Capacity) {
        if (!seekFile(cursor_, true) || std::fwrite(data, 1, bytes, file_) != bytes) {
            filePosition_ = -1;
            if (!failed_)
                error_ = errno;
            failed_ = true;
            return 0;
        }
        filePosition_ += static_cast<std::int64_t>(bytes);
        cursor_ += bytes;
        base_ = cursor_;
        return count;
    }
    const auto at = static_cast<std::size_t>(cursor_ - base_);
    if (buffer_.size() < at + bytes)
        buffer_.resize(at + bytes);
    std::memcpy(buffer_.data() + at, data, bytes);
    cursor_ += bytes;
    return count;
}

int BufferedFile::seek(std::uint64_t offset, int whence)
{
    std::uint64_t target = offset;
    if (whence == SEEK_CUR) {
        target = cursor_ + offset;
    } else if (whence == SEEK_END) {
        if (!flushBuffer() || fseeko(file_, 0, SEEK_END) != 0)
            return -1;
        filePosition_ = ftello(file_);
        if (filePosition_ < 0)
            return -1;
        target = static_cast<std::uint64_t>(filePosition_) + offset;
    }
    if (target >= base_ && target <= base_ + buffer_.size()) {
        cursor_ = target;
        return 0;
    }
    if (!flushBuffer())
        return -1;
    cursor_ = base_ = target;
    return 0;
}

int BufferedFile::flush()
{
    return flushBuffer() && std::fflush(file_) == 0 ? 0 : EOF;
}

int BufferedFile::close()
{
    const bool written = flushBuffer();
    const bool closed = std::fclose(file_) == 0;
    const int error = written ? errno : error_;
    delete this;
    errno = error;
    return written && closed ? 0 : EOF;
}

} // namespace venqor::dbf

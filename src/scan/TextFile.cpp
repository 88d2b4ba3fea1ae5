#include "scan/TextFile.h"

#include "base/Errors.h"
#include "base/ReplacingFile.h"
#include "base/Stop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace venqor {

namespace {

std::string systemError(const std::string& what, const std::string& name)
{
    return what + " \"" + name + "\": " + std::strerror(errno);
}

// Opening a pipe waits for its writer, reading it for the bytes: both end with Interrupted
// when a stop is requested (base/Stop.h).
int openForReading(const std::string& path)
{
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
        ThrowIfStopRequested();
    }
}

class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path)
        : path_(path)
        , fd_(openForReading(path))
    {
        if (fd_ < 0)
            throw IoError(systemError("cannot open", path));
        struct stat st { };
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            throw IoError("cannot read \"" + path + "\": it is a directory");
        }
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~FileSource() override { ::close(fd_); }

    std::size_t read(char* buffer, std::size_t size) override
    {
        for (;;) {
            // A stop noted just before a read would not interrupt it: the wait for bytes
            // (at once for a file on disk) looks at the request now and then.
            pollfd readable { fd_, POLLIN, 0 };
            for (;;) {
                const int ready = ::poll(&readable, 1, StopLookEveryMs);
                ThrowIfStopRequested();
                if (ready > 0 || (ready < 0 && errno != EINTR))
                    break; // bytes, the end, or a failure that read() reports
            }
            const ssize_t n = ::read(fd_, buffer, size);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                throw IoError(systemError("cannot read", path_));
        }
    }

private:
    std::string path_;
    int fd_;
};

class StringSource final : public ByteSource {
public:
    explicit StringSource(std::string bytes)
        : bytes_(std::move(bytes))
    {
    }
    std::size_t read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::min(size, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// A file written through ReplacingFile, whose failures name the file already.
class FileSink final : public ByteSink {
public:
    explicit FileSink(const std::filesystem::path& path)
        : file_(path)
    {
    }
    void write(const char* data, std::size_t size) override { file_.write(data, size); }
    void close() override { file_.commit(); }

private:
    ReplacingFile file_;
};

constexpr std::size_t OutBufferSize = 1 << 16;

} // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path)
{
    return std::make_unique<FileSource>(path);
}

std::unique_ptr<ByteSource> MemorySource(std::string bytes)
{
    return std::make_unique<StringSource>(std::move(bytes));
}

std::uint64_t FileSize(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        throw IoError(systemError("cannot open", path));
    if (S_ISDIR(st.st_mode))
        throw IoError("cannot read \"" + path + "\": it is a directory");
    return static_cast<std::uint64_t>(st.st_size);
}

InTextFile::InTextFile(const std::string& path)
    : InTextFile(OpenFileSource(path), path)
{
}

InTextFile::InTextFile(std::unique_ptr<ByteSource> source, std::string name)
    : source_(std::move(source))
    , name_(std::move(name))
    , buffer_(std::make_unique_for_overwrite<char[]>(BlockSize))
{
}

bool InTextFile::fill()
{
    if (pos_ < end_)
        return true;
    if (exhausted_)
        return false;
    pos_ = 0;
    end_ = source_->read(buffer_.get(), BlockSize);
    exhausted_ = end_ == 0;
    return !exhausted_;
}

void InTextFile::SkipLineEnd()
{
    while (!Eof()) {
        if (ReadByte() == '\r') {
            if (!Eof() && buffer_[pos_] == '\n')
                ++pos_;
            return;
        }
    }
}

OutTextFile::OutTextFile(const std::filesystem::path& path)
    : sink_(std::make_unique<FileSink>(path))
    , name_(path.string())
{
    buffer_.reserve(OutBufferSize);
}

OutTextFile::OutTextFile(std::unique_ptr<ByteSink> sink, std::string name)
    : sink_(std::move(sink))
    , name_(std::move(name))
{
    buffer_.reserve(OutBufferSize);
}

OutTextFile::~OutTextFile() = default;

void OutTextFile::Write(std::string_view bytes)
{
    if (bytes.size() > buffer_.capacity() - buffer_.size()) {
        flush();
        if (bytes.size() >= buffer_.capacity()) {
            writeSink(bytes.data(), bytes.size());
            return;
        }
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void OutTextFile::flush()
{
    if (buffer_.empty())
        return;
    writeSink(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void OutTextFile::writeSink(const char* data, std::size_t size)
{
    try {
        sink_->write(data, size);
    } catch (const IoError& e) {
        throw IoError(withName(e.what()));
    }
}

void OutTextFile::Commit()
{
    flush();
    try {
        sink_->close();
    } catch (const IoError& e) {
        throw IoError(withName(e.what()));
    }
}

// A message of the sink with the file's name, unless it names it already.
std::string OutTextFile::withName(const std::string& message) const
{
    if (message.find("\"" + name_ + "\"") != std::string::npos)
        return message;
    return "cannot write \"" + name_ + "\": " + message;
}

} // namespace venqor

#include "scan/TextFile.h"

#include "base/Errors.h"
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

constexpr int StopLookEveryMs = 200;

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

// Failures of write() and close() carry only their cause; OutTextFile names the file.
class FileSink final : public ByteSink {
public:
    // `name` is the file the user knows, which a temporary `path` stands for.
    FileSink(const std::string& path, int flags, const std::string& name)
        : fd_(::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0666))
    {
        if (fd_ < 0)
            throw IoError(systemError("cannot create", name));
    }
    ~FileSink() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    void write(const char* data, std::size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw IoError(std::strerror(errno));
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    void close() override
    {
        if (fd_ < 0)
            return;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw IoError(std::strerror(errno));
    }

private:
    int fd_;
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

namespace {

// What an output replaced when complete stands for: through a link to an existing file,
// that file (the link stays); nothing when the name is no regular file (a device or a
// pipe), which is then written directly.
std::optional<std::filesystem::path> replaceableTarget(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status))
        return std::filesystem::path(path);
    if (!std::filesystem::is_regular_file(status))
        return std::nullopt;
    const std::filesystem::path target = std::filesystem::canonical(path, ec);
    return ec ? std::filesystem::path(path) : target;
}

} // namespace

OutTextFile::OutTextFile(const std::string& path, Mode mode)
    : name_(path)
{
    const auto target = mode == Mode::ReplaceWhenComplete ? replaceableTarget(path) : std::nullopt;
    if (target) {
        target_ = target->string();
        std::string pattern
            = (target->parent_path() / (target->filename().string() + ".venqor-tmp-XXXXXX")).string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw IoError(systemError("cannot create", path));
        ::close(fd);
        tempName_ = pattern;
        sink_ = std::make_unique<FileSink>(tempName_, O_TRUNC, path);
    } else {
        sink_ = std::make_unique<FileSink>(path, O_CREAT | O_TRUNC, path);
    }
    buffer_.reserve(OutBufferSize);
}

OutTextFile::OutTextFile(std::unique_ptr<ByteSink> sink, std::string name)
    : sink_(std::move(sink))
    , name_(std::move(name))
{
    buffer_.reserve(OutBufferSize);
}

OutTextFile::~OutTextFile()
{
    if (committed_)
        return;
    try {
        if (tempName_.empty()) {
            flush();
            closeSink();
        }
    } catch (const IoError&) {
        // An output abandoned after a failure: the failure has been reported already.
    }
    if (!tempName_.empty()) {
        sink_.reset();
        std::remove(tempName_.c_str());
    }
}

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
        throw IoError("cannot write \"" + name_ + "\": " + e.what());
    }
}

void OutTextFile::closeSink()
{
    try {
        sink_->close();
    } catch (const IoError& e) {
        throw IoError("cannot write \"" + name_ + "\": " + e.what());
    }
}

void OutTextFile::Commit()
{
    flush();
    closeSink();
    if (!tempName_.empty()) {
        // Keep the permissions an earlier file of that name had, else the usual ones.
        struct stat st { };
        if (::stat(target_.c_str(), &st) == 0)
            ::chmod(tempName_.c_str(), st.st_mode & 07777);
        else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::chmod(tempName_.c_str(), 0666 & ~mask);
        }
        if (std::rename(tempName_.c_str(), target_.c_str()) != 0)
            throw IoError(systemError("cannot replace", name_));
    }
    committed_ = true;
}

} // namespace venqor

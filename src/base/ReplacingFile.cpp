#include "base/ReplacingFile.h"

#include "base/Errors.h"
#include "base/Stop.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace venqor {

namespace fs = std::filesystem;

namespace {

int openFile(const char* path, int flags)
{
    return ::open(path, flags, 0666);
}

FileCalls systemCalls { ::mkstemp, openFile, ::write, ::fsync, ::close, ::fchmod, ::rename, ::unlink };

// The temporary files not yet put in place, for a signal handler to remove: fixed slots,
// since a handler may not allocate or lock.
struct TemporarySlot {
    std::atomic<bool> used { false };
    char path[4096] = {};
};
std::array<TemporarySlot, 32> temporaries;

int keepTemporary(const std::string& path)
{
    if (path.size() >= sizeof temporaries[0].path)
        return -1;
    for (std::size_t i = 0; i < temporaries.size(); ++i) {
        bool expected = false;
        TemporarySlot& slot = temporaries[i];
        if (slot.used.load() || !slot.used.compare_exchange_strong(expected, true))
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        return static_cast<int>(i);
    }
    return -1; // not removed by a signal handler; the destructor still does it
}

void forgetTemporary(int slot)
{
    if (slot >= 0)
        temporaries[static_cast<std::size_t>(slot)].used.store(false);
}

std::string cause()
{
    return std::strerror(errno);
}

[[noreturn]] void fail(std::string_view what, const fs::path& target, const std::string& why)
{
    throw IoError(std::string(what) + " \"" + target.string() + "\": " + why);
}

// The file a name stands for once its symbolic links are followed (a link to a missing file
// names the file it would create).
fs::path followLinks(const fs::path& name)
{
    fs::path file = name;
    std::error_code ec;
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(file, ec)); ++depth) {
        const fs::path link = fs::read_symlink(file, ec);
        if (ec)
            break;
        file = link.is_absolute() ? link : file.parent_path() / link;
    }
    return file;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes a rename or a new name in `directory` durable. File systems that cannot sync a
// directory (EINVAL) keep it durable by other means.
void syncDirectory(const fs::path& directory, const fs::path& target)
{
    FileCalls& calls = CurrentFileCalls();
    const int fd
        = calls.open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot make durable", target, cause());
    if (calls.sync(fd) != 0 && errno != EINVAL) {
        const std::string why = cause();
        calls.close(fd);
        fail("cannot make durable", target, why);
    }
    calls.close(fd);
}

} // namespace

FileCalls& CurrentFileCalls()
{
    return systemCalls;
}

ReplacingFile::ReplacingFile(const fs::path& target)
    : target_(target)
    , replaced_(followLinks(target))
{
    FileCalls& calls = CurrentFileCalls();
    std::error_code ec;
    const fs::file_status status = fs::status(replaced_, ec);
    if (fs::is_directory(status))
        fail("cannot create", target_, "it is a directory");
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // A device or a pipe: written as it is, never replaced. It is opened without
        // blocking, so that a pipe nobody reads yet (ENXIO) or a busy device is waited for
        // where a stop request is seen.
        direct_ = true;
        written_ = replaced_;
        for (;;) {
            fd_ = calls.open(written_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd_ >= 0)
                break;
            const int error = errno;
            if (error != EINTR && error != ENXIO)
                fail("cannot open", target_, cause());
            ThrowIfStopRequested();
            if (error == ENXIO)
                ::poll(nullptr, 0, StopLookEveryMs);
        }
        return;
    }
    std::string pattern
        = (replaced_.parent_path() / ("." + replaced_.filename().string() + ".venqor-XXXXXX")).string();
    fd_ = calls.makeTemporary(pattern.data());
    if (fd_ < 0)
        fail("cannot create", target_, cause());
    written_ = pattern;
    slot_ = keepTemporary(pattern);
}

ReplacingFile::~ReplacingFile()
{
    if (!committed_)
        discard();
}

void ReplacingFile::discard() noexcept
{
    FileCalls& calls = CurrentFileCalls();
    if (fd_ >= 0)
        calls.close(std::exchange(fd_, -1));
    if (!direct_ && !written_.empty()) {
        calls.remove(written_.c_str());
        forgetTemporary(std::exchange(slot_, -1));
    }
}

void ReplacingFile::write(const char* data, std::size_t size)
{
    FileCalls& calls = CurrentFileCalls();
    while (size > 0) {
        const ssize_t n = calls.write(fd_, data, size);
        if (n < 0) {
            const int error = errno;
            if (error != EINTR && error != EAGAIN)
                fail("cannot write", target_, cause());
            // A signal, or a pipe or device that takes no more for now: wait where a stop
            // request ends the job.
            ThrowIfStopRequested();
            if (error == EAGAIN) {
                pollfd ready { fd_, POLLOUT, 0 };
                ::poll(&ready, 1, StopLookEveryMs);
            }
            continue;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void ReplacingFile::commit()
{
    FileCalls& calls = CurrentFileCalls();
    try {
        if (committed_)
            fail("cannot write", target_, "it is complete already");
        if (direct_) {
            if (calls.close(std::exchange(fd_, -1)) != 0)
                fail("cannot write", target_, cause());
            committed_ = true;
            return;
        }
        struct stat earlier { };
        const mode_t mode
            = ::stat(replaced_.c_str(), &earlier) == 0 ? earlier.st_mode & 07777 : newFileMode();
        if (calls.setMode(fd_, mode) != 0 || calls.sync(fd_) != 0)
            fail("cannot write", target_, cause());
        if (calls.close(std::exchange(fd_, -1)) != 0)
            fail("cannot write", target_, cause());
        if (calls.rename(written_.c_str(), replaced_.c_str()) != 0)
            fail("cannot replace", target_, cause());
        forgetTemporary(std::exchange(slot_, -1));
        committed_ = true;
    } catch (...) {
        discard();
        throw;
    }
    syncDirectory(replaced_.parent_path(), target_);
}

void RemoveTemporaryFiles() noexcept
{
    for (TemporarySlot& slot : temporaries)
        if (slot.used.load())
            ::unlink(slot.path);
}

} // namespace venqor

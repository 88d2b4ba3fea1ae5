#pragma once

#include <cstddef>
#include <filesystem>
#include <sys/types.h>

namespace venqor {

// The platform's file calls of ReplacingFile, the one place where Venqor replaces files (and
// so the one place to port); a test puts recording or failing calls in their stead.
struct FileCalls {
    int (*makeTemporary)(char* pattern); // mkstemp: creates and opens a new file
    int (*open)(const char* path, int flags);
    ssize_t (*write)(int fd, const void* data, std::size_t size);
    int (*sync)(int fd); // fsync
    int (*close)(int fd);
    int (*setMode)(int fd, mode_t mode); // fchmod
    int (*rename)(const char* from, const char* to);
    int (*remove)(const char* path); // unlink
};

// The calls in use: the system's, unless a test has replaced some.
FileCalls& CurrentFileCalls();

// A file written as a whole that takes the place of `target` only once it is complete and
// on the disk, so that after a failure, a stop or a power cut either the earlier file or the
// whole new one is there. The bytes go to a temporary file beside the target, which commit()
// syncs, renames over the target (keeping the mode of the file it replaces) and makes
// durable by syncing the directory; without commit() the temporary file is removed and an
// earlier file of that name is left as it was. Through a symbolic link the file it names is
// replaced and the link stays. A device or a pipe (a printer port, /dev/stdout) is written
// directly. Failures are IoErrors naming the target.
//
// A library that writes a file by its name (SQLite, shapelib, a PDF printer) writes path()
// and closes it before commit().
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The file the user named, and the one that is written.
    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& path() const { return written_; }
    bool direct() const { return direct_; }

    // Appends bytes; a write interrupted by a signal, or one a pipe or a device cannot take
    // yet, goes on, unless a stop is requested (Interrupted). IoError with the cause.
    void write(const char* data, std::size_t size);
    // Puts the file in place (see above); IoError when it cannot, after which the temporary
    // file is gone and an earlier file is as it was.
    void commit();

private:
    void discard() noexcept;

    std::filesystem::path target_;   // as named
    std::filesystem::path replaced_; // the file renamed over: the target, or what its links name
    std::filesystem::path written_;
    int fd_ = -1;
    int slot_ = -1; // in the list of temporary files that a signal handler removes
    bool direct_ = false;
    bool committed_ = false;
};

// Removes the temporary file of every ReplacingFile not yet committed or destroyed. Safe in
// a signal handler, for a program about to end without running its destructors.
void RemoveTemporaryFiles() noexcept;

} // namespace venqor

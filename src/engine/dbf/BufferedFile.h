#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace venqor::dbf {

// A file behind shapelib's file hooks, with a write buffer that a seek inside it does not
// flush. shapelib seeks before every record it writes, and back over the end-of-file mark
// it wrote after the last one; through stdio alone each of those seeks costs a system call.
// Sequential reads do not seek either. Failures are returned as stdio returns them.
class BufferedFile {
public:
    // Opens a file with an fopen() access mode; nullptr (errno set) when it cannot.
    static BufferedFile* Open(const std::string& path, const char* access);

    std::size_t read(void* data, std::size_t size, std::size_t count);
    std::size_t write(const void* data, std::size_t size, std::size_t count);
    // 0 on success, as fseek.
    int seek(std::uint64_t offset, int whence);
    std::uint64_t tell() const { return cursor_; }
    // 0 on success, as fflush and fclose; close() also deletes the object, and fails (errno
    // set) when any write before it failed.
    int flush();
    int close();

private:
    explicit BufferedFile(std::FILE* file);
    bool flushBuffer();
    bool seekFile(std::uint64_t position, bool writing);

    static constexpr std::size_t Capacity = 1 << 20;

    std::FILE* file_;
    std::vector<char> buffer_; // the bytes of [base_, base_ + size) not yet written
    std::uint64_t base_ = 0;
    std::uint64_t cursor_ = 0;
    std::int64_t filePosition_ = 0; // where stdio stands, -1 when unknown
    bool writing_ = false;          // the last stdio call was a write
    bool failed_ = false;
    int error_ = 0; // errno of the first failed write
};

} // namespace venqor::dbf

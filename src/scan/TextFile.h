#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// Where the bytes of an input text file come from. read() returns 0 at the end and
// throws IoError on a failure.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// Where the bytes of an output text file go. write() and close() throw IoError with the
// cause; OutTextFile adds the file's name.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
    virtual void close() = 0;
};

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);
std::unique_ptr<ByteSource> MemorySource(std::string bytes);

// Size in bytes of an existing file; IoError naming it otherwise.
std::uint64_t FileSize(const std::string& path);

// An input text file read in large blocks, with the runtime's text-file rules:
// end of file when no byte is left or the next byte is Ctrl-Z (26); end of line when the
// next byte is CR or the file is at its end; a line end is skipped through the next CR
// and one LF right after it.
class InTextFile {
public:
    static constexpr std::size_t BlockSize = 1 << 18;
    static constexpr char CtrlZ = 26;

    explicit InTextFile(const std::string& path);
    InTextFile(std::unique_ptr<ByteSource> source, std::string name);

    const std::string& name() const { return name_; }

    bool Eof()
    {
        if (pos_ == end_ && !fill())
            return true;
        return buffer_[pos_] == CtrlZ;
    }
    bool Eoln() { return Eof() || buffer_[pos_] == '\r'; }
    // The next byte; the caller has tested Eof() first.
    char ReadByte()
    {
        if (pos_ == end_ && !fill())
            return CtrlZ;
        return buffer_[pos_++];
    }
    void SkipLineEnd();

    // The bytes read ahead but not yet taken (possibly none: call fill()), and taking them.
    std::string_view buffered() const { return { buffer_.get() + pos_, end_ - pos_ }; }
    void consume(std::size_t count) { pos_ += count; }
    // Reads the next block when every buffered byte has been taken; false at the end.
    bool fill();

private:
    std::unique_ptr<ByteSource> source_;
    std::string name_;
    std::unique_ptr<char[]> buffer_; // BlockSize bytes, not cleared: only [pos_, end_) is read
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool exhausted_ = false;
};

// An output text file, buffered. Lines end with CR LF.
//
// In ReplaceWhenComplete mode the bytes go to a temporary file beside the target, which
// Commit() renames over the target; an output that is never committed is removed and
// leaves any earlier file of that name as it was. Through a link, the file it names is
// replaced and the link stays. Only regular files are replaced so: a device or a pipe is
// written directly, like any name in Direct mode (files where a partial output is
// acceptable).
class OutTextFile {
public:
    enum class Mode { Direct, ReplaceWhenComplete };

    OutTextFile(const std::string& path, Mode mode);
    OutTextFile(std::unique_ptr<ByteSink> sink, std::string name);
    ~OutTextFile();
    OutTextFile(const OutTextFile&) = delete;
    OutTextFile& operator=(const OutTextFile&) = delete;

    const std::string& name() const { return name_; }

    void Write(char c)
    {
        if (buffer_.size() == buffer_.capacity())
            flush();
        buffer_.push_back(c);
    }
    void Write(std::string_view bytes);
    void WriteLineEnd() { Write("\r\n"); }

    // Writes out everything, closes the file and, in ReplaceWhenComplete mode, puts it in
    // place of the target. Throws IoError naming the file.
    void Commit();

private:
    void flush();
    void writeSink(const char* data, std::size_t size);
    void closeSink();

    std::unique_ptr<ByteSink> sink_;
    std::string name_;
    std::string tempName_; // set when replacing a regular file
    std::string target_;   // the file that the temporary file replaces
    std::vector<char> buffer_;
    bool committed_ = false;
};

} // namespace venqor

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
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
// cause; OutTextFile adds the file's name. close() completes the output: a sink destroyed
// without it keeps nothing.
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

// An output text file, buffered. Lines end with CR LF. A file is written through
// ReplacingFile: it takes the place of an earlier file of that name only when Commit() has
// run, and an output never committed leaves the earlier file as it was; a device or a pipe
// is written directly.
class OutTextFile {
public:
    explicit OutTextFile(const std::filesystem::path& path);
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

    // Writes out everything and puts the file in place. Throws IoError naming the file.
    void Commit();

private:
    void flush();
    void writeSink(const char* data, std::size_t size);
    std::string withName(const std::string& message) const;

    std::unique_ptr<ByteSink> sink_;
    std::string name_;
    std::vector<char> buffer_;
};

} // namespace venqor

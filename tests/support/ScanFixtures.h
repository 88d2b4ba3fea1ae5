#pragma once

#include "base/Errors.h"
#include "scan/TextFile.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace venqor::test {

// Hands out its bytes at most `chunk` at a time, so that every block boundary of an
// input text file falls somewhere in the middle of the data.
class ChunkedSource final : public ByteSource {
public:
    ChunkedSource(std::string bytes, std::size_t chunk)
        : bytes_(std::move(bytes))
        , chunk_(chunk)
    {
    }
    std::size_t read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::min({ size, chunk_, bytes_.size() - pos_ });
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

// Collects what is written into `out`; after `failAfter` bytes every write fails, and
// close fails when `failClose` is set.
class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& out, std::size_t failAfter = std::string::npos, bool failClose = false)
        : out_(out)
        , failAfter_(failAfter)
        , failClose_(failClose)
    {
    }
    void write(const char* data, std::size_t size) override
    {
        const std::size_t room = failAfter_ - std::min(failAfter_, out_.size());
        out_.append(data, std::min(size, room));
        if (size > room)
            throw IoError("No space left on device");
    }
    void close() override
    {
        if (failClose_)
            throw IoError("Input/output error");
    }

private:
    std::string& out_;
    std::size_t failAfter_;
    bool failClose_;
};

} // namespace venqor::test

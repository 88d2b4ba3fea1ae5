#pragma once

#include "register/Register.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace venqor {

class InTextFile;

// The register key of the record line in LineBuf; false when the line makes no lookup.
using RecordKey = std::function<bool(LookupKey&)>;

// Lines read ahead of their treatment, as ReadLineBuf left them in LineBuf, with the keys of
// the register lookups their records will make, so that the keys are looked up together.
class LineBlock {
public:
    struct Line {
        std::size_t start = 0;
        int length = -1;            // -1: reading the line failed
        std::ptrdiff_t key = -1;    // its key in keys(), or -1
        std::exception_ptr failure; // why reading it failed
    };

    // Reads up to `count` lines of `file` (fewer at its end) and gathers the key of each
    // line starting with `recordType` through `keyOf`, when one is given. A line whose
    // reading fails is kept with its failure; a failure of the file itself ends the block
    // (see failure()). A key that cannot be gathered is left out: the line's own lookup then
    // meets the cause.
    void Read(InTextFile& file, std::size_t count, char recordType, const RecordKey& keyOf);

    const std::vector<Line>& lines() const { return lines_; }
    std::vector<LookupKey>& keys() { return keys_; }
    // What ended reading before the block was full or the file at its end, or null.
    const std::exception_ptr& failure() const { return failure_; }

    // Puts a line read whole back into LineBuf.
    void Restore(const Line& line) const;

private:
    std::string bytes_; // the lines, each followed by its byte 0
    std::vector<Line> lines_;
    std::vector<LookupKey> keys_;
    std::exception_ptr failure_;
};

} // namespace venqor

#pragma once

#include <filesystem>

namespace venqor {

// The file `name` of `directory` as the table engines take it: the file of that very name
// when it exists, else an existing one whose name differs only in Latin case, else the name
// as given (a file yet to be made).
std::filesystem::path FileInAnyLatinCase(
    const std::filesystem::path& directory, const std::filesystem::path& name);

// Whether two names stand for one file: the same file on the disk (through links and any
// spelling), or, for a name not yet taken, names in one directory that differ at most in
// Latin case, which the table engines take for the same file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace venqor

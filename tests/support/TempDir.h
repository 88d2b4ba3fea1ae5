#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace venqor::test {

// A fresh directory under the system's temporary directory, removed with its contents
// when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

    // Writes bytes to a file in the directory and returns its full name.
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file, as bytes.
std::string readFile(const std::string& path);

} // namespace venqor::test

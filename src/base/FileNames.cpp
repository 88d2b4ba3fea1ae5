#include "base/FileNames.h"

#include "base/FieldText.h"

namespace venqor {

namespace fs = std::filesystem;

fs::path FileInAnyLatinCase(const fs::path& directory, const fs::path& name)
{
    const fs::path exact = directory / name;
    std::error_code ec;
    if (fs::exists(exact, ec))
        return exact;
    for (const auto& entry : fs::directory_iterator(directory.empty() ? "." : directory, ec))
        if (SameName(entry.path().filename().string(), name.string()))
            return directory / entry.path().filename();
    return exact;
}

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    if (fs::equivalent(a, b, ec))
        return true;
    const fs::path dirA = a.has_parent_path() ? a.parent_path() : ".";
    const fs::path dirB = b.has_parent_path() ? b.parent_path() : ".";
    return SameName(a.filename().string(), b.filename().string()) && fs::equivalent(dirA, dirB, ec);
}

} // namespace venqor

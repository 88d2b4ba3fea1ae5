#include "app/MainState.h"

#include "scan/CodePage.h"
#include "scan/Cp1251Literal.h"

#include <cstdlib>
#include <filesystem>

namespace venqor {

TMainState DefaultMainState(std::string programDir)
{
    TMainState s;
    s.format = "ЕДВ-4"_w;
    s.schema = "EDV4";
    s.tableName = "edv.dbf";
    s.copyCondition = "Только"_w;
    s.copyMatchKind = "начинаюшиеся с"_w;
    s.recordType = "О"_w;
    s.formatLabel = "Формат"_w;
    s.recordCountLabel = "000";
    ClearFields(s.Fields);
    s.ProgramDir = std::move(programDir);
    return s;
}

std::string ProgramDir()
{
    if (const char* home = std::getenv("VENQOR_HOME"); home && *home)
        return std::filesystem::path(home).lexically_normal().string();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path().string();
    return exe.parent_path().string();
}

std::string NativePath(std::string_view path)
{
    return Cp1251ToUtf8(path);
}

} // namespace venqor

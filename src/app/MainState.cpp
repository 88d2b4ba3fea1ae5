#include "app/MainState.h"

#include "scan/Cp1251Literal.h"

#include <cstdlib>
#include <filesystem>

namespace venqor {

TMainState DefaultMainState(std::filesystem::path programDir)
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

std::filesystem::path ProgramDir()
{
    if (const char* home = std::getenv("VENQOR_HOME"); home && *home)
        return std::filesystem::path(home).lexically_normal();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path();
    return exe.parent_path();
}

} // namespace venqor

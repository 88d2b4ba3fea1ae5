#include "gui/ProgramHome.h"

#include "app/MainState.h"
#include "gui/GuiText.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>

namespace venqor::gui {

namespace {

bool holdsSchemas(const std::filesystem::path& dir)
{
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".SCH")
            return true;
    return false;
}

void copySchemas(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(from, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".SCH")
            std::filesystem::copy_file(
                it->path(), to / it->path().filename(), std::filesystem::copy_options::skip_existing, ec);
}

} // namespace

std::filesystem::path DesktopProgramDir()
{
    if (const char* home = std::getenv("VENQOR_HOME"); home && *home)
        return ProgramDir();
    return ChooseProgramDir(
        ProgramDir(), ToPath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)));
}

std::filesystem::path ChooseProgramDir(const std::filesystem::path& own, const std::filesystem::path& config)
{
    if (holdsSchemas(own) && QFileInfo(FromPath(own)).isWritable())
        return own;
    std::error_code ec;
    std::filesystem::create_directories(config, ec);
    copySchemas(holdsSchemas(own) ? own : own.parent_path() / "share" / "venqor", config);
    return config;
}

} // namespace venqor::gui

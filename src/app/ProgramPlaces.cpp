#include "app/ProgramPlaces.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace venqor {

namespace fs = std::filesystem;

namespace {

bool holdsSchemas(const fs::path& dir)
{
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".SCH" && it->is_regular_file(ec))
            return true;
    return false;
}

bool writable(const fs::path& dir)
{
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

fs::path environmentPath(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? fs::path(value) : fs::path();
}

} // namespace

ProgramPlaces ChoosePlaces(const PlaceFacts& facts)
{
    if (!facts.home.empty())
        return ProgramPlaces(facts.home);
    ProgramPlaces places;
    for (const fs::path& dir : { facts.configDir, facts.programDir,
             (facts.programDir.parent_path() / "share" / "venqor").lexically_normal() })
        if (!dir.empty()
            && std::find(places.SchemaDirs.begin(), places.SchemaDirs.end(), dir) == places.SchemaDirs.end())
            places.SchemaDirs.push_back(dir);
    const bool portable = holdsSchemas(facts.programDir) && writable(facts.programDir);
    places.ProgramDir = portable ? facts.programDir : facts.configDir;
    return places;
}

PlaceFacts PlaceFactsHere()
{
    PlaceFacts facts;
    facts.home = environmentPath("VENQOR_HOME").lexically_normal();
    if (fs::path config = environmentPath("XDG_CONFIG_HOME"); config.is_absolute())
        facts.configDir = config / "venqor";
    else if (fs::path home = environmentPath("HOME"); !home.empty())
        facts.configDir = home / ".config" / "venqor";
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    facts.programDir = ec ? fs::current_path(ec) : exe.parent_path();
    return facts;
}

ProgramPlaces ProgramPlacesHere()
{
    const PlaceFacts facts = PlaceFactsHere();
    ProgramPlaces places = ChoosePlaces(facts);
    if (facts.home.empty() && places.ProgramDir == facts.configDir && !facts.configDir.empty()) {
        std::error_code ec;
        fs::create_directories(places.ProgramDir, ec); // a failure shows where a file is written
    }
    return places;
}

fs::path FindSchemaFile(const std::vector<fs::path>& dirs, const fs::path& name)
{
    std::error_code ec;
    for (const fs::path& dir : dirs)
        if (fs::is_regular_file(dir / name, ec))
            return dir / name;
    return dirs.empty() ? name : dirs.front() / name;
}

} // namespace venqor

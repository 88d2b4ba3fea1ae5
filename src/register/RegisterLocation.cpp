#include "register/RegisterLocation.h"

#include "engine/TableEngine.h"

namespace venqor {

std::optional<std::filesystem::path> RegisterFile(const std::string& location)
{
    switch (KindOfLocation(location)) {
    case LocationKind::Postgres:
        return std::nullopt;
    case LocationKind::SqliteFile:
        return std::filesystem::path(std::string(SqliteFileOf(location)));
    case LocationKind::Directory:
        break;
    }
    if (location.empty())
        return std::nullopt;
    return std::filesystem::path(location) / "NUMS.DB";
}

} // namespace venqor

#pragma once

#include <filesystem>
#include <vector>

namespace venqor {

// Where both programs keep their files.
struct ProgramPlaces {
    ProgramPlaces() = default;
    // One directory for everything, as VENQOR_HOME gives it.
    ProgramPlaces(const std::filesystem::path& home)
        : SchemaDirs { home }
        , ProgramDir(home)
    {
    }
    ProgramPlaces(std::vector<std::filesystem::path> schemaDirs, std::filesystem::path programDir)
        : SchemaDirs(std::move(schemaDirs))
        , ProgramDir(std::move(programDir))
    {
    }
    bool operator==(const ProgramPlaces&) const = default;

    // The directories a schema file (*.SCH) is looked for in, first to last; only read.
    std::vector<std::filesystem::path> SchemaDirs;
    // venqor.ini and ANKT.DB.
    std::filesystem::path ProgramDir;
};

// What the choice of the places depends on.
struct PlaceFacts {
    std::filesystem::path home;       // VENQOR_HOME, empty when unset
    std::filesystem::path configDir;  // the user's configuration directory (~/.config/venqor)
    std::filesystem::path programDir; // the directory of the running program
};

// The places, by these rules:
// - schema files: in VENQOR_HOME alone when it is set; else in the configuration directory
//   (the user's own schemas), then the program's directory (a portable copy), then
//   ../share/venqor beside it (an installed or unpacked package);
// - venqor.ini and ANKT.DB: VENQOR_HOME when set, else the program's directory when it
//   holds schema files and can be written, else the configuration directory.
ProgramPlaces ChoosePlaces(const PlaceFacts& facts);

// The facts of this process: VENQOR_HOME, $XDG_CONFIG_HOME/venqor (else ~/.config/venqor)
// and the directory of the running executable.
PlaceFacts PlaceFactsHere();

// The places of this process; the configuration directory is made when it is chosen for
// venqor.ini and ANKT.DB (nothing is copied into it).
ProgramPlaces ProgramPlacesHere();

// The schema file `name` in the first of `dirs` that holds it; in the first of them when
// none does (so that the failure to open it names a place).
std::filesystem::path FindSchemaFile(
    const std::vector<std::filesystem::path>& dirs, const std::filesystem::path& name);

} // namespace venqor

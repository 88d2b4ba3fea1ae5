#include "run/OutputFile.h"

#include "app/Settings.h"
#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "base/FieldText.h"
#include "base/FileNames.h"
#include "register/RegisterLocation.h"
#include "run/ProcessingRun.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace venqor {

namespace fs = std::filesystem;

namespace {

// Literals of their own: clang 14 crashes on these written inside the functions.
constexpr std::string_view NoOutputName = "Не задан файл результата"_w;
constexpr std::string_view SameAsData = "Файл результата совпадает с исходным файлом"_w;
constexpr std::string_view SameAsSchema = "Файл результата совпадает с файлом схемы "_w;
constexpr std::string_view SameAsSettings = "Файл результата совпадает с файлом настроек "_w;
constexpr std::string_view SameAsAnkt = "Файл результата совпадает с таблицей ANKT "_w;
constexpr std::string_view SameAsRegister = "Файл результата совпадает с реестром NUMS "_w;
constexpr std::string_view NamedTwice = "Файл результата назван дважды: "_w;
constexpr std::string_view IsDirectory = "Файл результата является папкой: "_w;
constexpr std::string_view NoDirectory = "Нет папки для файла результата: "_w;
constexpr std::string_view DirectoryReadOnly = "Нет права записи в папку файла результата: "_w;
constexpr std::string_view FileReadOnly = "Файл результата защищён от записи: "_w;

std::string named(std::string_view what, const fs::path& file)
{
    return std::string(what) + InQuotes(PathToCp1251(file));
}

struct Guarded {
    fs::path file;
    std::string message; // shown when the output is this file
};

// The files a run reads and the program's own files, with the message that refuses each.
std::vector<Guarded> guardedFiles(const TMainState& state)
{
    TMainState copy = state;
    const fs::path schema = SchemaPath(copy); // which notes the schema name in the copy only
    std::vector<Guarded> files = {
        { state.dataFile, std::string(SameAsData) },
        { schema, named(SameAsSchema, schema) },
        { SettingsPath(state), named(SameAsSettings, SettingsPath(state)) },
        { state.ProgramDir / "ANKT.DB", named(SameAsAnkt, state.ProgramDir / "ANKT.DB") },
    };
    TMainState saved = DefaultMainState(ProgramPlaces(state.SchemaDirs, state.ProgramDir));
    ReadSettings(saved);
    for (const std::string& location : { state.registerLocation, saved.registerLocation })
        if (const auto file = RegisterFile(location))
            files.push_back({ *file, named(SameAsRegister, *file) });
    return files;
}

// A file named as one of the program's own files wherever it is (the register NUMS.DB,
// ANKT.DB and venqor.ini of another program directory); the message refusing it.
std::optional<std::string> ownFileName(const fs::path& file)
{
    const std::string name = file.filename().string();
    if (SameName(name, "NUMS.DB"))
        return named(SameAsRegister, file);
    if (SameName(name, "ANKT.DB"))
        return named(SameAsAnkt, file);
    if (SameName(name, "venqor.ini"))
        return named(SameAsSettings, file);
    return std::nullopt;
}

// A schema file where the program looks for schema files, by its name alone.
bool isSchemaFile(const fs::path& file, const TMainState& state)
{
    const std::string extension = file.extension().string();
    if (!SameName(extension, ".SCH"))
        return false;
    for (const fs::path& dir : state.SchemaDirs)
        if (SameFile(file, dir / file.filename()))
            return true;
    return false;
}

// A file nobody may write: no write permission, or no write bit at all (which binds the
// administrator too).
bool readOnly(const fs::path& file)
{
    struct stat st { };
    return ::access(file.c_str(), W_OK) != 0 || (::stat(file.c_str(), &st) == 0 && (st.st_mode & 0222) == 0);
}

} // namespace

std::optional<std::string> OutputProblem(
    const fs::path& output, const TMainState& state, std::span<const fs::path> others)
{
    if (output.empty())
        return std::string(NoOutputName);
    std::error_code ec;
    const fs::file_status status = fs::status(output, ec);
    if (fs::is_directory(status))
        return named(IsDirectory, output);
    for (const Guarded& guarded : guardedFiles(state))
        if (SameFile(output, guarded.file))
            return guarded.message;
    for (const fs::path& other : others)
        if (!other.empty() && SameFile(output, other))
            return named(NamedTwice, output);
    if (fs::exists(status) && !fs::is_regular_file(status))
        return std::nullopt; // a device or a pipe, written directly
    if (isSchemaFile(output, state))
        return named(SameAsSchema, output);
    const fs::path target = fs::exists(status) ? fs::canonical(output, ec) : output;
    if (const auto problem = ownFileName(target))
        return problem;
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(directory, ec))
        return named(NoDirectory, directory);
    if (::access(directory.c_str(), W_OK | X_OK) != 0)
        return named(DirectoryReadOnly, directory);
    if (fs::exists(status) && readOnly(output))
        return named(FileReadOnly, output);
    return std::nullopt;
}

} // namespace venqor

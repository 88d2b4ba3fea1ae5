#include "run/OutputFile.h"

#include "app/Settings.h"
#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "run/ProcessingRun.h"
#include "scan/TextFile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace venqor {

namespace fs = std::filesystem;

namespace {

struct RunInput {
    fs::path file;
    std::string message; // shown when the output is this file
};

std::string named(std::string_view what, const fs::path& file)
{
    return std::string(what) + InQuotes(PathToCp1251(file));
}

// The files a run reads, with the message that refuses each of them as its output.
std::vector<RunInput> runInputs(const TMainState& state)
{
    TMainState copy = state;
    const fs::path schema = SchemaPath(copy); // which notes the schema name in the copy only
    std::vector<RunInput> inputs = {
        { state.dataFile, std::string("Файл результата совпадает с исходным файлом"_w) },
        { schema, named("Файл результата совпадает с файлом схемы "_w, schema) },
        { SettingsPath(state), named("Файл результата совпадает с файлом настроек "_w, SettingsPath(state)) },
        { state.ProgramDir / "ANKT.DB",
            named("Файл результата совпадает с таблицей ANKT "_w, state.ProgramDir / "ANKT.DB") },
    };
    const std::string& location = state.registerLocation;
    if (!location.empty() && !location.starts_with("postgresql://") && !location.starts_with("postgres://")) {
        const fs::path nums
            = location.starts_with("sqlite:") ? fs::path(location.substr(7)) : fs::path(location) / "NUMS.DB";
        inputs.push_back({ nums, named("Файл результата совпадает с реестром NUMS "_w, nums) });
    }
    return inputs;
}

bool sameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// A file nobody may write: no write permission, or no write bit at all (which binds the
// administrator too).
bool readOnly(const fs::path& file)
{
    struct stat st { };
    return ::access(file.c_str(), W_OK) != 0 || (::stat(file.c_str(), &st) == 0 && (st.st_mode & 0222) == 0);
}

// The file an output name stands for: through a link to an existing file, that file, so
// that it is replaced rather than the link.
fs::path resolvedTarget(const fs::path& output)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(output, ec)) || !fs::exists(output, ec))
        return output;
    const fs::path target = fs::canonical(output, ec);
    return ec ? output : target;
}

} // namespace

std::optional<std::string> OutputProblem(const fs::path& output, const TMainState& state)
{
    std::error_code ec;
    const fs::file_status status = fs::status(output, ec);
    if (fs::is_directory(status))
        return named("Файл результата является папкой: "_w, output);
    for (const RunInput& input : runInputs(state))
        if (sameFile(output, input.file))
            return input.message;
    if (fs::exists(status) && !fs::is_regular_file(status))
        return std::nullopt; // a device or a pipe, written directly
    const fs::path target = resolvedTarget(output);
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(directory, ec))
        return named("Нет папки для файла результата: "_w, directory);
    if (::access(directory.c_str(), W_OK | X_OK) != 0)
        return named("Нет права записи в папку файла результата: "_w, directory);
    if (fs::exists(status) && readOnly(output))
        return named("Файл результата защищён от записи: "_w, output);
    return std::nullopt;
}

} // namespace venqor

#include "cli/RegisterCommand.h"

#include "base/Passwords.h"
#include "cli/ProgressBar.h"
#include "cli/StopSignals.h"
#include "engine/TableEngine.h"
#include "register/DemoRegister.h"
#include "register/RegisterImport.h"

#include <filesystem>

namespace venqor::cli {

namespace {

constexpr std::string_view usage = R"(Usage: venqor-cli register import SOURCE LOCATION [--allow-empty]
       venqor-cli register demo LOCATION [--rows N] [--seed S]

Builds the register table NUMS in LOCATION: a directory (the file DIR/NUMS.DB, the
directory made when missing), sqlite:FILE (a table NUMS in that SQLite file) or a
postgresql:// URI (a table nums in that PostgreSQL database; the password comes from
~/.pgpass or PGPASSWORD, never from the URI). An earlier register is replaced only when
the new one is complete; readers see either the old one or the new one.

  import SOURCE LOCATION  from a dBASE file (.dbf, code page 866 or Windows-1251 as its
                          language driver says) or a CSV file in UTF-8 whose first line
                          names the columns NUM, FAM, NAM, OTCH, BIRTH and optionally
                          COND, SEX, DATMOD. NUM is a body of nine digits or a whole
                          number with its check number (123-456-789 64); dates are
                          YYYYMMDD, YYYY-MM-DD or dd.mm.yyyy. A row that cannot be taken
                          stops the import, and so does a source without rows:
    --allow-empty         makes an empty register of a source without rows
  demo LOCATION           a synthetic register for trials and benchmarks
    --rows N              number of people (default 1000)
    --seed S              the seed the people are made from (default 1); the same seed
                          gives the same people
)";

std::string positional(Args& args, std::string_view what)
{
    if (args.empty())
        throw UsageError("missing " + std::string(what));
    if (args.peek().starts_with("--"))
        throw UsageError("unknown option " + args.peek());
    return args.take();
}

void noMoreArguments(Args& args)
{
    if (!args.empty())
        throw UsageError(
            (args.peek().starts_with("--") ? "unknown option " : "unexpected argument ") + args.peek());
}

// Where the register went, for the closing message: the file in a directory, the table
// elsewhere; any password shown as ***.
std::string targetName(const std::string& location)
{
    if (KindOfLocation(location) != LocationKind::Directory)
        return "NUMS of " + ShownLocation(location);
    return ShownLocation((std::filesystem::path(location) / "NUMS.DB").string());
}

int runImport(Args& args, Io& io)
{
    const std::string source = positional(args, "SOURCE");
    const std::string location = positional(args, "LOCATION");
    const bool allowEmpty = !args.empty() && args.peek() == "--allow-empty";
    if (allowEmpty)
        args.take();
    noMoreArguments(args);
    CatchStopSignals();
    ProgressBar bar(io.err, io.errIsTerminal);
    const std::int64_t rows = ImportRegister(source, location, &bar, allowEmpty);
    io.err << "imported " << rows << " rows into " << targetName(location) << '\n';
    return ExitDone;
}

int runDemo(Args& args, Io& io)
{
    const std::string location = positional(args, "LOCATION");
    std::int64_t rows = 1000;
    std::uint64_t seed = 1;
    while (!args.empty()) {
        const std::string option = args.take();
        if (option == "--rows")
            rows = NumberOption<std::int64_t>(args, option, 0, DemoPersonLimit);
        else if (option == "--seed")
            seed = NumberOption<std::uint64_t>(args, option, 0, UINT64_MAX);
        else
            throw UsageError(
                (option.starts_with("--") ? "unknown option " : "unexpected argument ") + option);
    }
    CatchStopSignals();
    ProgressBar bar(io.err, io.errIsTerminal);
    WriteDemoRegister(location, rows, seed, &bar);
    io.err << "wrote " << rows << " demo rows into " << targetName(location) << '\n';
    return ExitDone;
}

int run(Args& args, Io& io)
{
    if (args.empty())
        throw UsageError("missing import or demo");
    const std::string action = args.take();
    if (action == "import")
        return runImport(args, io);
    if (action == "demo")
        return runDemo(args, io);
    throw UsageError("unknown register command \"" + action + "\"");
}

} // namespace

Command RegisterCommand()
{
    return { "register", "build the register NUMS from a dBASE or CSV file, or a synthetic one", usage, run };
}

} // namespace venqor::cli

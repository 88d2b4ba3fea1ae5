#include "cli/Cli.h"

#include "app/Version.h"
#include "base/Errors.h"
#include "base/Stop.h"

#include <exception>

namespace venqor::cli {

std::string Args::value(std::string_view option)
{
    if (empty())
        throw UsageError("option " + std::string(option) + " needs a value");
    return take();
}

namespace {

void printUsage(std::ostream& out)
{
    out << "Usage: venqor-cli COMMAND [ARGUMENTS] [OPTIONS]\n\nCommands:\n";
    for (const Command& c : Commands())
        out << "  " << c.name << std::string(c.name.size() < 14 ? 14 - c.name.size() : 1, ' ') << c.summary
            << '\n';
    out << "\nvenqor-cli COMMAND --help shows the options of a command; venqor-cli --version the\n"
           "version.\n";
}

} // namespace

int RunCli(std::vector<std::string> argv, Io& io)
{
    if (argv.empty()) {
        printUsage(io.err);
        return ExitUsage;
    }
    const std::string name = argv.front();
    if (name == "--version") {
        io.out << "venqor-cli " << VenqorVersion << '\n';
        return ExitDone;
    }
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(io.out);
        return ExitDone;
    }
    for (const Command& command : Commands()) {
        if (command.name != name)
            continue;
        Args args(std::vector<std::string>(argv.begin() + 1, argv.end()));
        for (const std::string& a : std::vector<std::string>(argv.begin() + 1, argv.end()))
            if (a == "--help" || a == "-h") {
                io.out << command.usage;
                return ExitDone;
            }
        try {
            return command.run(args, io);
        } catch (const Interrupted&) {
            io.err << "venqor-cli " << name << ": stopped; earlier outputs are left as they were\n";
            return 128 + StopRequested();
        } catch (const UsageError& e) {
            io.err << "venqor-cli " << name << ": " << e.what() << "\n\n" << command.usage;
            return ExitUsage;
        } catch (const std::exception& e) {
            io.err << "venqor-cli " << name << ": " << e.what() << '\n';
            return ExitFailed;
        }
    }
    io.err << "venqor-cli: unknown command \"" << name << "\"\n\n";
    printUsage(io.err);
    return ExitUsage;
}

} // namespace venqor::cli

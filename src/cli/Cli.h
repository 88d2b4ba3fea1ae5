#pragma once

#include <charconv>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace venqor::cli {

// Exit status of venqor-cli.
enum ExitCode : int {
    ExitDone = 0,    // the command ran to its end, whatever it found
    ExitFailed = 1,  // it could not run; the message says why
    ExitUsage = 2,   // the command line is wrong
    ExitPartial = 3, // it ran to its end without a part of its work; the message says which
};

// A wrong command line; main() prints the message and the command's usage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The streams of one invocation, so that tests can run a command in-process.
struct Io {
    std::ostream& out; // the report (UTF-8)
    std::ostream& err; // the summary and every other message (UTF-8)
    bool errIsTerminal = false;
    bool outIsTerminal = false;
};

// Arguments after the command name, taken one by one.
class Args {
public:
    explicit Args(std::vector<std::string> args)
        : args_(std::move(args))
    {
    }
    bool empty() const { return pos_ >= args_.size(); }
    const std::string& peek() const { return args_[pos_]; }
    std::string take() { return args_[pos_++]; }
    // The value of an option that needs one; UsageError when it is missing.
    std::string value(std::string_view option);

private:
    std::vector<std::string> args_;
    std::size_t pos_ = 0;
};

// The value of an option that takes a whole number from `min` to `max`; UsageError naming
// the option otherwise.
template <typename Number> Number NumberOption(Args& args, std::string_view option, Number min, Number max)
{
    const std::string text = args.value(option);
    Number value {};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] < '0' || text[0] > '9' || ec != std::errc()
        || end != text.data() + text.size() || value < min || value > max)
        throw UsageError("option " + std::string(option) + " takes a number from " + std::to_string(min)
            + " to " + std::to_string(max) + ", not \"" + text + "\"");
    return value;
}

struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view usage; // full --help text
    std::function<int(Args& args, Io& io)> run;
};

// The commands of venqor-cli, in the order --help lists them.
const std::vector<Command>& Commands();

// Runs venqor-cli with its arguments (without the program name).
int RunCli(std::vector<std::string> args, Io& io);

} // namespace venqor::cli

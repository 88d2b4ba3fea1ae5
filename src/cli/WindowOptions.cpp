#include "cli/WindowOptions.h"

#include "app/Formats.h"
#include "app/Settings.h"
#include "base/CodePage.h"

#include <algorithm>

namespace venqor::cli {

namespace {

constexpr int MaxBlockLines = 100'000'000;

// Each option and the control of the main window it stands for.
struct OptionControl {
    std::string_view option;
    std::string_view control;
};
constexpr std::string_view SaveDialog = "the save dialog";
constexpr std::string_view FindingsSave = "the viewer's findings table";
constexpr std::string_view EveryCommand = "";
constexpr OptionControl OptionControls[] = {
    { "--output", SaveDialog }, { "--format", "cbxFrmtList" }, { "--schema", "cbxSchList" },
    { "--table", "edtTblName" }, { "--condition", "cbxCopyCond" }, { "--match", "cbxCopyValue" },
    { "--record-type", "edtCopyValue" }, { "--value", "edtCopyValue" }, { "--register", "dedtNUMS" },
    { "--query", "chkByQuery" }, { "--collect-not-found", "chkAnkList" },
    { "--no-birth-errors", "chkNoBirthErrors" }, { "--no-status-errors", "chkNoStatErrors" },
    { "--search-only", "chkFoundOnly" }, { "--report", EveryCommand }, { "--quiet", EveryCommand },
    { "--findings", FindingsSave }, { "--block-lines", "dedtNUMS" }, // no control: how the register is read
};

} // namespace

std::vector<std::string_view> AcceptedOptions(const CommandInfo& command)
{
    std::vector<std::string_view> accepted;
    for (const OptionControl& o : OptionControls) {
        const bool reads = std::find(command.controls.begin(), command.controls.end(), o.control)
            != command.controls.end();
        if (o.control == EveryCommand || reads || (o.control == SaveDialog && command.writesOutput)
            || (o.control == FindingsSave && command.reportsFindings))
            accepted.push_back(o.option);
    }
    return accepted;
}

WindowOptions ParseWindowOptions(Args& args, std::span<const std::string_view> accepted)
{
    WindowOptions o;
    bool haveFile = false;
    const auto accepts = [&](std::string_view option) {
        return std::find(accepted.begin(), accepted.end(), option) != accepted.end();
    };
    struct Valued {
        std::string_view option;
        std::optional<std::string> WindowOptions::*target;
        bool names = false; // names a file the command writes: never empty
    };
    static constexpr Valued valued[] = {
        { "--format", &WindowOptions::format },
        { "--schema", &WindowOptions::schema },
        { "--record-type", &WindowOptions::recordType },
        { "--value", &WindowOptions::recordType },
        { "--register", &WindowOptions::registerLocation },
        { "--table", &WindowOptions::tableName, true },
        { "--condition", &WindowOptions::condition },
        { "--match", &WindowOptions::match },
        { "--output", &WindowOptions::output, true },
        { "--report", &WindowOptions::report, true },
        { "--findings", &WindowOptions::findings, true },
    };
    struct Flag {
        std::string_view option;
        bool WindowOptions::*target;
    };
    static constexpr Flag flags[] = {
        { "--query", &WindowOptions::query },
        { "--collect-not-found", &WindowOptions::collectNotFound },
        { "--no-birth-errors", &WindowOptions::noBirthErrors },
        { "--no-status-errors", &WindowOptions::noStatusErrors },
        { "--search-only", &WindowOptions::searchOnly },
        { "--quiet", &WindowOptions::quiet },
    };

    while (!args.empty()) {
        const std::string arg = args.take();
        if (!arg.starts_with("--")) {
            if (haveFile)
                throw UsageError("more than one data file given: \"" + arg + "\"");
            o.dataFile = arg;
            haveFile = true;
            continue;
        }
        if (!accepts(arg))
            throw UsageError("unknown option " + arg);
        if (arg == "--block-lines") {
            o.blockLines = NumberOption(args, arg, 1, MaxBlockLines);
            continue;
        }
        bool known = false;
        for (const Valued& v : valued)
            if (v.option == arg) {
                o.*v.target = args.value(arg);
                if (v.names && (o.*v.target)->empty())
                    throw UsageError("option " + arg + " needs a name, not an empty text");
                known = true;
            }

        for (const Flag& f : flags)
            if (f.option == arg) {
                o.*f.target = true;
                known = true;
            }
        if (!known)
            throw UsageError("unknown option " + arg);
    }
    if (!haveFile)
        throw UsageError("no data file given");
    return o;
}

TMainState StateFor(const WindowOptions& o)
{
    TMainState s = DefaultMainState(ProgramPlacesHere());
    ReadSettings(s);
    s.byQuery = s.UseQuery;

    s.dataFile = o.dataFile; // file names stay as the system spells them
    DetectFormat(s);
    if (o.format) {
        s.format = Utf8ToCp1251(*o.format);
        ApplyFormat(s);
    }
    if (o.schema)
        s.schema = Utf8ToCp1251(*o.schema);
    if (o.tableName)
        s.tableName = *o.tableName;
    if (o.recordType)
        s.recordType = Utf8ToCp1251(*o.recordType);
    if (o.registerLocation)
        s.registerLocation = *o.registerLocation;
    if (o.condition)
        s.copyCondition = Utf8ToCp1251(*o.condition);
    if (o.match)
        s.copyMatchKind = Utf8ToCp1251(*o.match);
    s.byQuery = s.byQuery || o.query;
    s.collectNotFound = o.collectNotFound;
    s.noBirthErrors = o.noBirthErrors;
    s.noStatusErrors = o.noStatusErrors;
    s.foundOnly = o.searchOnly;
    if (o.blockLines)
        s.LinesPerBlock = *o.blockLines;
    return s;
}

} // namespace venqor::cli

#pragma once

#include "run/RunHost.h"
#include "run/RunReport.h"

#include "app/MainState.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace venqor {

class InTextFile;
class ProcessingRun;

// What a processing command plugs into the run frame.
class RunSteps {
public:
    virtual ~RunSteps() = default;

    virtual std::span<const std::string_view> RequiredFields() const = 0;
    virtual std::string_view Question() const = 0;
    // Takes the options of the run from the state, before anything else.
    virtual void TakeOptions(TMainState&) { }
    virtual void TitleLines(ProcessingRun& run) = 0;
    // Lines after the data file and format lines.
    virtual void HeaderLines(ProcessingRun&) { }
    // Opens the register and whatever else the command needs, before the start line.
    virtual void Open(ProcessingRun&) { }
    virtual void RecordStep(ProcessingRun& run) = 0;
    // A failure inside the guard of one line.
    virtual void LineFailed(ProcessingRun&) { }
    // Right after the line loop, before the end line.
    virtual void AfterLoop(ProcessingRun&) { }
    // Closes the register (after the data file has been closed).
    virtual void CloseRegister(ProcessingRun&) { }
    // Appends the summary lines and returns the text of the summary message.
    virtual std::string Summary(ProcessingRun& run) = 0;
    // Closes what Open() opened besides the register.
    virtual void Close(ProcessingRun&) { }
};

// The frame that every processing command shares: schema load and checks, confirmation,
// report start, the line loop with its classification, counters, progress and per-line
// guard, and the closing steps, which always run once the loop has started.
class ProcessingRun {
public:
    ProcessingRun(TMainState& state, RunHost& host);
    ProcessingRun(const ProcessingRun&) = delete;
    ProcessingRun& operator=(const ProcessingRun&) = delete;

    // Runs the command to its end and returns true; false when it did not start (another
    // run under way, a schema it cannot use, the question not answered Yes), after a
    // message. A failure before the loop (the schema or the data file cannot be read)
    // leaves as an exception; so does one outside the per-line guard, after the closing
    // steps.
    bool Execute(RunSteps& steps);

    TMainState& state() { return state_; }
    RunHost& host() { return host_; }
    RunReport& report() { return report_; }

    // Index in state().Fields of a required field (found when the run started).
    int field(std::string_view name) const;

    std::int32_t LinesRead = 0;
    std::int32_t HeaderCount = 0;
    std::int32_t BenefitCount = 0;
    std::int64_t BytesRead = 0;

private:
    bool prepare(RunSteps& steps);
    void startReport(RunSteps& steps);
    void loop(RunSteps& steps, InTextFile& file, char recordType);
    void timeLine(std::string_view words);

    TMainState& state_;
    RunHost& host_;
    RunReport report_;
    std::span<const std::string_view> required_;
    int fieldIndexes_[16] = {};
};

// The schema file of the state's schema name: ProgramDir, the name, ".SCH" when it holds
// no point. Sets SchemaName.
std::string SchemaPath(TMainState& state);

} // namespace venqor

#pragma once

#include "app/MainState.h"
#include "register/Register.h"
#include "run/LineBlock.h"
#include "run/RunCounters.h"
#include "run/RunHost.h"
#include "run/RunReport.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

class InTextFile;
class OutTextFile;

// What a command did, for the front end that ran it.
struct RunResult {
    // False when the command ended before its work: refused with a message, the question
    // answered No, the save dialog cancelled, or another run under way.
    bool started = false;
    // Parts of the work that were not done (the register could not be opened, ANKT could
    // not be written), in Windows-1251; the summary message has already shown them.
    std::vector<std::string> shortfalls;
    // What else the user should know about the run (lines whose handling failed and the
    // first cause, a file read with LF line ends); also shown in the summary message.
    std::vector<std::string> notices;
};

// The frame that the processing commands share, as services a command calls in the order
// of its own rules: the schema and its fields, the question, the output file, the report
// start, the data file, the register, the line loop with its classification, counters,
// progress and per-line guard, and the summary. The run owns what it opens; whatever a
// command leaves open is closed when the run ends, and the run flag, the reader options
// and the progress bar are put back as they were.
class ProcessingRun {
public:
    // Takes the run flag, or tells the user that another run is under way (see Started()).
    ProcessingRun(TMainState& state, RunHost& host);
    ~ProcessingRun();
    ProcessingRun(const ProcessingRun&) = delete;
    ProcessingRun& operator=(const ProcessingRun&) = delete;

    // False when another run held the line buffer: the command must end at once.
    bool Started() const { return holdsRunFlag_; }

    TMainState& State() { return state_; }
    RunHost& Host() { return host_; }
    RunReport& Report() { return report_; }
    RunCounters& Counters() { return counters_; }

    // Sets the record counter label to "000" and loads the schema named in cbxSchList
    // (SchemaName; ".SCH" added when it holds no point) from the first of SchemaDirs
    // that holds it into Fields.
    // False, after the message "Ошибка в схеме!", when it defines no field; IoError when
    // it cannot be read.
    bool LoadSchema();
    // The indexes in Fields of the named fields, in the order given; nothing, after a
    // message, when one is missing or reaches beyond the line buffer.
    std::optional<std::vector<int>> RequireFields(std::span<const std::string_view> names);

    // The confirmation question; true only for Yes.
    bool Ask(std::string_view question);
    // The save dialog, proposing `proposed`; nothing when it is cancelled, or after a
    // message when the file chosen may not be written (see OutputProblem).
    std::optional<std::filesystem::path> ChooseOutput(const std::filesystem::path& proposed);

    // Clears the report and appends the title lines, the data file line and the format line.
    void StartReport(std::initializer_list<std::string_view> titles);
    // " Начало  hh.nn.ss z" and " Конец   hh.nn.ss z".
    void TimeLine(std::string_view words);

    // Measures and opens the data file and shows the progress bar; IoError naming the file.
    // A file whose first block holds line feeds but no carriage return is read with LF as
    // the line end, and the run says so.
    void OpenDataFile();
    void CloseDataFile();

    // Opens the register for lookups of one kind, in the mode of UseQuery. When it cannot
    // be opened, the report says why, no lookups are made (available() is false) and the
    // run counts it as work not done; so when it is lost part way (the report says from
    // which line).
    Register& OpenRegister(LookupKind kind);
    void CloseRegister();

    // The output file: a regular file is written through a temporary file beside it, which
    // CloseOutput() puts in place of the file when every line was written; a device or a
    // pipe is written directly. IoError when it cannot be created. When writing or putting
    // it in place fails, or the line loop ended early, the temporary file is removed, an
    // earlier file is left as it was, and the report and the summary say so.
    void CreateOutput(const std::filesystem::path& path);
    void CloseOutput();

    // The line loop over the open data file, with the reader's recoding taken from the
    // schema. Every line is read into LineBuf, counted and classified by its first
    // character: a record line runs `recordStep` (with the progress moved on every tenth
    // record), a benefit line is counted, a header line is counted and listed in the
    // report. With an output open, every non-empty line is then written as it stands. A
    // failure inside one line runs `lineFailed` and the loop goes on; that line is still
    // written to the output as it was read. A failure of the loop itself ends it and is
    // raised again by Finish(), after the command's closing steps.
    // Lines are read ahead in blocks of LinesPerBlock; with `keyOf` given and a register
    // that takes blocks, the keys of a block's records are looked up together while the
    // block before is treated, and each record's lookup of its own key is answered from
    // them (see Register). What the user sees is the same as line by line.
    void ReadLines(const std::function<void()>& recordStep, const std::function<void()>& lineFailed,
        const RecordKey& keyOf = {});

    // Whether the user stopped the line loop (see Interrupted): the command then keeps
    // nothing of the run but its report.
    bool Stopped() const;

    // "Прочитано N строк, найдено заголовков: H, записей: R, льгот: B".
    void SummaryLine();
    // Counts a part of the work that was not done; Finish() adds it to the message.
    void Shortfall(std::string text);
    // The closing steps the front end sees: the summary message (with any shortfalls and
    // notices),
    // the record counter label, the report viewer, the progress bar hidden. Then the
    // failure that ended the loop, if one did.
    RunResult Finish(std::string message);

private:
    void treatLine(const LineBlock& block, const LineBlock::Line& line, char recordType,
        const std::function<void()>& recordStep, const std::function<void()>& lineFailed);
    void noteFailedLine(const std::exception_ptr& failure);
    void noteRegisterLoss();
    void writeOutputLine();
    void abandonOutput(std::string_view reason);

    TMainState& state_;
    RunHost& host_;
    bool holdsRunFlag_ = false;
    RunCounters counters_;
    RunReport report_;
    std::unique_ptr<InTextFile> data_;
    Register register_;
    std::unique_ptr<OutTextFile> output_;
    bool progressShown_ = false;
    bool lfEndsLine_ = false;
    bool registerLossNoted_ = false;
    std::int64_t failedLines_ = 0;
    std::int64_t firstFailedLine_ = 0;
    std::string firstLineFailure_;
    RunResult result_;
    std::exception_ptr loopFailure_;
};

// The schema file of the state's schema name (".SCH" added when it holds no point) in the
// first of SchemaDirs that holds it. Sets SchemaName.
std::filesystem::path SchemaPath(TMainState& state);

// A text in double quotes.
std::string InQuotes(std::string_view text);

} // namespace venqor

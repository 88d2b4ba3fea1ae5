#pragma once

#include "base/Progress.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace venqor {

class ReportDocument;

// The time of day with milliseconds, for the start and end lines of a run.
struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// What a command needs from the front end that runs it: the desktop window answers with
// real dialogs, the command line from its arguments, tests with scripted answers.
// Texts are Windows-1251; file names are as the system spells them.
class RunHost : public ProgressSink {
public:
    // A Yes/No question; true only for Yes.
    virtual bool Ask(std::string_view question) = 0;
    // A message box with an OK button.
    virtual void Message(std::string_view text) = 0;
    // The save dialog for an output file, with a proposed name; nothing when cancelled.
    virtual std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& proposed) = 0;

    // The report viewer's document, which a command clears and fills, and showing it.
    virtual ReportDocument& Report() = 0;
    virtual void ShowReport() = 0;

    // The record counter label (lblRecCount); a run sets it with the progress.
    virtual void ShowRecordCount(std::string_view text) = 0;

    virtual TimeOfDay Now() = 0;
};

// The local time of day from the system clock.
TimeOfDay SystemTimeOfDay();

} // namespace venqor

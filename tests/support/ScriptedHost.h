#pragma once

#include "report/ReportDocument.h"
#include "run/RunHost.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace venqor::test {

// A run host with scripted answers and a fixed clock; it records what the run showed.
class ScriptedHost final : public RunHost {
public:
    bool answer = true;                            // to every question
    std::optional<std::filesystem::path> saveFile; // what the save dialog returns
    TimeOfDay clock { 10, 20, 30, 45 };

    std::vector<std::string> questions; // Windows-1251, as asked
    std::vector<std::string> messages;  // Windows-1251, as shown
    std::filesystem::path proposedSaveFile;
    int reportsShown = 0;
    std::vector<std::uint64_t> progress; // positions passed to Progress()
    std::uint64_t progressMaximum = 0;
    bool progressVisible = false;
    std::string recordCount;
    std::function<void(std::uint64_t)> onProgress; // what happens meanwhile, at each step

    bool Ask(std::string_view question) override
    {
        questions.emplace_back(question);
        return answer;
    }
    void Message(std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& proposed) override
    {
        proposedSaveFile = proposed;
        return saveFile;
    }
    ReportDocument& Report() override { return report; }
    void ShowReport() override { ++reportsShown; }
    void ProgressStart(std::uint64_t maximum) override
    {
        progressMaximum = maximum;
        progressVisible = true;
    }
    void Progress(std::uint64_t position) override
    {
        progress.push_back(position);
        if (onProgress)
            onProgress(position);
    }
    void ProgressEnd() override { progressVisible = false; }
    void ShowRecordCount(std::string_view text) override { recordCount = text; }
    TimeOfDay Now() override { return clock; }

    // The report's lines in UTF-8, for readable comparisons.
    std::vector<std::string> reportLines() const;

    ReportDocument report;
};

} // namespace venqor::test

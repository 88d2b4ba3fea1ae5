// The desktop program's costs beside the core's: showing a report of 100,000 lines in the
// viewer (against the bare text without colours), and a name check run from the main
// window's button (with its progress bar, record counter and event processing) against
// the same run through the core with a silent host, as venqor-cli runs it.
//
//   build/bench/gui_bench          (QT_QPA_PLATFORM defaults to offscreen)

#include "gui_support.h"

#include "commands/CommandList.h"
#include "gui/GuiText.h"
#include "gui/ReportView.h"
#include "gui/uVenqor.h"
#include "report/ReportDocument.h"
#include "base/CodePage.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace venqor;

constexpr int ReportLines = 100000;
constexpr int CheckRecords = 200000;

// A report like a name check's: a third of the lines blue errors, a third marked with a
// red stretch, the rest plain.
const ReportDocument& longReport()
{
    static const ReportDocument report = [] {
        ReportDocument r;
        const std::string name = Utf8ToCp1251("КУЗНЕЦОВА МАРИЯ ИВАНОВНА");
        for (int i = 0; i < ReportLines; ++i) {
            const std::string number = std::to_string(i);
            switch (i % 3) {
            case 0:
                r.SetColor(ReportColor::Blue);
                r.AppendLine(Utf8ToCp1251("    ") + number
                    + Utf8ToCp1251(" E: Расхождения в ФИО у стр.№ 345-678-912 26"));
                break;
            case 1:
                r.SetColor(ReportColor::WindowText);
                r.AppendLine(Utf8ToCp1251("   -  Числится ") + name.substr(0, 16));
                r.SetColor(ReportColor::Red);
                r.InsertText(name.substr(16, 2));
                r.SetColor(ReportColor::WindowText);
                r.InsertText(name.substr(18));
                break;
            default:
                r.SetColor(ReportColor::WindowText);
                r.AppendLine(Utf8ToCp1251("   -  Указано  ") + name);
            }
        }
        return r;
    }();
    return report;
}

void BM_ShowReport(benchmark::State& state)
{
    QPlainTextEdit view;
    view.setFont(gui::ReportFont());
    view.resize(800, 600);
    view.show();
    for (auto _ : state) {
        gui::ShowDocument(view, longReport());
        QApplication::processEvents(); // lay out and paint the first screen
    }
    state.counters["lines"] = view.document()->blockCount();
}
BENCHMARK(BM_ShowReport)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShowPlainText(benchmark::State& state)
{
    QString text;
    for (const std::string& line : longReport().PlainLines())
        text += gui::FromCp1251(line) + QLatin1Char('\n');
    QPlainTextEdit view;
    view.setFont(gui::ReportFont());
    view.resize(800, 600);
    view.show();
    for (auto _ : state) {
        view.setPlainText(text);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ShowPlainText)->Unit(benchmark::kMillisecond)->Iterations(5);

// A program directory with EDV4.SCH, the register and data.txt from make_check_data.
const test::TempDir& checkData()
{
    static const test::TempDir dir;
    static const bool made = [] {
        const std::string command
            = std::string(MAKE_CHECK_DATA) + " " + dir.path().string() + " " + std::to_string(CheckRecords);
        if (std::system(command.c_str()) != 0)
            std::abort();
        std::filesystem::copy_file(SAMPLE_SCHEMA, dir.path() / "EDV4.SCH");
        return true;
    }();
    (void)made;
    return dir;
}

// The host of a run at the command line with --quiet: Yes to the question, the rest
// dropped; it times the run from the question to the summary message.
class SilentHost final : public RunHost {
public:
    bool Ask(std::string_view) override
    {
        clock.start();
        return true;
    }
    void Message(std::string_view) override { seconds = clock.nsecsElapsed() / 1e9; }
    std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path&) override { return {}; }
    ReportDocument& Report() override { return report; }
    void ShowReport() override { }
    void ShowRecordCount(std::string_view) override { }
    TimeOfDay Now() override { return SystemTimeOfDay(); }
    void ProgressStart(std::uint64_t) override { }
    void Progress(std::uint64_t) override { }
    void ProgressEnd() override { }

    ReportDocument report;
    QElapsedTimer clock;
    double seconds = 0;
};

TMainState checkState()
{
    TMainState state = DefaultMainState(checkData().path());
    state.dataFile = checkData().path() / "data.txt";
    state.registerLocation = checkData().path().string();
    state.Sql1Text = "SELECT * FROM NUMS WHERE NUM=:NUM";
    return state;
}

// The name check from the window's button and through the core in turns, so that both see
// the same load of the machine; the iteration time is the window's, the counters give both
// and their ratio.
void BM_CheckFromTheWindowBesideTheCore(benchmark::State& state)
{
    gui::TfrmMain window(checkData().path());
    window.findChild<QLineEdit*>(QStringLiteral("dedtNUMS"))
        ->setText(QString::fromStdString(checkData().path()));
    window.findChild<QLineEdit*>(QStringLiteral("FilenameEdit1"))
        ->setText(QString::fromStdString((checkData().path() / "data.txt").string()));
    window.findChild<QComboBox*>(QStringLiteral("cbxSchList"))->setCurrentText(QStringLiteral("EDV4"));
    window.show();
    auto* button = window.findChild<QPushButton*>(QStringLiteral("btnCheckStrNum"));
    test::DialogAnswerer answers;
    QElapsedTimer clock;
    double windowSeconds = 0, windowTotal = 0, coreTotal = 0;
    answers.onMessage = [&](const QString& text) {
        if (text == QStringLiteral("Начать обработку?"))
            clock.start();
        else
            windowSeconds = clock.nsecsElapsed() / 1e9;
    };
    for (auto _ : state) {
        TMainState s = checkState();
        SilentHost host;
        FindCommand("check")->run(s, host);
        coreTotal += host.seconds;
        button->click();
        windowTotal += windowSeconds;
        state.SetIterationTime(windowSeconds);
    }
    state.counters["core_ms"] = coreTotal * 1000 / double(state.iterations());
    state.counters["window_ms"] = windowTotal * 1000 / double(state.iterations());
    state.counters["window/core"] = windowTotal / coreTotal;
}
BENCHMARK(BM_CheckFromTheWindowBesideTheCore)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

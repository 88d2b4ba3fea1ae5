// The line numbers of the report writers and the counts of the summary, from the first
// line to beyond what 32 bits hold.

#include "app/MainState.h"
#include "commands/AssignmentReport.h"
#include "report/ReportDocument.h"
#include "run/ProcessingRun.h"
#include "run/RunReport.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace venqor {
namespace {

struct NumberCase {
    const char* name;
    std::int64_t line;
    const char* number; // as the report writes it
};

const NumberCase numberCases[] = {
    { "one_digit_right_aligned", 7, "    7" },
    { "five_digits_fill_the_column", 99999, "99999" },
    { "six_digits_widen_it", 100000, "100000" },
    { "beyond_32_bits", 2147483653, "2147483653" },
    { "beyond_32_unsigned_bits", 5000000000, "5000000000" },
};

class LineNumbers : public testing::TestWithParam<NumberCase> { };

TEST_P(LineNumbers, EveryWriterNumbersItsLineAsPrintfWould)
{
    const NumberCase& c = GetParam();
    ReportDocument document;
    RunCounters counters;
    counters.LinesRead = c.line;
    RunReport report(document, counters);
    report.AddNoteLine({ "note-kind" }, "note");
    report.AddErrorLine({ "error-kind", "123-456-789 64" }, "error");
    AssignmentReport assignment(document, counters);
    assignment.AddNoteLine({ "assigned-kind" }, "assigned");
    const std::string number = c.number;
    EXPECT_EQ(document.PlainLines(),
        (std::vector<std::string> { "", std::string(RunReport::ColumnHeader()), number + " note",
            std::string(RunReport::ColumnHeader()), number + " E: error", number + " assigned" }));
    // Each numbered line is a finding: its line, its kind and what follows its number.
    EXPECT_EQ(document.findings(),
        (std::vector<Finding> { { c.line, "note-kind", "", "", "", "note" },
            { c.line, "error-kind", "123-456-789 64", "", "", "E: error" },
            { c.line, "assigned-kind", "", "", "", "assigned" } }));
}

INSTANTIATE_TEST_SUITE_P(Cases, LineNumbers, testing::ValuesIn(numberCases),
    [](const testing::TestParamInfo<NumberCase>& row) { return row.param.name; });

TEST(RunCounters, TheSummaryCountsBeyond32Bits)
{
    const test::TempDir dir;
    TMainState state = DefaultMainState(dir.path());
    test::ScriptedHost host;
    ProcessingRun run(state, host);
    RunCounters& counters = run.Counters();
    counters.LinesRead = 4294967301;
    counters.HeaderCount = 2147483648;
    counters.RecordCount = 2147483649;
    counters.BenefitCount = 3;
    run.SummaryLine();
    EXPECT_EQ(host.reportLines().back(),
        "Прочитано 4294967301 строк, найдено заголовков: 2147483648, записей: 2147483649, льгот: 3");
}

} // namespace
} // namespace venqor

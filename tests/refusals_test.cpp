// What the processing commands refuse before their run begins: each refusal shows its one
// message (or none, for a question answered No and a cancelled save dialog), starts no
// report, asks nothing more and writes nothing.
#include "commands/AddressCorrection.h"
#include "commands/NameCheck.h"
#include "commands/NumberAssignment.h"

#include "base/CodePage.h"
#include "support/CommandRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor {
namespace {

constexpr std::string_view Schema = test::EveryFieldSchema;

struct Command {
    const char* name;
    test::CommandFunction run;
};
const Command Commands[]
    = { { "check", CheckNames }, { "assign", AssignNumbers }, { "fix-addresses", CorrectAddresses } };

constexpr const char* NotRefused = "-"; // the command runs

TEST(Refusals, EachCommandRefusesBeforeItsRunWithItsMessage)
{
    struct Case {
        const char* edge;
        std::string schema;
        const char* messages[3]; // check, assign, fix-addresses; "" for none
        bool answer = true;
        bool running = false;
        bool saveCancelled = false;
    } cases[] = {
        { "schema without fields", "[EMPTY]\r\n",
            { "Ошибка в схеме!", "Ошибка в схеме!", "Ошибка в схеме!" } },
        { "schema lacking fields", "Field1 = STRNUM,CHAR,14,00,01\r\nField2 = SEX,CHAR,1,00,20\r\n",
            { "В заданной схеме нет полей FAM, NAM, OTCH, BIRTH",
                "В заданной схеме нет полей FAM, NAM, OTCH, BIRTH",
                "В заданной схемы нет полей ADRREG/ADRFACT" } },
        { "a field it reads beyond the line buffer",
            std::string(Schema) + "Field10 = BIRTH2,DATE,10,00,2040\r\n",
            { NotRefused, "Поле BIRTH2 выходит за границу строки",
                "Поле BIRTH2 выходит за границу строки" } },
        { "its fields beyond the line buffer",
            "Field1 = STRNUM,CHAR,14,00,01\r\nField2 = FAM,CHAR,15,00,15\r\nField3 = NAM,CHAR,15,00,30\r\n"
            "Field4 = OTCH,CHAR,15,00,45\r\nField5 = BIRTH,DATE,10,00,2040\r\nField6 = SEX,CHAR,1,00,70\r\n"
            "Field7 = ADRFACT,CHAR,20,00,2030\r\n",
            { "Поле BIRTH выходит за границу строки", "Поле BIRTH выходит за границу строки",
                "Поле ADRFACT выходит за границу строки" } },
        { "question answered No", std::string(Schema), { "", "", "" }, false },
        { "another run under way", std::string(Schema),
            { "Обработка уже идёт: дождитесь её окончания", "Обработка уже идёт: дождитесь её окончания",
                "Обработка уже идёт: дождитесь её окончания" },
            true, true },
        { "save dialog cancelled", std::string(Schema), { NotRefused, "", "" }, true, false, true },
    };
    const std::string data = Utf8ToCp1251("О11223344595ИВАНОВ    ИВАН      ИВАНОВИЧ  1950-03-15М,1") + "\r\n";
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < std::size(Commands); ++i) {
            const std::string message = c.messages[i];
            if (message == NotRefused)
                continue;
            SCOPED_TRACE(std::string(Commands[i].name) + ": " + c.edge);
            test::CommandRun run(c.schema);
            run.host.answer = c.answer;
            run.state.Running = c.running;
            if (c.saveCancelled)
                run.host.saveFile.reset();
            run.run(Commands[i].run, data);
            EXPECT_FALSE(run.result.started);
            EXPECT_TRUE(run.host.report.lines().empty());
            EXPECT_EQ(run.host.reportsShown, 0);
            EXPECT_EQ(run.host.messages,
                message.empty() ? std::vector<std::string>()
                                : std::vector<std::string> { Utf8ToCp1251(message) });
            EXPECT_EQ(run.host.questions.size(), !c.answer || c.saveCancelled ? 1u : 0u);
            EXPECT_EQ(run.files(), (std::vector<std::string> { "DATA.TXT", "TEST.SCH" }));
            EXPECT_EQ(run.data(), data);
            EXPECT_EQ(run.state.Running, c.running);
        }
    }
}

} // namespace
} // namespace venqor

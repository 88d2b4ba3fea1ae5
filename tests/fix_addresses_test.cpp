#include "commands/AddressCorrection.h"

#include "base/CodePage.h"
#include "scan/RecodeTables.h"
#include "support/CommandRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor {
namespace {

using test::TempDir;

TEST(CorrectAddress, WorkedExamples)
{
    struct Case {
        const char* name;
        const char* in;
        const char* out;
        bool changed;
    } cases[] = {
        { "leading comma", ",601234,ул Мира,5", "601234,ул Мира,5", true },
        { "doubled comma", "601234,ул Мира,,5", "601234,ул Мира,5", true },
        { "leading comma and only the first doubled one", ",601234,,ул Мира,,5", "601234,ул Мира,,5", true },
        { "two leading commas lose one", ",,ул Мира", ",ул Мира", true },
        { "short number", "123,ул Мира", "600000,ул Мира", true },
        { "number after blanks", "  12 ул Мира", "600000 ул Мира", true },
        { "just above the range", "602360,ул Мира", "600000,ул Мира", true },
        { "ten digits, eight count", "1234567890,ул Мира", "600000,ул Мира", true },
        { "leading zeros", "0000012,ул Мира", "600000,ул Мира", true },
        { "digits up to a hyphen", "12-34,ул Мира", "600000-34,ул Мира", true },
        { "number alone", "123", "600000", true },
        { "lowest in range", "600000,ул Мира", "600000,ул Мира", false },
        { "highest in range", "602359,ул Мира", "602359,ул Мира", false },
        { "in range after a leading zero", "0601234,ул Мира", "0601234,ул Мира", false },
        { "zero", "000000,ул Мира", "000000,ул Мира", false },
        { "no number", "ул Мира,5", "ул Мира,5", false },
        { "comma after a blank", " ,123", " ,123", false },
        { "comma alone", ",", "", true },
        { "empty", "", "", false },
    };
    for (const Case& c : cases) {
        std::string address = Utf8ToCp1251(c.in);
        bool changed = false;
        CorrectAddress(address, changed);
        EXPECT_EQ(Cp1251ToUtf8(address), c.out) << c.name;
        EXPECT_EQ(changed, c.changed) << c.name;
        // The flag is never cleared.
        changed = true;
        CorrectAddress(address, changed);
        EXPECT_TRUE(changed) << c.name;
    }
}

TEST(CorrectAddress, ResultIsCutTo200Characters)
{
    std::string address = "12," + std::string(197, 'x');
    bool changed = false;
    CorrectAddress(address, changed);
    EXPECT_EQ(address, "600000," + std::string(193, 'x'));
}

// TYPE, NAME, ADRREG (20), ADRFACT (20), TAIL: record length 50. Data files in code page 866.
constexpr std::string_view Schema = "[TEST]\r\n"
                                    "FILETYPE = FIXED\r\n"
                                    "CHARSET = CYRR\r\n"
                                    "Field1 = TYPE,CHAR,1,00,00\r\n"
                                    "Field2 = NAME,CHAR,5,00,01\r\n"
                                    "Field3 = ADRREG,CHAR,20,00,06\r\n"
                                    "Field4 = ADRFACT,CHAR,20,00,26\r\n"
                                    "Field5 = TAIL,CHAR,4,00,46\r\n";

std::string pad(std::string_view utf8, std::size_t width)
{
    std::string s = Utf8ToCp1251(utf8);
    s.resize(width, ' ');
    return s;
}

std::string record(std::string_view reg, std::string_view fact)
{
    return pad("О", 1) + pad("ИМЯ", 5) + pad(reg, 20) + pad(fact, 20) + pad("ХВ", 4);
}

std::string oemFile(const std::vector<std::string>& lines)
{
    std::string data;
    for (const std::string& l : lines) {
        for (const char c : l)
            data += AnsiToOem(c);
        data += "\r\n";
    }
    return data;
}

class FixRun : public test::CommandRun {
public:
    FixRun()
        : CommandRun(Schema)
    {
    }

    std::vector<std::string> run(const std::vector<std::string>& lines)
    {
        return CommandRun::run(CorrectAddresses, oemFile(lines));
    }
};

TEST(AddressCorrection, RecordLinesInAndOut)
{
    struct Case {
        const char* name;
        std::vector<std::string> in, out; // Windows-1251
        int corrected;
    } cases[] = {
        { "nothing to mend", { record("600000,ул Мира", "") }, { record("600000,ул Мира", "") }, 0 },
        { "only the second address changes", { record("600000,ул Мира", ",600001,ул Мира") },
            { record("600000,ул Мира", "600001,ул Мира") }, 1 },
        { "both change, counted once", { record(",600000,ул Мира", "12,ул Мира") },
            { record("600000,ул Мира", "600000,ул Мира") }, 1 },
        { "second address only a comma", { record("600000", ",") }, { record("600000", "") }, 1 },
        { "two leading commas lose one per run", { record(",,ул Мира", "") }, { record(",ул Мира", "") }, 1 },
        { "a longer address is cut at the field", { record("12,ул Мира,д 1,кв 99", "") },
            { record("600000,ул Мира,д 1,к", "") }, 1 },
        { "short record line is padded", { record("600000", "").substr(0, 20) },
            { record("600000", "").substr(0, 20) + std::string(30, ' ') }, 0 },
        { "a change does not pass to the next line",
            { record(",600000", ""), record("600000", "600000"), record("600000", ",,") },
            { record("600000", ""), record("600000", "600000"), record("600000", ",") }, 2 },
    };
    for (const Case& c : cases) {
        FixRun run;
        run.run(c.in);
        EXPECT_EQ(run.output(), oemFile(c.out)) << c.name;
        EXPECT_EQ(run.lastSummary(), "Исправлено адресов: " + std::to_string(c.corrected)) << c.name;
    }
}

TEST(AddressCorrection, WholeReportAndOutputOfARun)
{
    FixRun run;
    run.state.format = Utf8ToCp1251("ЕДВ-4");
    const std::vector<std::string> in = {
        Utf8ToCp1251("В4.0       01.12.2026    Управление соцзащиты"),
        record(",600000,ул Мира", ""),
        Utf8ToCp1251("Л001 выплата,,12"),
        "",
        record("600000,ул Мира", ""),
    };
    const auto report = run.run(in);
    const std::vector<std::string> expected = {
        "Правка адресов - удаление ведущих запятых",
        " Обрабатывается файл \"" + run.state.dataFile.string() + "\"",
        "  Строки формата \"ЕДВ-4\" типа \"О\" по схеме \"TEST\"",
        " Результат обработки в Файле \"" + run.dir.file("OUT.TXT") + "\"",
        "01.12.2026     \"Управление соцзащиты\"",
        "Прочитано 5 строк, найдено заголовков: 1, записей: 2, льгот: 1",
        "Исправлено адресов: 1",
    };
    EXPECT_EQ(report, expected);
    EXPECT_EQ(run.output(), oemFile({ in[0], record("600000,ул Мира", ""), in[2], in[4] }));
    EXPECT_EQ(run.host.questions, std::vector<std::string> { Utf8ToCp1251("Начать правку адресов?") });
    EXPECT_EQ(run.host.proposedSaveFile, run.dir.path() / "DATA.TXTnew");
    EXPECT_EQ(run.host.messages,
        std::vector<std::string> { Utf8ToCp1251("Прочитано 5 строк, проставлено 0 номеров, исправлено: 1") });
    EXPECT_EQ(run.host.reportsShown, 1);
    EXPECT_TRUE(run.result.started);
    EXPECT_FALSE(run.state.Running);
}

TEST(AddressCorrection, ASchemaWithOneAddressFieldMendsOnlyThatOne)
{
    for (const char* missing : { "ADRREG", "ADRFACT" }) {
        FixRun run;
        std::string schema(Schema);
        schema.replace(schema.find(missing), std::string_view(missing).size(), "OTHER");
        run.dir.write("TEST.SCH", schema);
        run.run({ record(",1", ",1") });
        const bool regKept = std::string_view(missing) == "ADRREG";
        EXPECT_EQ(run.output(), oemFile({ record(regKept ? ",1" : "600000", regKept ? "600000" : ",1") }))
            << missing;
        EXPECT_EQ(run.lastSummary(), "Исправлено адресов: 1") << missing;
    }
}

TEST(AddressCorrection, AnAddressBeyond200CharactersIsWrittenBackWithItsFirst200)
{
    FixRun run;
    run.dir.write(
        "TEST.SCH", "CHARSET = CYRR\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = ADRREG,CHAR,250,00,01\r\n");
    const std::string address = "12," + std::string(247, 'x');
    run.run({ pad("О", 1) + address });
    EXPECT_EQ(
        run.output(), oemFile({ pad("О", 1) + "600000," + std::string(193, 'x') + std::string(50, ' ') }));
}

} // namespace
} // namespace venqor

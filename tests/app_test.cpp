#include "app/Formats.h"
#include "app/MainState.h"
#include "app/ProgramPlaces.h"
#include "app/Settings.h"

#include "base/CodePage.h"
#include "scan/ScanCSV.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace venqor {

void PrintTo(const ProgramPlaces& places, std::ostream* out)
{
    *out << "schemas in";
    for (const auto& dir : places.SchemaDirs)
        *out << ' ' << dir;
    *out << ", files in " << places.ProgramDir;
}

namespace {

using test::TempDir;

TEST(ProgramPlaces, EachLayoutFindsItsSchemasAndKeepsItsFilesWhereItMay)
{
    TempDir dir;
    const std::filesystem::path root = dir.path();
    for (const char* place : { "portable", "prefix/share/venqor", "prefix/bin", "home/.config/venqor" })
        std::filesystem::create_directories(root / place);
    dir.write("portable/EDV4.SCH", "schema");
    dir.write("prefix/share/venqor/EDV4.SCH", "installed");
    const std::filesystem::path config = root / "home/.config/venqor";
    const std::filesystem::path share = root / "prefix/share/venqor";
    struct Case {
        const char* layout;
        PlaceFacts facts;
        ProgramPlaces places;
    } cases[] = {
        { "VENQOR_HOME names one directory for everything", { root / "elsewhere", config, root / "portable" },
            ProgramPlaces(root / "elsewhere") },
        { "a portable copy: schemas beside the program, which may be written",
            { {}, config, root / "portable" },
            ProgramPlaces({ config, root / "portable", root / "share/venqor" }, root / "portable") },
        { "an installed or unpacked package: files in the configuration directory",
            { {}, config, root / "prefix/bin" },
            ProgramPlaces({ config, root / "prefix/bin", share }, config) },
        { "no configuration directory known", { {}, {}, root / "prefix/bin" },
            ProgramPlaces({ root / "prefix/bin", share }, {}) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChoosePlaces(c.facts), c.places) << c.layout;

    // A schema of the user's own comes before the one installed; the others are still found.
    dir.write("home/.config/venqor/EDV4.SCH", "the user's own");
    const ProgramPlaces installed = ChoosePlaces({ {}, config, root / "prefix/bin" });
    EXPECT_EQ(FindSchemaFile(installed.SchemaDirs, "EDV4.SCH"), config / "EDV4.SCH");
    dir.write("prefix/share/venqor/FOMS.SCH", "installed");
    EXPECT_EQ(FindSchemaFile(installed.SchemaDirs, "FOMS.SCH"), share / "FOMS.SCH");
    EXPECT_EQ(FindSchemaFile(installed.SchemaDirs, "NONE.SCH"), config / "NONE.SCH");
}

TEST(Settings, QueryFlagTakesTheFirstCharacterOfTheValue)
{
    struct Case {
        const char* value;
        bool useQuery;
    } cases[] = { { "y", true }, { "yes", true }, { "Y", true }, { "1", true }, { "T", false }, { "", false },
        { "0", false } };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("venqor.ini", std::string("[Init]\r\nQuery=") + c.value + "\r\n");
        TMainState s = DefaultMainState(dir.path());
        ReadSettings(s);
        EXPECT_EQ(s.UseQuery, c.useQuery) << "Query=" << c.value;
    }
}

TEST(Settings, FirstStartGivesTheDefaultsAndClosingWritesEveryKey)
{
    TempDir dir;
    TMainState s = DefaultMainState(dir.path());
    ReadSettings(s);
    EXPECT_EQ(s.registerLocation, "");
    EXPECT_EQ(s.dataFile, dir.path().string());
    EXPECT_EQ(s.Sql1Text, "SELECT * FROM NUMS WHERE NUM=:NUM");
    EXPECT_EQ(s.Sql2Text, "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH");
    EXPECT_FALSE(s.UseQuery);

    s.byQuery = true; // a change of the box that no command took up is not saved
    WriteSettings(s);
    const std::string ini = test::readFile(dir.file("venqor.ini"));
    for (const char* line :
        { "[Init]\r\n", "NUMS=\r\n", "LgotName=", "SQL1=SELECT * FROM NUMS WHERE NUM=:NUM\r\n",
            "SQL2=SELECT * FROM NUMS WHERE FAM=:FAM", "Query=0\r\n", "PrinterPort=/dev/lp0\r\n" })
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
}

TEST(Settings, WindowsTextAndOtherKeysSurviveARoundTrip)
{
    TempDir dir;
    const std::string location = Utf8ToCp1251("Д:\\Реестр\\БД");
    dir.write("venqor.ini", "[Other]\r\nKeep=me\r\n[Init]\r\nNUMS=" + location + "\r\nQuery=1\r\n");
    TMainState s = DefaultMainState(dir.path());
    ReadSettings(s);
    EXPECT_EQ(s.registerLocation, "Д:\\Реестр\\БД"); // as the system spells names
    EXPECT_TRUE(s.UseQuery);
    WriteSettings(s);
    const std::string ini = test::readFile(dir.file("venqor.ini"));
    EXPECT_NE(ini.find("NUMS=" + location + "\r\n"), std::string::npos);
    EXPECT_NE(ini.find("Keep=me"), std::string::npos);
    EXPECT_NE(ini.find("Query=1"), std::string::npos);
}

TEST(Formats, ApplyFormatSetsSchemaTableAndMarkerOnlyForAnExactName)
{
    struct Case {
        const char* format;
        const char* schema;
        const char* table;
        const char* marker;
    } cases[] = {
        { "ЕДВ-3", "EDV3", "EDV3.DBF", "О" },
        { "ЕДВ-4", "EDV4", "EDV4.DBF", "О" },
        { "ЕДВ-4В", "EDV4V", "EDV4V.DBF", "О" },
        { "ФОМС", "FOMS", "FOMS.DBF", "М" },
        { "ФСС", "FSS", "FSS.DBF", "О" },
        { "ОСЗН", "OSZN", "OSZN.DBF", "О" },
        { "фомс", "EDV4", "edv.dbf", "О" }, // lower case: nothing changes
        { "", "EDV4", "edv.dbf", "О" },
    };
    for (const Case& c : cases) {
        TMainState s = DefaultMainState(ProgramPlaces());
        s.format = Utf8ToCp1251(c.format);
        ApplyFormat(s);
        EXPECT_EQ(s.schema, c.schema) << c.format;
        EXPECT_EQ(s.tableName, c.table) << c.format;
        EXPECT_EQ(Cp1251ToUtf8(s.recordType), c.marker) << c.format;
    }
}

TEST(Formats, DetectFormatReadsTheFirstLineInCodePage866)
{
    struct Case {
        const char* name;
        std::string firstLine; // code page 866 bytes
        const char* format;
        const char* label;
        const char* schema;
    } cases[] = {
        { "EDV-3",
            "\x82"
            "3.0 header",
            "ЕДВ-3", "Формат В3.0 h", "EDV3" },
        { "EDV-4",
            "\x82"
            "4.0",
            "ЕДВ-4", "Формат В4.0", "EDV4" },
        { "other version",
            "\x82"
            "5.0 xx",
            "ФОМС", "Формат В5.0 x", "FOMS" },
        { "empty file", "", "ФОМС", "Формат ", "FOMS" },
    };
    for (const Case& c : cases) {
        TempDir dir;
        TMainState s = DefaultMainState(dir.path());
        s.format = Utf8ToCp1251("ФОМС");
        ApplyFormat(s);
        s.dataFile = dir.write("data.txt", c.firstLine.empty() ? "" : c.firstLine + "\r\nnext\r\n");
        Scan.Options.RecodeOem = false; // as a run over a Windows-1251 file leaves it
        DetectFormat(s);
        EXPECT_EQ(Cp1251ToUtf8(s.format), c.format) << c.name;
        EXPECT_EQ(Cp1251ToUtf8(s.formatLabel), c.label) << c.name;
        EXPECT_EQ(s.schema, c.schema) << c.name;
    }
}

TEST(Formats, DetectFormatLeavesEverythingForANameThatIsNoFileOrDuringARun)
{
    TempDir dir;
    TMainState s = DefaultMainState(dir.path());
    s.dataFile = dir.file("missing.txt");
    DetectFormat(s);
    EXPECT_EQ(Cp1251ToUtf8(s.formatLabel), "Формат");
    s.dataFile = dir.path().string(); // a directory
    DetectFormat(s);
    EXPECT_EQ(Cp1251ToUtf8(s.formatLabel), "Формат");
    s.dataFile = dir.write("data.txt",
        "\x82"
        "3.0\r\n");
    s.Running = true;
    DetectFormat(s);
    EXPECT_EQ(Cp1251ToUtf8(s.format), "ЕДВ-4");
}

} // namespace
} // namespace venqor

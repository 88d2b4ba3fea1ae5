#include "app/Settings.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "base/CodePage.h"
#include "scan/TextFile.h"

#include <filesystem>

namespace venqor {

namespace {

constexpr const char* Section = "Init";

#ifdef _WIN32
constexpr const char* DefaultPrinterPort = "LPT1";
#else
constexpr const char* DefaultPrinterPort = "/dev/lp0";
#endif

// One row per key: its default and how it is read into and written from the state.
struct SettingKey {
    const char* key;
    std::string (*defaultValue)(const TMainState&);
    void (*read)(TMainState&, std::string value);
    std::string (*write)(const TMainState&);
};

bool isYes(const std::string& v)
{
    return !v.empty() && (v[0] == '1' || v[0] == 'Y' || v[0] == 'y');
}

const SettingKey Keys[] = {
    { "NUMS", [](const TMainState&) { return std::string(); },
        [](TMainState& s, std::string v) { s.registerLocation = Cp1251ToUtf8(v); },
        [](const TMainState& s) { return Utf8ToCp1251(s.registerLocation); } },
    { "LgotName", [](const TMainState& s) { return PathToCp1251(s.ProgramDir); },
        [](TMainState& s, std::string v) { s.dataFile = Cp1251ToPath(v); },
        [](const TMainState& s) { return PathToCp1251(s.dataFile); } },
    { "SQL1", [](const TMainState&) { return std::string("SELECT * FROM NUMS WHERE NUM=:NUM"); },
        [](TMainState& s, std::string v) { s.Sql1Text = std::move(v); },
        [](const TMainState& s) { return s.Sql1Text; } },
    { "SQL2",
        [](const TMainState&) {
            return std::string(
                "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH");
        },
        [](TMainState& s, std::string v) { s.Sql2Text = std::move(v); },
        [](const TMainState& s) { return s.Sql2Text; } },
    { "Query", [](const TMainState&) { return std::string("0"); },
        [](TMainState& s, std::string v) { s.UseQuery = isYes(v); },
        [](const TMainState& s) { return std::string(s.UseQuery ? "1" : "0"); } },
    { "PrinterPort", [](const TMainState&) { return std::string(DefaultPrinterPort); },
        [](TMainState& s, std::string v) { s.PrinterPort = Cp1251ToUtf8(v); },
        [](const TMainState& s) { return Utf8ToCp1251(s.PrinterPort); } },
};

// Windows-1251 bytes as they are, one value per key, key=value without blanks.
void configure(CSimpleIniA& ini)
{
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
}

} // namespace

std::filesystem::path SettingsPath(const TMainState& state)
{
    return state.ProgramDir / "venqor.ini";
}

void ReadSettings(TMainState& state)
{
    CSimpleIniA ini;
    configure(ini);
    const bool loaded = ini.LoadFile(SettingsPath(state).c_str()) == SI_OK;
    for (const SettingKey& k : Keys) {
        const std::string fallback = k.defaultValue(state);
        k.read(state, loaded ? ini.GetValue(Section, k.key, fallback.c_str()) : fallback);
    }
}

void WriteSettings(const TMainState& state)
{
    const std::filesystem::path path = SettingsPath(state);
    CSimpleIniA ini;
    configure(ini);
    ini.LoadFile(path.c_str()); // keep the rest of an existing file
    for (const SettingKey& k : Keys)
        ini.SetValue(Section, k.key, k.write(state).c_str());
    std::string text;
    ini.Save(text);
    // Windows line ends, as the office's other programs expect of an INI file; the file is
    // replaced only by a complete new one.
    OutTextFile out(path);
    for (const char c : text) {
        if (c == '\n')
            out.Write('\r');
        out.Write(c);
    }
    out.Commit();
}

} // namespace venqor

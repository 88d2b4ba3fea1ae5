// Writes a data file for the name-check benchmark and the register it is checked against.
//
//   make_check_data DIR RECORDS [SEED]
//
// DIR/NUMS.DB holds persons 0..RECORDS-1 of the synthetic register; DIR/data.txt holds one
// record line per person in the layout of samples/EDV4.SCH, in code page 866, with header
// lines and benefit lines between them. 90% of the records agree with the register; the
// rest are spread over a typo in the surname, a wrong birth date, a bad check number, a
// missing number and a number the register lacks.

#include "register/DemoRegister.h"
#include "register/StrNum.h"
#include "scan/RecodeTables.h"
#include "scan/TextFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace venqor;

namespace {

void put(std::string& line, std::string_view text, std::size_t width)
{
    const std::size_t n = std::min(text.size(), width);
    line.append(text.substr(0, n));
    line.append(width - n, ' ');
}

std::string isoDate(Date d)
{
    const Ymd ymd = DateToYmd(d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", ymd.year, ymd.month, ymd.day);
    return buf;
}

void writeOem(OutTextFile& out, const std::string& line)
{
    for (const char c : line)
        out.Write(AnsiToOem(c));
    out.WriteLineEnd();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_check_data DIR RECORDS [SEED]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::int64_t records = std::atoll(argv[2]);
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;

    WriteDemoRegister(dir, records, seed);

    OutTextFile out(dir + "/data.txt");
    std::string line;
    for (std::int64_t i = 0; i < records; ++i) {
        if (i % 1000 == 0) {
            line = "\xC2"
                   "4.0       01.12.2026    "; // В4.0 header
            line += "\xCE\xD2\xC4\xC5\xCB " + std::to_string(i / 1000);
            writeOem(out, line);
        }
        DemoPerson p = DemoPersonAt(seed, i);
        std::string number = StrNumToText(p.num);
        switch (i % 50) {
        case 1: // a typo in the surname
            p.fam[1] = p.fam[1] == '\xC0' ? '\xCE' : '\xC0';
            break;
        case 2: // a wrong birth date
            p.birth.days += 3;
            break;
        case 3: // a bad check number
            number[13] = number[13] == '9' ? '0' : static_cast<char>(number[13] + 1);
            break;
        case 4: // no number
            number.clear();
            break;
        case 5: // a number the register lacks
            number = StrNumToText(DemoPersonAt(seed, records + i).num);
            break;
        }
        line = "\xCE"; // О
        put(line, number, 14);
        put(line, p.fam, 25);
        put(line, p.nam, 20);
        put(line, p.otch, 20);
        put(line, isoDate(p.birth), 10);
        put(line, std::string_view(&p.sex, 1), 1);
        put(line, "610000,\xE3 \xCA\xE8\xF0\xEE\xE2,\xF3\xEB \xCB\xE5\xED\xE8\xED\xE0,1", 60);
        put(line, "", 60);
        put(line, "001", 3);
        put(line, "1200.00", 10);
        put(line, "2026-01-01", 10);
        writeOem(out, line);
        if (i % 10 == 9)
            writeOem(out,
                "\xCB"
                "001 \xC5\xC4\xC2"); // Л001 ЕДВ
    }
    out.Commit();
    return 0;
}

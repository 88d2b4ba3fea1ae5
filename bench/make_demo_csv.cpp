// Writes the synthetic register as a CSV file in UTF-8, as register import takes it and as
// psql's \copy (FORMAT csv, HEADER) takes it.
//
//   make_demo_csv FILE ROWS [SEED]
//
// The rows are persons 0..ROWS-1 of the seed (default 1), in that order; DATMOD is empty.

#include "register/DemoRegister.h"
#include "base/CodePage.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

using namespace venqor;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: make_demo_csv FILE ROWS [SEED]\n";
        return 2;
    }
    const std::int64_t rows = std::atoll(argv[2]);
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    std::ofstream out(argv[1], std::ios::binary);
    out << "NUM,FAM,NAM,OTCH,BIRTH,COND,SEX,DATMOD\n";
    std::string line;
    for (std::int64_t i = 0; i < rows; ++i) {
        const DemoPerson p = DemoPersonAt(seed, i);
        const Ymd birth = DateToYmd(p.birth);
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", birth.year, birth.month, birth.day);
        line = std::to_string(p.num) + "," + Cp1251ToUtf8(p.fam) + "," + Cp1251ToUtf8(p.nam) + ","
            + Cp1251ToUtf8(p.otch) + "," + date + "," + (p.cond == ' ' ? "" : std::string(1, p.cond)) + ","
            + Cp1251ToUtf8(std::string(1, p.sex)) + ",\n";
        out << line;
    }
    out.close();
    if (!out) {
        std::cerr << "make_demo_csv: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}

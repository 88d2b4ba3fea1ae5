#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace venqor::test {

// A record of a dBASE register as old register programs wrote them.
struct DbfRecord {
    std::int32_t num;
    const char* fam; // UTF-8, written in the file's code page
    const char* nam;
    const char* otch;
    const char* birth; // the raw D field: YYYYMMDD or blanks
    const char* cond;
    const char* sex;
    bool deleted = false;
};

// UTF-8 text in Windows-1251, or in code page 866.
std::string ToCodePage(const std::string& utf8, bool cp866);

// Writes a register with shapelib: NUM N(9), FAM C(70), NAM and OTCH C(20), BIRTH D,
// COND and SEX C(1) and a logical field KEEP that the import does not take. `codePage`
// is given to DBFCreateEx ("LDID/101"); nullptr: DBFCreate. Texts in code page 866 when
// `cp866` is set, else in Windows-1251.
void WriteDbf(
    const std::string& path, const char* codePage, bool cp866, const std::vector<DbfRecord>& records);

} // namespace venqor::test

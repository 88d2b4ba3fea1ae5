#include "DbfFixtures.h"

#include "base/CodePage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <shapefil.h>
#include <stdexcept>

namespace venqor::test {

std::string ToCodePage(const std::string& utf8, bool cp866)
{
    const std::string cp1251 = Utf8ToCp1251(utf8);
    if (!cp866)
        return cp1251;
    std::string out;
    for (const char c : cp1251) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
            continue;
        }
        const char16_t u = Cp1251ToUnicodeTable[b - 0x80];
        const auto it = std::find(Cp866ToUnicodeTable.begin(), Cp866ToUnicodeTable.end(), u);
        if (it == Cp866ToUnicodeTable.end())
            throw std::runtime_error("no such letter in code page 866");
        out += static_cast<char>(0x80 + (it - Cp866ToUnicodeTable.begin()));
    }
    return out;
}

void WriteDbf(
    const std::string& path, const char* codePage, bool cp866, const std::vector<DbfRecord>& records)
{
    DBFHandle h = codePage ? DBFCreateEx(path.c_str(), codePage) : DBFCreate(path.c_str());
    ASSERT_NE(h, nullptr);
    DBFAddField(h, "NUM", FTInteger, 9, 0);
    DBFAddField(h, "FAM", FTString, 70, 0);
    DBFAddField(h, "NAM", FTString, 20, 0);
    DBFAddField(h, "OTCH", FTString, 20, 0);
    DBFAddNativeFieldType(h, "BIRTH", 'D', 8, 0);
    DBFAddField(h, "COND", FTString, 1, 0);
    DBFAddField(h, "SEX", FTString, 1, 0);
    DBFAddField(h, "KEEP", FTLogical, 1, 0); // not taken by the import
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
        const DbfRecord& r = records[static_cast<std::size_t>(i)];
        EXPECT_TRUE(DBFWriteIntegerAttribute(h, i, 0, r.num));
        int field = 1;
        for (const char* text : { r.fam, r.nam, r.otch })
            EXPECT_TRUE(DBFWriteStringAttribute(h, i, field++, ToCodePage(text, cp866).c_str()));
        EXPECT_TRUE(DBFWriteAttributeDirectly(h, i, 4, const_cast<char*>(r.birth)));
        EXPECT_TRUE(DBFWriteStringAttribute(h, i, 5, r.cond));
        EXPECT_TRUE(DBFWriteStringAttribute(h, i, 6, ToCodePage(r.sex, cp866).c_str()));
        EXPECT_TRUE(DBFWriteLogicalAttribute(h, i, 7, 'T'));
        if (r.deleted)
            DBFMarkRecordDeleted(h, i, 1);
    }
    DBFClose(h);
}

} // namespace venqor::test

#include "support/TestRegister.h"

#include "base/CodePage.h"
#include "engine/TableEngine.h"

namespace venqor::test {

void WriteNums(Database& database, std::span<const RegisterPerson> people, RegisterLayout layout)
{
    std::vector<FieldDef> fields = { { "NUM", FieldType::Integer, 0 }, { "FAM", FieldType::Text, 40 },
        { "NAM", FieldType::Text, 40 }, { "OTCH", FieldType::Text, 40 }, { "BIRTH", FieldType::Date, 0 } };
    if (layout.withCond)
        fields.push_back({ "COND", FieldType::Text, 1 });
    fields.push_back({ "SEX", FieldType::Text, 1 });
    fields.push_back({ "DATMOD", FieldType::Date, 0 });

    const auto nums = database.table("NUMS");
    nums->create(fields, layout.primaryKey ? "NUM" : "");
    nums->open();
    database.beginWrite();
    for (const RegisterPerson& person : people) {
        nums->insert();
        nums->setField(nums->fieldIndex("NUM"), person.num);
        nums->setField(nums->fieldIndex("FAM"), Utf8ToCp1251(person.fam));
        nums->setField(nums->fieldIndex("NAM"), Utf8ToCp1251(person.nam));
        nums->setField(nums->fieldIndex("OTCH"), Utf8ToCp1251(person.otch));
        nums->setField(nums->fieldIndex("BIRTH"), std::string_view(person.birth));
        if (layout.withCond)
            nums->setField(nums->fieldIndex("COND"), std::string_view(person.cond));
        nums->post();
    }
    database.commit();
    nums->close();
}

void WriteNums(const std::string& dir, std::span<const RegisterPerson> people, RegisterLayout layout)
{
    WriteNums(*OpenDatabase(dir), people, layout);
}

} // namespace venqor::test

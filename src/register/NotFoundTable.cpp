#include "register/NotFoundTable.h"

#include "engine/TableEngine.h"

#include <iterator>

namespace venqor {

NotFoundTable::NotFoundTable(const std::filesystem::path& dir)
    : database_(OpenDatabase(dir.string()))
    , table_(database_->table("ANKT"))
{
    if (!std::filesystem::exists(dir / "ANKT.DB")) {
        try {
            table_->create({ { "NUM", FieldType::Integer, 0 }, { "FAM", FieldType::Text, 25 },
                               { "NAM", FieldType::Text, 20 }, { "OTCH", FieldType::Text, 20 },
                               { "BIRTH", FieldType::Date, 0 }, { "COND", FieldType::Text, 1 },
                               { "SEX", FieldType::Text, 1 }, { "DATMOD", FieldType::Date, 0 } },
                "NUM");
        } catch (const std::exception&) {
            // Opening below says that the table cannot be used.
        }
    }
    table_->open();
    static constexpr std::string_view filled[] = { "NUM", "FAM", "NAM", "OTCH", "BIRTH", "SEX" };
    for (std::size_t i = 0; i < std::size(filled); ++i)
        fields_[i] = table_->fieldIndex(filled[i]);
    database_->beginWrite();
}

NotFoundTable::~NotFoundTable() = default;

bool NotFoundTable::Add(std::int32_t num, std::string_view fam, std::string_view nam, std::string_view otch,
    std::string_view birth, std::string_view sex)
{
    try {
        table_->insert();
        table_->setField(fields_[0], static_cast<std::int64_t>(num));
        table_->setField(fields_[1], fam);
        table_->setField(fields_[2], nam);
        table_->setField(fields_[3], otch);
        table_->setField(fields_[4], birth);
        table_->setField(fields_[5], sex);
        table_->post();
        return true;
    } catch (const std::exception&) {
        table_->cancel();
        return false;
    }
}

void NotFoundTable::Commit()
{
    database_->commit();
    table_->close();
}

} // namespace venqor

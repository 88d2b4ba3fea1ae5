#include "register/NotFoundTable.h"

#include "engine/TableEngine.h"

#include <iterator>

namespace venqor {

NotFoundTable::NotFoundTable(const std::filesystem::path& dir)
    : database_(OpenDatabase(dir.string()))
    , table_(database_->table("ANKT"))
{
    // Made in one statement when missing, never replaced: runs that start at once with no
    // ANKT.DB yet make it once and keep each other's rows.
    try {
        table_->createIfMissing({ { "NUM", FieldType::Integer, 0 }, { "FAM", FieldType::Text, 25 },
                                    { "NAM", FieldType::Text, 20 }, { "OTCH", FieldType::Text, 20 },
                                    { "BIRTH", FieldType::Date, 0 }, { "COND", FieldType::Text, 1 },
                                    { "SEX", FieldType::Text, 1 }, { "DATMOD", FieldType::Date, 0 } },
            "NUM");
    } catch (const std::exception&) {
        // Opening below says that the table cannot be used.
    }
    table_->open();
    table_->setIndexFields("");
    static constexpr std::string_view filled[] = { "NUM", "FAM", "NAM", "OTCH", "BIRTH", "SEX" };
    for (std::size_t i = 0; i < std::size(filled); ++i)
        fields_[i] = table_->fieldIndex(filled[i]);
}

NotFoundTable::~NotFoundTable() = default;

void NotFoundTable::Add(std::int32_t num, std::string_view fam, std::string_view nam, std::string_view otch,
    std::string_view birth, std::string_view sex)
{
    people_.push_back(
        { num, std::string(fam), std::string(nam), std::string(otch), std::string(birth), std::string(sex) });
}

NotFoundTable::Outcome NotFoundTable::Commit()
{
    Outcome outcome;
    database_->beginWrite();
    for (const Person& p : people_) {
        if (table_->findKey(static_cast<std::int64_t>(p.num))) {
            ++outcome.alreadyThere;
            continue;
        }
        try {
            table_->insert();
            table_->setField(fields_[0], static_cast<std::int64_t>(p.num));
            table_->setField(fields_[1], std::string_view(p.fam));
            table_->setField(fields_[2], std::string_view(p.nam));
            table_->setField(fields_[3], std::string_view(p.otch));
            table_->setField(fields_[4], std::string_view(p.birth));
            table_->setField(fields_[5], std::string_view(p.sex));
            table_->post();
            ++outcome.stored;
        } catch (const std::exception& e) {
            table_->cancel();
            if (outcome.refused++ == 0)
                outcome.firstRefusal = std::to_string(p.num) + ": " + e.what();
        }
    }
    database_->commit();
    table_->close();
    people_.clear();
    return outcome;
}

} // namespace venqor

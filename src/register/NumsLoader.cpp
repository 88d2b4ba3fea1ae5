#include "register/NumsLoader.h"

namespace venqor {

namespace {

enum Field { Num, Fam, Nam, Otch, Birth, Cond, Sex, Datmod };

} // namespace

NumsLoader::NumsLoader(const std::string& location)
    : database_(OpenDatabase(location))
    , loader_(database_->load("NUMS",
          { { "NUM", FieldType::Integer }, { "FAM", FieldType::Text }, { "NAM", FieldType::Text },
              { "OTCH", FieldType::Text }, { "BIRTH", FieldType::Date }, { "COND", FieldType::Text },
              { "SEX", FieldType::Text }, { "DATMOD", FieldType::Date } },
          "NUM",
          { { "NUMS_FAM_NAM_OTCH_BIRTH", { "FAM", "NAM", "OTCH", "BIRTH" }, { "COND", "SEX", "DATMOD" } } }))
{
}

bool NumsLoader::add(const NumsRow& row)
{
    loader_->insert();
    loader_->setField(Num, std::int64_t { row.num });
    loader_->setField(Fam, row.fam);
    loader_->setField(Nam, row.nam);
    loader_->setField(Otch, row.otch);
    loader_->setField(Birth, row.birth);
    loader_->setField(Cond, row.cond);
    loader_->setField(Sex, row.sex);
    loader_->setField(Datmod, row.datmod);
    return loader_->post();
}

void NumsLoader::commit()
{
    loader_->commit();
}

} // namespace venqor

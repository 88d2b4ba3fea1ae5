#include "Register.h"

#include "scan/Errors.h"

namespace venqor {

void Register::OpenRegister(const RegisterSettings& settings, LookupKind kind)
{
    Close();
    try {
        database_ = OpenDatabase(settings.location);
        if (settings.useQuery) {
            query_ = database_->query();
            query_->setSql(kind == LookupKind::ByNumber ? settings.sql1Text : settings.sql2Text);
            query_->prepare();
        } else {
            table_ = database_->table("NUMS");
            table_->open();
            table_->setIndexFields(kind == LookupKind::ByNumber ? "" : "FAM;NAM;OTCH;BIRTH");
        }
        database_->beginRead();
        available_ = true;
    } catch (const std::exception& e) {
        Close();
        reason_ = e.what();
    }
}

bool Register::FindByStrNum(std::int32_t num)
{
    if (table_)
        return table_->findKey(static_cast<std::int64_t>(num));
    query_->close();
    query_->setParam("NUM", static_cast<std::int64_t>(num));
    query_->open();
    return !query_->eof();
}

bool Register::FindByNameBirth(std::string_view fam, std::string_view nam, std::string_view otch, Date birth)
{
    if (table_)
        return table_->findKey(fam, nam, otch, birth);
    query_->close();
    query_->setParam("FAM", fam);
    query_->setParam("NAM", nam);
    query_->setParam("OTCH", otch);
    query_->setParam("BIRTH", birth);
    query_->open();
    return !query_->eof();
}

RecordReader& Register::record()
{
    if (table_)
        return *table_;
    if (query_)
        return *query_;
    throw TableError("NUMS: the register is not open");
}

void Register::Close()
{
    if (database_ && available_) {
        try {
            database_->commit();
        } catch (const std::exception&) {
            // Only lookups ran in the transaction: nothing is lost with it.
        }
    }
    query_.reset();
    table_.reset();
    database_.reset();
    available_ = false;
    reason_.clear();
}

} // namespace venqor

#include "register/Register.h"

#include "scan/Errors.h"

namespace venqor {

Register::~Register()
{
    Close();
}

void Register::OpenRegister(const RegisterSettings& settings, LookupKind kind)
{
    Close();
    reason_.clear();
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
    } catch (const std::exception& error) {
        const std::string reason = error.what();
        Close();
        reason_ = reason;
        return;
    }
    reader_ = table_ ? static_cast<RecordReader*>(table_.get()) : query_.get();
}

RecordReader& Register::requireAvailable()
{
    if (!reader_)
        throw TableError("the register is not open" + (reason_.empty() ? std::string() : ": " + reason_));
    return *reader_;
}

bool Register::FindByStrNum(std::int32_t num)
{
    requireAvailable();
    if (table_)
        return table_->findKey(std::int64_t { num });
    query_->close();
    query_->setParam("NUM", std::int64_t { num });
    query_->open();
    return !query_->eof();
}

bool Register::FindByNameBirth(std::string_view fam, std::string_view nam, std::string_view otch, Date birth)
{
    requireAvailable();
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
    return requireAvailable();
}

void Register::Close()
{
    reader_ = nullptr;
    try {
        if (query_)
            query_->close();
        if (table_)
            table_->close();
        if (database_)
            database_->commit();
    } catch (const std::exception&) {
        // Ending a read transaction loses nothing.
    }
    query_.reset();
    table_.reset();
    database_.reset();
}

} // namespace venqor

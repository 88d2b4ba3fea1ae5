#pragma once

#include "TableEngine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace venqor {

enum class LookupKind { ByNumber, ByNameBirth };

struct RegisterSettings {
    std::string location; // dedtNUMS, as the system spells it
    bool useQuery = false;
    std::string sql1Text; // lookup by number, parameter :NUM
    std::string sql2Text; // lookup by name and birth date, :FAM :NAM :OTCH :BIRTH
};

// The register NUMS for one run: an indexed table or a prepared query, one kind of lookup.
class Register {
public:
    // Opens the register for the run's lookups. A failure is not raised: the register is
    // then unavailable, and the reason is kept for the run's report.
    void OpenRegister(const RegisterSettings& settings, LookupKind kind);
    bool available() const { return available_; }
    const std::string& unavailableReason() const { return reason_; }

    // On true the found person is the current record.
    bool FindByStrNum(std::int32_t num);
    bool FindByNameBirth(std::string_view fam, std::string_view nam, std::string_view otch, Date birth);
    RecordReader& record();

    void Close();

private:
    std::unique_ptr<Database> database_;
    std::unique_ptr<Table> table_;
    std::unique_ptr<Query> query_;
    bool available_ = false;
    std::string reason_;
};

} // namespace venqor

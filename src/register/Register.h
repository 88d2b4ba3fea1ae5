#pragma once

#include "engine/TableEngine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace venqor {

// Access to the register NUMS for one run: in table mode through the table's indexes, in
// query mode through the user's statements Sql1Text (:NUM) and Sql2Text (:FAM, :NAM,
// :OTCH, :BIRTH). Matching is exact, as the engine compares keys and parameters.

enum class LookupKind { ByNumber, ByNameBirth };

struct RegisterSettings {
    std::string location;  // dedtNUMS: a directory, sqlite:PATH or postgresql://...
    bool useQuery = false; // UseQuery
    std::string sql1Text;  // lookup by number
    std::string sql2Text;  // lookup by name and birth date
};

class Register {
public:
    Register() = default;
    ~Register();
    Register(const Register&) = delete;
    Register& operator=(const Register&) = delete;

    // Opens the register for a run's lookups of one kind, inside one read transaction. A
    // failure leaves it unavailable, with the failure's message as the reason.
    void OpenRegister(const RegisterSettings& settings, LookupKind kind);
    bool available() const { return reader_ != nullptr; }
    const std::string& unavailableReason() const { return reason_; }

    // Lookups (the register must be available); on true the found record is current. A
    // failure of the engine (a statement without the parameter, ...) propagates.
    bool FindByStrNum(std::int32_t num);
    bool FindByNameBirth(std::string_view fam, std::string_view nam, std::string_view otch, Date birth);

    // The record of the last successful lookup.
    RecordReader& record();

    // Ends the read transaction and releases the register; never throws.
    void Close();

private:
    RecordReader& requireAvailable();

    std::unique_ptr<Database> database_;
    std::unique_ptr<Table> table_;
    std::unique_ptr<Query> query_;
    RecordReader* reader_ = nullptr;
    std::string reason_;
};

} // namespace venqor

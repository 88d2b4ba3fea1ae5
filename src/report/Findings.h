#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace venqor {

// What one numbered line of a report found: a row of the findings table that a spreadsheet
// or a script reads. Texts are Windows-1251, as in the report.
struct Finding {
    std::int64_t line = 0;  // the data file's line
    std::string kind;       // one of FindingKinds
    std::string number;     // the insurance number the line concerns, as the report prints it
    std::string given;      // for a mismatch: the names or the date as the file gives them
    std::string registered; // ... and as the register holds them
    std::string message;    // the report line after its number and one blank

    bool operator==(const Finding&) const = default;
};

// What a command says of a numbered line besides its text.
struct FindingFacts {
    std::string_view kind;
    std::string_view number = {};
    std::string_view given = {};
    std::string_view registered = {};
};

// The kinds of finding, as the findings table names them. Published: a code never changes
// its meaning.
namespace FindingKinds {
inline constexpr std::string_view ChecksumError = "checksum-error"; // "Ошибка в контр. сумме ..."
inline constexpr std::string_view LineFormatError = "line-format-error"; // "Ошибка форматирования строки ..."
inline constexpr std::string_view DateFormatError = "date-format-error"; // "Ошибка форматирования даты ..."
inline constexpr std::string_view NameMismatch = "name-mismatch";   // "Расхождения в ФИО ..."
inline constexpr std::string_view BirthMismatch = "birth-mismatch"; // "Расхождение в д/р ..."
inline constexpr std::string_view CancelledNumber = "cancelled-number"; // "Отмененный стр.№ ..."
inline constexpr std::string_view NamesNotAllowed = "names-not-allowed"; // "... не может быть ФИО ..."
inline constexpr std::string_view NamesUnknown = "names-unknown"; // "... неизвестны правильные ФИО"
inline constexpr std::string_view AbsentFromRegister = "absent-from-register"; // "Отсутствует в БД ..."
inline constexpr std::string_view NotFound = "not-found"; // "Не найден стр.№ ..."
inline constexpr std::string_view TwinFound = "twin-found"; // "... найден двойник со стр.№ ..."
inline constexpr std::string_view NumberFound = "number-found"; // "Найден стр.№ ... для ..."
inline constexpr std::string_view LineFailed = "line-failed";   // "Неизвестно что"
inline constexpr std::string_view LineNotStored = "line-not-stored"; // "Строка не записана в таблицу: ..."
} // namespace FindingKinds

} // namespace venqor

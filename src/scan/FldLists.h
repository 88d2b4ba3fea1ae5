#pragma once

#include <cstdint>
#include <string_view>

namespace venqor {

// Field kinds: the field-type codes of the table layer.
enum TFieldKind : std::uint8_t { fkText = 1, fkInteger = 3, fkFloat = 6, fkDate = 9 };

inline constexpr int MaxFieldNameLen = 31;
inline constexpr int FieldListCapacity = 128;
// The list never holds more than this, although the array has room for 128.
inline constexpr int MaxFieldCount = 126;

// One field of a record line: its name, zero-based [Start, Stop) and kind.
struct TFieldItem {
    // A short string: a length byte and up to 31 characters.
    struct ShortName {
        std::uint8_t Length;
        char Chars[MaxFieldNameLen];
    } Name;
    std::int32_t Start;
    std::int32_t Stop;
    std::uint8_t Kind;

    std::string_view name() const { return { Name.Chars, Name.Length }; }
    // Stores the first 31 characters of `text`.
    void setName(std::string_view text);
};

struct TFieldList {
    std::int32_t Count = 0;
    bool Fixed = true;
    bool Cyrillic = false;
    TFieldItem Items[FieldListCapacity] = {};
};

void ClearFields(TFieldList& list);
// Inserts a copy of `item` at `index` (clamped to 0..Count); nothing when the list is full.
void InsertField(TFieldList& list, const TFieldItem& item, std::int32_t index);
void AppendField(TFieldList& list, const TFieldItem& item);
// Appends a field of the first 31 characters of `name`, covering [offset, offset + width).
void AddField(
    TFieldList& list, std::string_view name, std::uint8_t kind, std::int32_t offset, std::int32_t width);
// Index of the first item named exactly the first 31 characters of `name`, or -1.
std::int32_t FindField(const TFieldList& list, std::string_view name);

} // namespace venqor

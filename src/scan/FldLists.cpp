#include "scan/FldLists.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace venqor {

void TFieldItem::setName(std::string_view text)
{
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(MaxFieldNameLen));
    std::memset(Name.Chars, 0, sizeof Name.Chars);
    std::memcpy(Name.Chars, text.data(), n);
    Name.Length = static_cast<std::uint8_t>(n);
}

void ClearFields(TFieldList& list)
{
    list.Count = 0;
    list.Fixed = true;
    list.Cyrillic = false;
    std::fill(std::begin(list.Items), std::end(list.Items), TFieldItem {});
}

void InsertField(TFieldList& list, const TFieldItem& item, std::int32_t index)
{
    if (list.Count >= MaxFieldCount)
        return;
    index = std::clamp(index, 0, list.Count);
    std::copy_backward(list.Items + index, list.Items + list.Count, list.Items + list.Count + 1);
    list.Items[index] = item;
    ++list.Count;
}

void AppendField(TFieldList& list, const TFieldItem& item)
{
    InsertField(list, item, list.Count);
}

void AddField(
    TFieldList& list, std::string_view name, std::uint8_t kind, std::int32_t offset, std::int32_t width)
{
    // The end offset saturates rather than overflow for absurd schema numbers.
    using Limits = std::numeric_limits<std::int32_t>;
    const std::int64_t stop
        = std::clamp<std::int64_t>(std::int64_t { offset } + width, Limits::min(), Limits::max());
    TFieldItem item {};
    item.setName(name);
    item.Kind = kind;
    item.Start = offset;
    item.Stop = static_cast<std::int32_t>(stop);
    AppendField(list, item);
}

std::int32_t FindField(const TFieldList& list, std::string_view name)
{
    const std::string_view key = name.substr(0, MaxFieldNameLen);
    for (std::int32_t i = 0; i < list.Count; ++i)
        if (list.Items[i].name() == key)
            return i;
    return -1;
}

} // namespace venqor

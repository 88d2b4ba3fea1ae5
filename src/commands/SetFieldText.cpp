#include "commands/SetFieldText.h"

#include "scan/ScanCSV.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace venqor {

void SetFieldText(const TFieldList& fields, int index, std::string_view text)
{
    assert(index >= 0 && index < fields.Count);
    const TFieldItem& item = fields.Items[index];
    const int start = std::clamp(item.Start, 0, MaxLineLen);
    const int stop = std::clamp(item.Stop, start, MaxLineLen);
    const auto width = static_cast<std::size_t>(stop - start);
    const std::size_t count = std::min(text.size(), width);
    std::memmove(Scan.LineBuf + start, text.data(), count); // the text may come from the line
    std::memset(Scan.LineBuf + start + count, ' ', width - count);
}

int RecordLength(const TFieldList& fields)
{
    return fields.Count > 0 ? fields.Items[fields.Count - 1].Stop : 0;
}

void PadLineBuf(int length)
{
    length = std::min(length, MaxLineLen);
    if (Scan.LineLen >= length)
        return;
    std::memset(Scan.LineBuf + Scan.LineLen, ' ', static_cast<std::size_t>(length - Scan.LineLen));
    Scan.LineLen = length;
    Scan.LineBuf[length] = 0;
}

} // namespace venqor

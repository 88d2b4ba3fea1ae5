#include "app/Formats.h"

#include "base/Cp1251Literal.h"
#include "base/Errors.h"
#include "scan/ScanCSV.h"
#include "scan/TextFile.h"

#include <filesystem>

namespace venqor {

namespace {

constexpr FormatRow Rows[] = {
    { "ЕДВ-3"_w, "EDV3", "EDV3.DBF", "О"_w },
    { "ЕДВ-4"_w, "EDV4", "EDV4.DBF", "О"_w },
    { "ЕДВ-4В"_w, "EDV4V", "EDV4V.DBF", "О"_w },
    { "ФОМС"_w, "FOMS", "FOMS.DBF", "М"_w },
    { "ФСС"_w, "FSS", "FSS.DBF", "О"_w },
    { "ОСЗН"_w, "OSZN", "OSZN.DBF", "О"_w },
};

} // namespace

std::span<const FormatRow> FormatTable()
{
    return Rows;
}

bool ApplyFormat(TMainState& state)
{
    for (const FormatRow& row : Rows) {
        if (state.format != row.format)
            continue;
        state.schema = row.schema;
        state.tableName = row.tableName;
        state.recordType = row.recordType;
        return true;
    }
    return false;
}

void DetectFormat(TMainState& state)
{
    std::error_code ec;
    const std::filesystem::path& path = state.dataFile;
    if (state.Running || !std::filesystem::is_regular_file(path, ec))
        return;
    try {
        Scan.Options.RecodeOem = true;
        InTextFile file(path);
        ReadLineBuf(file);
        const std::string_view head = CopyLineBuf(1, 4);
        state.formatLabel = std::string("Формат "_w) + std::string(CopyLineBuf(1, 6));
        if (head == "В3.0"_w)
            state.format = "ЕДВ-3"_w;
        else if (head == "В4.0"_w)
            state.format = "ЕДВ-4"_w;
        else
            return;
        ApplyFormat(state);
    } catch (const IoError&) {
        // An unreadable file leaves the controls as they are.
    }
}

} // namespace venqor

#include "app/MainState.h"

#include "base/Cp1251Literal.h"

namespace venqor {

TMainState DefaultMainState(const ProgramPlaces& places)
{
    TMainState s;
    s.format = "ЕДВ-4"_w;
    s.schema = "EDV4";
    s.tableName = "edv.dbf";
    s.copyCondition = "Только"_w;
    s.copyMatchKind = "начинаюшиеся с"_w;
    s.recordType = "О"_w;
    s.formatLabel = "Формат"_w;
    s.recordCountLabel = "000";
    ClearFields(s.Fields);
    s.ProgramDir = places.ProgramDir;
    s.SchemaDirs = places.SchemaDirs;
    return s;
}

} // namespace venqor

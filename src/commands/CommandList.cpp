#include "commands/CommandList.h"

#include "base/Cp1251Literal.h"
#include "commands/AddressCorrection.h"
#include "commands/NameCheck.h"
#include "commands/NumberAssignment.h"
#include "commands/TextConversion.h"

namespace venqor {

namespace {

constexpr std::string_view CheckControls[] = { "cbxFrmtList", "cbxSchList", "edtCopyValue", "dedtNUMS",
    "chkByQuery", "chkAnkList", "chkNoBirthErrors", "chkNoStatErrors" };
constexpr std::string_view AssignControls[]
    = { "cbxFrmtList", "cbxSchList", "edtCopyValue", "dedtNUMS", "chkByQuery", "chkFoundOnly" };
constexpr std::string_view AddressControls[] = { "cbxFrmtList", "cbxSchList", "edtCopyValue" };
constexpr std::string_view ConvertControls[]
    = { "cbxFrmtList", "cbxSchList", "edtTblName", "cbxCopyCond", "cbxCopyValue", "edtCopyValue" };

constexpr CommandInfo Commands[] = {
    { "check", "btnCheckStrNum", "Проверка ФИО"_w, "Проверка страх номеров на соответствие ФИО"_w, false,
        true, CheckControls, CheckNames },
    { "assign", "btnSetStrNum", "Простановка"_w, "Поиск и простановка страх номеров по ФИО и д/р"_w, true,
        true, AssignControls, AssignNumbers },
    { "fix-addresses", "bbtnCorrAdres", "Правка адресов"_w, "Правка адресов - удаление вед. запятой и тп"_w,
        true, true, AddressControls, CorrectAddresses },
    { "convert", "btnText2Table", "Преобразовать"_w,
        "Преобразовать отобранные строки  текстового файла в таблицу"_w, false, false, ConvertControls,
        ConvertText },
};

} // namespace

std::span<const CommandInfo> CommandList()
{
    return Commands;
}

const CommandInfo* FindCommand(std::string_view name)
{
    for (const CommandInfo& command : Commands)
        if (command.name == name)
            return &command;
    return nullptr;
}

} // namespace venqor

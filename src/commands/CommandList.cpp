#include "commands/CommandList.h"

#include "commands/NameCheck.h"
#include "commands/TextConversion.h"
#include "scan/Cp1251Literal.h"

namespace venqor {

namespace {

constexpr CommandInfo Commands[] = {
    { "check", "btnCheckStrNum", "Проверка ФИО"_w, "Проверка страх номеров на соответствие ФИО"_w, false,
        true, CheckNames },
    { "convert", "btnText2Table", "Преобразовать"_w,
        "Преобразовать отобранные строки  текстового файла в таблицу"_w, false, false, ConvertText },
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

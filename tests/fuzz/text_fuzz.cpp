// TextToStrNum, YmdToDmy and TextToDate over arbitrary text; StrNumToText of what was read.

#include "commands/TextToDate.h"
#include "register/StrNum.h"
#include "scan/Schema.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace venqor;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::int32_t number = TextToStrNum(text);
    check(number >= -999999999 && number <= 999999999);
    const std::string canonical = StrNumToText(number);
    check(canonical.size() == static_cast<std::size_t>(StrNumTextLen));
    check(TextToStrNum(canonical) == number);
    const int sum = StrNumCheckSum(number < 0 ? -number : number);
    check(sum >= 0 && sum <= 99);

    const std::string date = YmdToDmy(text);
    check(date.size() <= 10);
    check(date.empty() || date[0] != ' ');

    const Date given = TextToDate(text);
    check(given.isZero() || (DateToYmd(given).year >= 100 && DateToYmd(given).year <= 9999));
    return 0;
}

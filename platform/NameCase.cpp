#include "platform/NameCase.h"

#include <algorithm>
#include <cstdint>

namespace quelvo::platform {

namespace {

struct CaseRun {
    std::uint16_t first;
    std::uint16_t last;
    std::uint8_t step;  // 1: every unit of the run; 2: every other one
    std::int32_t delta;
};

#include "platform/CaseTables.inc"

template <std::size_t N>
char16_t Map(const CaseRun (&runs)[N], char16_t unit)
{
    const auto it = std::upper_bound(std::begin(runs), std::end(runs), unit,
                                     [](char16_t u, const CaseRun& r) { return u < r.first; });
    if (it == std::begin(runs))
        return unit;
    const CaseRun& run = *(it - 1);
    if (unit > run.last || (unit - run.first) % run.step != 0)
        return unit;
    return char16_t(unit + run.delta);
}

}  // namespace

char16_t UpperUnit(char16_t unit)
{
    if (unit < 0x80)
        return (unit >= u'a' && unit <= u'z') ? char16_t(unit - 32) : unit;
    return Map(kUpperRuns, unit);
}

char16_t LowerUnit(char16_t unit)
{
    if (unit < 0x80)
        return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit;
    return Map(kLowerRuns, unit);
}

std::u16string ToUpperName(std::u16string_view name)
{
    std::u16string out(name.size(), u'\0');
    std::transform(name.begin(), name.end(), out.begin(), UpperUnit);
    return out;
}

int CompareNames(std::u16string_view a, std::u16string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const char16_t x = UpperUnit(a[i]);
        const char16_t y = UpperUnit(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool NamesEqual(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && CompareNames(a, b) == 0;
}

}  // namespace quelvo::platform

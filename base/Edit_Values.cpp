#include "base/Edit_Values.h"

#include <charconv>

std::optional<std::int32_t> Decimal_Value(std::string_view text)
{
    // Leading and trailing blanks are tolerated, as is an explicit plus sign.
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-'))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc {} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

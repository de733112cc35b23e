#pragma once

#include <algorithm>
#include <array>
#include <string_view>

// A table of event codes and their names, sorted by code, looked up by binary search.
struct Named_Code
{
    std::string_view Code;
    std::string_view Name;
};

constexpr bool By_Code(const Named_Code& left, const Named_Code& right)
{
    return left.Code < right.Code;
}

// The name of `code`; empty when the table does not hold it.
template<std::size_t N>
std::string_view Name_In(const std::array<Named_Code, N>& names, std::string_view code)
{
    const auto found = std::ranges::lower_bound(names, Named_Code {code, {}}, By_Code);
    return found != names.end() && found->Code == code ? found->Name : std::string_view();
}

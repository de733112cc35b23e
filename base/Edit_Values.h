#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The numeric edits of the settings pages hold decimal integers. An empty edit or a text that is
// not a whole number in the signed 32-bit range yields no value, and the field keeps its old one.
std::optional<std::int32_t> Decimal_Value(std::string_view text);

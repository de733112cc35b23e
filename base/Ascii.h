#pragma once

// Upper case for the ASCII letters alone, whatever the locale: accounts and hexadecimal digits.
inline char Ascii_Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

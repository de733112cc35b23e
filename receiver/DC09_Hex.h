#pragma once

// Hexadecimal as the link uses it: only "0123456789ABCDEF" are digits. Lower-case letters are
// not, so a CRC or field written in lower case does not match.

inline int DC09_Hex_Value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline bool DC09_Is_Hex(char c)
{
    return DC09_Hex_Value(c) >= 0;
}

inline bool DC09_Is_Decimal(char c)
{
    return c >= '0' && c <= '9';
}

inline char DC09_Hex_Digit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}

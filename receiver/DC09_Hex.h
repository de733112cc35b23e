#pragma once

// Hexadecimal as the link uses it. Our own output is always upper case. Field panels write the
// CRC, length, account and cipher text in either case, so those are read with the tolerant
// functions; the Contact ID fields of the content keep the strict upper-case rule.

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

// Either case: "0123456789ABCDEFabcdef".
inline int DC09_Hex_Value_Any_Case(char c)
{
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return DC09_Hex_Value(c);
}

inline bool DC09_Is_Hex_Any_Case(char c)
{
    return DC09_Hex_Value_Any_Case(c) >= 0;
}

inline char DC09_Upper_Hex(char c)
{
    return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool DC09_Is_Decimal(char c)
{
    return c >= '0' && c <= '9';
}

inline char DC09_Hex_Digit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}

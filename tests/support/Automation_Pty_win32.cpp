#include "tests/support/Automation_Pty.h"

// Windows has no pseudo-terminals that a COM port name can reach; the serial tests skip there.

bool Open_Pseudo_Terminal_Pair(Pseudo_Terminal&)
{
    return false;
}

bool Open_Serial_Device(const std::string&, Pseudo_Terminal&)
{
    return false;
}

long Read_Pseudo_Terminal(int, char*, std::size_t)
{
    return -1;
}

bool Write_Pseudo_Terminal(int, std::string_view)
{
    return false;
}

void Close_Pseudo_Terminal(Pseudo_Terminal& pair)
{
    pair = {};
}

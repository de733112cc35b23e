#pragma once

// The pseudo-terminal under the simulated automation software's serial side. One file per OS: where
// there are no pseudo-terminals, opening fails and the serial tests skip.

#include <cstddef>
#include <string>
#include <string_view>

struct Pseudo_Terminal
{
    int master = -1;
    int slave = -1;
    std::string slave_path;
};

// Both ends in raw mode (no echo, no line editing), the master non-blocking.
bool Open_Pseudo_Terminal_Pair(Pseudo_Terminal& pair);
// An existing serial device (one end of a linked pair the test did not make) in raw mode, taking the
// master's place: its descriptor, non-blocking, is read and written like a master; no slave is kept.
bool Open_Serial_Device(const std::string& path, Pseudo_Terminal& line);
// Bytes read from the master; 0 when nothing waits, -1 on an error.
long Read_Pseudo_Terminal(int master, char* buffer, std::size_t size);
bool Write_Pseudo_Terminal(int master, std::string_view bytes);
void Close_Pseudo_Terminal(Pseudo_Terminal& pair);

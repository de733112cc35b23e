#pragma once

#include "base/Settings_Record.h"

#include <cstdint>

// Which transport carries the lines to the automation software. The settings record keeps it as
// its raw byte (Out_Port_Type), so the file layout stays as it is.
enum class Output_Transport : std::uint8_t { Closed = 0, Tcp = 1, Serial = 2 };

// A byte the program never writes (a damaged or foreign settings file) reads as closed: nothing
// is opened for it and no line is sent.
inline Output_Transport Transport_Of(const Settings_Record& settings)
{
    switch (settings.Out_Port_Type) {
    case static_cast<std::uint8_t>(Output_Transport::Tcp):
        return Output_Transport::Tcp;
    case static_cast<std::uint8_t>(Output_Transport::Serial):
        return Output_Transport::Serial;
    default:
        return Output_Transport::Closed;
    }
}

inline void Set_Transport(Settings_Record& settings, Output_Transport transport)
{
    settings.Out_Port_Type = static_cast<std::uint8_t>(transport);
}

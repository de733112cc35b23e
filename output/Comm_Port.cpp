#include "output/Comm_Port.h"

// The platform-neutral half of the driver; Comm_Port_posix.cpp and Comm_Port_win32.cpp hold the
// device side (open, close, write, read, status, applying the line settings).

Comm_Port::Comm_Port() = default;

Comm_Port::~Comm_Port()
{
    try {
        Close();
    } catch (const ECommError&) {
        // The descriptor is released even when the close reports an error; nothing is left to do.
    }
}

void Comm_Port::Change_Line(const Comm_Line_Settings& changed, Comm_Error_Code failure_code)
{
    const Comm_Line_Settings previous = Line;
    Line = changed;
    if (!Is_Open())
        return;
    const std::int32_t system_code = Apply_Line_Settings();
    if (system_code != 0) {
        Line = previous;
        throw ECommError {failure_code, system_code};
    }
}

void Comm_Port::Set_Baud_Rate(std::uint32_t baud_rate)
{
    Comm_Line_Settings changed = Line;
    changed.Baud_Rate = baud_rate;
    Change_Line(changed, Comm_Error_Set_Baud_Rate);
}

void Comm_Port::Set_Byte_Size(std::uint8_t byte_size)
{
    Comm_Line_Settings changed = Line;
    changed.Byte_Size = byte_size;
    Change_Line(changed, Comm_Error_Set_Byte_Size);
}

void Comm_Port::Set_Parity(std::uint8_t parity)
{
    Comm_Line_Settings changed = Line;
    changed.Parity = parity;
    Change_Line(changed, Comm_Error_Set_Parity);
}

void Comm_Port::Set_Stop_Bits(std::uint8_t stop_bits)
{
    Comm_Line_Settings changed = Line;
    changed.Stop_Bits = stop_bits;
    Change_Line(changed, Comm_Error_Set_Stop_Bits);
}

void Comm_Port::Set_Port_Name(const std::string& name)
{
    if (Is_Open())
        throw ECommError {Comm_Error_Rename_Open_Port, 0};
    Name = name;
}

std::intptr_t Comm_Port::Handle_Or_Throw_Not_Open() const
{
    if (!Is_Open())
        throw ECommError {Comm_Error_Not_Open, 0};
    return Handle.load(std::memory_order_acquire);
}

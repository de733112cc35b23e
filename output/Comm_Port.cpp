#include "output/Comm_Port.h"

#include <chrono>
#include <thread>

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

// Both sides use sequentially consistent operations: either the call sees the flag cleared, or
// the close sees the call's use and waits for it.
std::intptr_t Comm_Port::Begin_Use() const
{
    Users.fetch_add(1);
    if (!Open_Flag.load()) {
        Users.fetch_sub(1);
        throw ECommError {Comm_Error_Not_Open, 0};
    }
    return Handle.load(std::memory_order_acquire);
}

std::intptr_t Comm_Port::Release_Handle()
{
    if (!Open_Flag.exchange(false))
        return No_Handle;
    // Every call checks the flag at least every Close_Check_Ms while it waits on the device.
    while (Users.load() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return Handle.exchange(No_Handle, std::memory_order_acq_rel);
}

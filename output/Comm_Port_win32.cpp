#include "output/Comm_Port.h"

#include <cstring>

#include <windows.h>

// Windows communications driver: the device is opened for synchronous input and output, so each
// call returns when the system's time-outs say so. Codes 14 to 17 close the handle first.

namespace {

constexpr DWORD Input_Queue_Size = 32768;
constexpr DWORD Output_Queue_Size = 9216;

HANDLE As_Handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::int32_t Last_Error()
{
    return static_cast<std::int32_t>(::GetLastError());
}

// Flow control is forced off, as on POSIX: nothing in the program offers a way to turn it on.
void Put_Line(DCB& control, const Comm_Line_Settings& line)
{
    control.BaudRate = line.Baud_Rate;
    control.ByteSize = line.Byte_Size;
    control.Parity = line.Parity;
    control.StopBits = line.Stop_Bits;
    control.fDtrControl = DTR_CONTROL_DISABLE;
    control.fRtsControl = RTS_CONTROL_DISABLE;
    control.fOutxCtsFlow = FALSE;
    control.fOutxDsrFlow = FALSE;
    control.fOutX = FALSE;
    control.fInX = FALSE;
}

[[noreturn]] void Fail_Open(HANDLE handle, Comm_Error_Code code)
{
    const std::int32_t cause = Last_Error();
    ::CloseHandle(handle);
    throw ECommError {code, cause};
}

} // namespace

std::int32_t Comm_Port::Apply_Line_Settings()
{
    const HANDLE handle = As_Handle(Handle.load(std::memory_order_acquire));
    DCB control {};
    control.DCBlength = sizeof control;
    if (!::GetCommState(handle, &control))
        return Last_Error();
    Put_Line(control, Line);
    if (!::SetCommState(handle, &control))
        return Last_Error();
    return 0;
}

void Comm_Port::Open()
{
    if (Is_Open())
        return;

    const HANDLE handle
        = ::CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw ECommError {Comm_Error_Open, Last_Error()};

    DCB control {};
    control.DCBlength = sizeof control;
    if (!::GetCommState(handle, &control))
        Fail_Open(handle, Comm_Error_Get_State);
    Put_Line(control, Line);
    if (!::SetCommState(handle, &control))
        Fail_Open(handle, Comm_Error_Set_State);
    if (!::SetupComm(handle, Input_Queue_Size, Output_Queue_Size))
        Fail_Open(handle, Comm_Error_Setup_Queues);
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = Comm_Open_Timeouts.Read_Interval;
    timeouts.ReadTotalTimeoutMultiplier = Comm_Open_Timeouts.Read_Total_Multiplier;
    timeouts.ReadTotalTimeoutConstant = Comm_Open_Timeouts.Read_Total_Constant;
    timeouts.WriteTotalTimeoutMultiplier = Comm_Open_Timeouts.Write_Total_Multiplier;
    timeouts.WriteTotalTimeoutConstant = Comm_Open_Timeouts.Write_Total_Constant;
    if (!::SetCommTimeouts(handle, &timeouts))
        Fail_Open(handle, Comm_Error_Set_Timeouts);

    Port_Timeouts = Comm_Open_Timeouts;
    Handle.store(reinterpret_cast<std::intptr_t>(handle), std::memory_order_release);
    Open_Flag.store(true, std::memory_order_release);
}

void Comm_Port::Close()
{
    // A call under way holds the handle until its own time-out ends it (at most about 3 s).
    const std::intptr_t released = Release_Handle();
    if (released == No_Handle)
        return;
    const HANDLE handle = As_Handle(released);
    if (!::CloseHandle(handle))
        throw ECommError {Comm_Error_Close, Last_Error()};
}

void Comm_Port::Write(const char* text)
{
    const Port_Use use(*this);
    const HANDLE handle = As_Handle(use.Handle);
    DWORD written = 0; // not looked at: a time-out ends the write quietly
    if (!::WriteFile(handle, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr))
        throw ECommError {Comm_Error_Write, Last_Error()};
}

std::uint32_t Comm_Port::Bytes_Waiting()
{
    const Port_Use use(*this);
    const HANDLE handle = As_Handle(use.Handle);
    DWORD line_errors = 0;
    COMSTAT status {};
    if (!::ClearCommError(handle, &line_errors, &status))
        throw ECommError {Comm_Error_Status, Last_Error()};
    return status.cbInQue;
}

std::uint8_t Comm_Port::Read_Byte()
{
    const Port_Use use(*this);
    const HANDLE handle = As_Handle(use.Handle);
    std::uint8_t byte = 0;
    DWORD count = 0;
    if (!::ReadFile(handle, &byte, 1, &count, nullptr))
        throw ECommError {Comm_Error_Read, Last_Error()};
    return byte;
}

#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// What a serial port failure carries: the driver's own code (below) and the operating system's
// error code (errno on POSIX, GetLastError on Windows) taken when the failure happened.
struct ECommError
{
    std::int32_t Code;
    std::int32_t System_Code;
};

enum Comm_Error_Code : std::int32_t {
    Comm_Error_Set_Baud_Rate = 1,
    Comm_Error_Set_Stop_Bits = 3,
    Comm_Error_Set_Parity = 4,
    Comm_Error_Set_Byte_Size = 5,
    Comm_Error_Rename_Open_Port = 6,
    Comm_Error_Not_Open = 7,
    Comm_Error_Open = 8,
    Comm_Error_Write = 9,
    Comm_Error_Read = 10,
    Comm_Error_Close = 11,
    Comm_Error_Get_State = 14,
    Comm_Error_Set_State = 15,
    Comm_Error_Setup_Queues = 16,
    Comm_Error_Set_Timeouts = 17,
    Comm_Error_Status = 18,
};

// Parity and stop-bit values as the serial settings have always stored them.
inline constexpr std::uint8_t Comm_Parity_None = 0;
inline constexpr std::uint8_t Comm_Parity_Odd = 1;
inline constexpr std::uint8_t Comm_Parity_Even = 2;
inline constexpr std::uint8_t Comm_Parity_Mark = 3;
inline constexpr std::uint8_t Comm_Parity_Space = 4;
inline constexpr std::uint8_t Comm_One_Stop_Bit = 0;
inline constexpr std::uint8_t Comm_One_And_Half_Stop_Bits = 1;
inline constexpr std::uint8_t Comm_Two_Stop_Bits = 2;

struct Comm_Line_Settings
{
    std::uint32_t Baud_Rate = 9600;
    std::uint8_t Byte_Size = 8;
    std::uint8_t Parity = Comm_Parity_None;
    std::uint8_t Stop_Bits = Comm_One_Stop_Bit;
};

// Milliseconds; a read or write may wait Constant + Multiplier x bytes at most.
struct Comm_Timeouts
{
    std::uint32_t Read_Interval = 0;
    std::uint32_t Read_Total_Multiplier = 0;
    std::uint32_t Read_Total_Constant = 0;
    std::uint32_t Write_Total_Multiplier = 0;
    std::uint32_t Write_Total_Constant = 0;
};

// The time-outs every open applies: a one-byte read waits at most 260 ms, a write of n bytes at
// most 250 + 10 n ms.
inline constexpr Comm_Timeouts Comm_Open_Timeouts {15, 10, 250, 10, 250};

// The one serial port of the program. Every failure throws ECommError by value.
//
// Threads: the window thread configures, opens and closes the port; the monitoring thread writes
// and the serial receive thread asks for waiting bytes and reads, all without a lock. The open
// flag and the handle are atomic so that those threads see a consistent pair. A close that
// overlaps a write or read makes that call fail with code 7, and the handle goes back to the
// system only once no call holds it any more: a handle number is reused at once (an accepted
// network connection, say), and a late call must never reach that other file.
class Comm_Port
{
public:
    Comm_Port();
    ~Comm_Port(); // closes an open port; a failing close is ignored, a destructor can't throw
    Comm_Port(const Comm_Port&) = delete;
    Comm_Port& operator=(const Comm_Port&) = delete;

    // Stored while closed and applied at the next open. While open they are applied at once; if
    // the device refuses, the old value is put back and codes 1, 5, 4, 3 are raised.
    void Set_Baud_Rate(std::uint32_t baud_rate);
    void Set_Byte_Size(std::uint8_t byte_size);
    void Set_Parity(std::uint8_t parity);
    void Set_Stop_Bits(std::uint8_t stop_bits);
    // Code 6 while open; the port stays open under its old name.
    void Set_Port_Name(const std::string& name);

    // Exclusive open with the stored line settings, DTR and RTS off and no flow control. Does
    // nothing when already open. Codes 8, 14, 15, 16, 17; the port stays closed after any of them.
    void Open();
    // Does nothing when closed. Code 11 when the system's close fails; the port is closed anyway.
    void Close();

    // All bytes before the NUL; code 7 when closed, 9 when the system's write fails.
    void Write(const char* text);
    // Bytes received and not yet read; code 7 when closed, 18 when the status can't be read.
    std::uint32_t Bytes_Waiting();
    // One byte; code 7 when closed, 10 when the read fails. Meant to be called after Bytes_Waiting
    // reported at least one byte; with nothing arriving within the read time-out it returns 0.
    std::uint8_t Read_Byte();

    bool Is_Open() const { return Open_Flag.load(std::memory_order_acquire); }
    const std::string& Port_Name() const { return Name; }
    const Comm_Line_Settings& Line_Settings() const { return Line; }
    const Comm_Timeouts& Timeouts() const { return Port_Timeouts; }

private:
    // Platform side of the setters: push Line to the open device; 0 or the system error code.
    std::int32_t Apply_Line_Settings();
    void Change_Line(const Comm_Line_Settings& changed, Comm_Error_Code failure_code);
    // One call's hold on the handle. Code 7 when closed. Codes 6 and 7 carry system code 0: no
    // system call failed.
    class Port_Use
    {
    public:
        explicit Port_Use(const Comm_Port& port_)
            : port(port_)
            , Handle(port_.Begin_Use())
        { }
        ~Port_Use() { port.Users.fetch_sub(1); }
        Port_Use(const Port_Use&) = delete;
        Port_Use& operator=(const Port_Use&) = delete;

    private:
        const Comm_Port& port;

    public:
        const std::intptr_t Handle;
    };
    std::intptr_t Begin_Use() const;
    // Clears the open flag, waits until no call holds the handle, and hands the handle over for
    // closing; No_Handle when the port was not open.
    std::intptr_t Release_Handle();
    // A call that waits on the device looks at the flag this often, so a close is never held up
    // for longer.
    static constexpr int Close_Check_Ms = 10;
    static int Wait_Slice(int milliseconds_left);
    void Throw_If_Closed_Meanwhile() const;

    std::atomic<bool> Open_Flag {false};
    Comm_Timeouts Port_Timeouts {};
    // "COM1" is what the port has been called from the start; on POSIX it names no device, and
    // the transport timer always sets the real name before opening.
    std::string Name {"COM1"};
    Comm_Line_Settings Line {};
    static constexpr std::intptr_t No_Handle = -1;
    std::atomic<std::intptr_t> Handle {No_Handle};
    // Calls holding the handle right now (Port_Use).
    mutable std::atomic<int> Users {0};
};

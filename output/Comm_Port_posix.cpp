#include "output/Comm_Port.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// POSIX terminal driver. How the driver's codes map onto the system calls:
//   8  open(2) failed, another process holds the device (flock), or TIOCEXCL was refused
//   14 tcgetattr failed (the device is not a terminal)
//   15 tcsetattr failed, the stored line settings have no termios form (EINVAL), or dropping
//      DTR/RTS failed on a device that has modem lines
//   16 flushing both queues failed: the queues are the kernel's, so a fresh start is all there is
//      to set up
//   17 never: the time-outs are kept by poll(2) in Write and Read_Byte, which can't fail at open
// The descriptor stays non-blocking with VMIN = VTIME = 0, so no call can hang on the device.

namespace {

using Clock = std::chrono::steady_clock;

struct Speed_Entry
{
    std::uint32_t Baud_Rate;
    speed_t Speed;
};

// Only the rates termios has a constant for; any other rate fails with EINVAL (code 15 at open,
// code 1 when set while open) rather than being rounded to a neighbour.
constexpr Speed_Entry Speeds[] = {
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
#if defined(B921600)
    {460800, B460800},
    {921600, B921600},
#endif
};

bool Find_Speed(std::uint32_t baud_rate, speed_t& speed)
{
    for (const Speed_Entry& entry : Speeds) {
        if (entry.Baud_Rate == baud_rate) {
            speed = entry.Speed;
            return true;
        }
    }
    return false;
}

// Mark and space parity are a Linux extension of termios.
#if defined(CMSPAR)
constexpr tcflag_t Mark_Space_Parity = CMSPAR;
#else
constexpr tcflag_t Mark_Space_Parity = 0;
#endif

std::optional<tcflag_t> Size_Flags(std::uint8_t byte_size)
{
    constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (byte_size < 5 || byte_size > 8)
        return std::nullopt;
    return sizes[byte_size - 5];
}

std::optional<tcflag_t> Parity_Flags(std::uint8_t parity)
{
    switch (parity) {
    case Comm_Parity_None:
        return 0;
    case Comm_Parity_Odd:
        return PARENB | PARODD;
    case Comm_Parity_Even:
        return PARENB;
    case Comm_Parity_Mark:
        return Mark_Space_Parity != 0 ? std::optional<tcflag_t>(PARENB | PARODD | Mark_Space_Parity)
                                      : std::nullopt;
    case Comm_Parity_Space:
        return Mark_Space_Parity != 0 ? std::optional<tcflag_t>(PARENB | Mark_Space_Parity) : std::nullopt;
    default:
        return std::nullopt;
    }
}

// termios has no 1.5 stop bits.
std::optional<tcflag_t> Stop_Bit_Flags(std::uint8_t stop_bits)
{
    if (stop_bits == Comm_One_Stop_Bit)
        return 0;
    if (stop_bits == Comm_Two_Stop_Bits)
        return CSTOPB;
    return std::nullopt;
}

// Raw 8-bit line with the stored framing; flow control is forced off because nothing in the
// program offers a way to turn it on, and a device left with CRTSCTS would never send a line.
bool Put_Line(termios& state, const Comm_Line_Settings& line)
{
    speed_t speed;
    const auto size = Size_Flags(line.Byte_Size);
    const auto parity = Parity_Flags(line.Parity);
    const auto stop_bits = Stop_Bit_Flags(line.Stop_Bits);
    if (!Find_Speed(line.Baud_Rate, speed) || !size || !parity || !stop_bits)
        return false;

    cfmakeraw(&state);
    state.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    state.c_cflag &= ~(CSIZE | PARENB | PARODD | Mark_Space_Parity | CSTOPB | CRTSCTS);
    state.c_cflag |= *size | *parity | *stop_bits | CLOCAL | CREAD;
    state.c_cc[VMIN] = 0;
    state.c_cc[VTIME] = 0;
    return cfsetispeed(&state, speed) == 0 && cfsetospeed(&state, speed) == 0;
}

[[noreturn]] void Fail_Open(int fd, Comm_Error_Code code)
{
    // The cause is kept: a successful close does not promise to leave errno alone.
    const int cause = errno;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    throw ECommError {code, cause};
}

int Milliseconds_Left(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int As_Descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

} // namespace

// A call that waits on the device wakes at least every Close_Check_Ms to see whether the port was
// closed meanwhile; a close waits for it, so it must not wait long.
int Comm_Port::Wait_Slice(int milliseconds_left)
{
    return milliseconds_left < Close_Check_Ms ? milliseconds_left : Close_Check_Ms;
}

void Comm_Port::Throw_If_Closed_Meanwhile() const
{
    if (!Is_Open())
        throw ECommError {Comm_Error_Not_Open, 0};
}

std::int32_t Comm_Port::Apply_Line_Settings()
{
    const int fd = As_Descriptor(Handle.load(std::memory_order_acquire));
    termios state {};
    if (::tcgetattr(fd, &state) != 0)
        return errno;
    if (!Put_Line(state, Line))
        return EINVAL;
    if (::tcsetattr(fd, TCSANOW, &state) != 0)
        return errno;
    return 0;
}

void Comm_Port::Open()
{
    if (Is_Open())
        return;

    const int fd = ::open(Name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw ECommError {Comm_Error_Open, errno};
    // Two locks, because each one misses a case: flock keeps out every program that honours it,
    // root included; TIOCEXCL keeps out plain opens by anyone but root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        Fail_Open(fd, Comm_Error_Open);

    termios state {};
    if (::tcgetattr(fd, &state) != 0)
        Fail_Open(fd, Comm_Error_Get_State);
    if (::ioctl(fd, TIOCEXCL) != 0)
        Fail_Open(fd, Comm_Error_Open);
    if (!Put_Line(state, Line)) {
        errno = EINVAL;
        Fail_Open(fd, Comm_Error_Set_State);
    }
    if (::tcsetattr(fd, TCSANOW, &state) != 0)
        Fail_Open(fd, Comm_Error_Set_State);
    // Pseudo-terminals and some USB adapters have no modem lines and answer ENOTTY or EINVAL;
    // for them there is nothing to drop.
    const int modem_lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIC, &modem_lines) != 0 && errno != ENOTTY && errno != EINVAL)
        Fail_Open(fd, Comm_Error_Set_State);
    if (::tcflush(fd, TCIOFLUSH) != 0)
        Fail_Open(fd, Comm_Error_Setup_Queues);

    Port_Timeouts = Comm_Open_Timeouts;
    Handle.store(fd, std::memory_order_release);
    Open_Flag.store(true, std::memory_order_release);
}

void Comm_Port::Close()
{
    const std::intptr_t handle = Release_Handle();
    if (handle == No_Handle)
        return;
    const int fd = As_Descriptor(handle);
    ::ioctl(fd, TIOCNXCL);
    // On Linux the descriptor is gone even when close reports an error, so the port counts as
    // closed either way.
    if (::close(fd) != 0)
        throw ECommError {Comm_Error_Close, errno};
}

void Comm_Port::Write(const char* text)
{
    const Port_Use use(*this);
    const int fd = As_Descriptor(use.Handle);
    std::size_t length = std::strlen(text);
    const auto deadline = Clock::now()
        + std::chrono::milliseconds(Port_Timeouts.Write_Total_Constant
            + std::uint64_t {Port_Timeouts.Write_Total_Multiplier} * length);
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written > 0) {
            text += written;
            length -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            throw ECommError {Comm_Error_Write, errno};
        // The output queue is full. Like a synchronous write that runs into its time-out, the
        // write ends quietly: callers never look at how much was sent.
        const int left = Milliseconds_Left(deadline);
        if (left == 0)
            return;
        pollfd wait {fd, POLLOUT, 0};
        if (::poll(&wait, 1, Wait_Slice(left)) < 0 && errno != EINTR)
            throw ECommError {Comm_Error_Write, errno};
        Throw_If_Closed_Meanwhile();
    }
}

std::uint32_t Comm_Port::Bytes_Waiting()
{
    const Port_Use use(*this);
    const int fd = As_Descriptor(use.Handle);
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0)
        throw ECommError {Comm_Error_Status, errno};
    return static_cast<std::uint32_t>(waiting);
}

std::uint8_t Comm_Port::Read_Byte()
{
    const Port_Use use(*this);
    const int fd = As_Descriptor(use.Handle);
    const auto deadline = Clock::now()
        + std::chrono::milliseconds(Port_Timeouts.Read_Total_Constant + Port_Timeouts.Read_Total_Multiplier);
    bool hung_up = false;
    for (;;) {
        std::uint8_t byte = 0;
        const ssize_t count = ::read(fd, &byte, 1);
        if (count == 1)
            return byte;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN)
            throw ECommError {Comm_Error_Read, errno};
        // With VMIN = VTIME = 0 an empty queue reads as 0 bytes, and so does a device that has
        // hung up; poll tells the two apart.
        if (hung_up)
            throw ECommError {Comm_Error_Read, EIO};
        const int left = Milliseconds_Left(deadline);
        if (left == 0)
            return 0;
        pollfd wait {fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, Wait_Slice(left));
        if (ready < 0 && errno != EINTR)
            throw ECommError {Comm_Error_Read, errno};
        Throw_If_Closed_Meanwhile();
        if (ready > 0 && (wait.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            hung_up = true;
    }
}

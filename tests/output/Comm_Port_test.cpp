#include "output/Comm_Port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

ECommError Comm_Error_Of(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ECommError& error) {
        return error;
    }
    ADD_FAILURE() << "no ECommError was thrown";
    return {0, 0};
}

// One end of a pseudo-terminal pair stands in for the automation software; the driver opens the
// other end by its device path, as it would open /dev/ttyUSB0.
class Comm_Port_Test : public ::testing::Test
{
protected:
    int Master = -1;
    int Slave = -1;
    std::string Device;

    void SetUp() override
    {
        ASSERT_EQ(::openpty(&Master, &Slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
        Device = ::ptsname(Master);
    }
    void TearDown() override
    {
        if (Master >= 0)
            ::close(Master);
        ::close(Slave);
    }

    termios Device_State() const
    {
        termios state {};
        EXPECT_EQ(::tcgetattr(Slave, &state), 0);
        return state;
    }

    // What the other side receives, waiting at most two seconds for the expected count.
    std::string Read_Other_Side(std::size_t expected) const
    {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (received.size() < expected && std::chrono::steady_clock::now() < deadline) {
            pollfd wait {Master, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0)
                continue;
            char chunk[256];
            const ssize_t count = ::read(Master, chunk, sizeof chunk);
            if (count > 0)
                received.append(chunk, static_cast<std::size_t>(count));
        }
        return received;
    }

    // The descriptor the driver holds: the one link to the device that is not the test's own.
    int Driver_Descriptor() const
    {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code failed;
            const auto target = std::filesystem::read_symlink(entry.path(), failed);
            const int fd = std::stoi(entry.path().filename().string());
            if (!failed && target == Device && fd != Slave)
                return fd;
        }
        return -1;
    }
};

TEST(Comm_Port_Closed_Test, StartsClosedWithTheStandardLineSettings)
{
    Comm_Port port;
    EXPECT_FALSE(port.Is_Open());
    EXPECT_EQ(port.Port_Name(), "COM1");
    EXPECT_EQ(port.Line_Settings().Baud_Rate, 9600u);
    EXPECT_EQ(port.Line_Settings().Byte_Size, 8);
    EXPECT_EQ(port.Line_Settings().Parity, Comm_Parity_None);
    EXPECT_EQ(port.Line_Settings().Stop_Bits, Comm_One_Stop_Bit);
}

TEST(Comm_Port_Closed_Test, TrafficOnAClosedPortRaises7AndCloseDoesNothing)
{
    Comm_Port port;
    EXPECT_EQ(Comm_Error_Of([&] { port.Write("x"); }).Code, Comm_Error_Not_Open);
    EXPECT_EQ(Comm_Error_Of([&] { port.Bytes_Waiting(); }).Code, Comm_Error_Not_Open);
    EXPECT_EQ(Comm_Error_Of([&] { port.Read_Byte(); }).Code, Comm_Error_Not_Open);
    EXPECT_NO_THROW(port.Close());
    EXPECT_FALSE(port.Is_Open());
}

TEST(Comm_Port_Closed_Test, MissingDeviceRaises8)
{
    Comm_Port port;
    port.Set_Port_Name("/dev/velmor-no-such-port");
    const ECommError error = Comm_Error_Of([&] { port.Open(); });
    EXPECT_EQ(error.Code, Comm_Error_Open);
    EXPECT_EQ(error.System_Code, ENOENT);
    EXPECT_FALSE(port.Is_Open());
}

TEST(Comm_Port_Closed_Test, DeviceThatIsNoTerminalRaises14AndStaysClosed)
{
    Comm_Port port;
    port.Set_Port_Name("/dev/null");
    const ECommError error = Comm_Error_Of([&] { port.Open(); });
    EXPECT_EQ(error.Code, Comm_Error_Get_State);
    EXPECT_EQ(error.System_Code, ENOTTY);
    EXPECT_FALSE(port.Is_Open());
}

TEST_F(Comm_Port_Test, FailedOpenCanBeRetriedUnderAnotherName)
{
    Comm_Port port;
    port.Set_Port_Name("/dev/velmor-no-such-port");
    EXPECT_EQ(Comm_Error_Of([&] { port.Open(); }).Code, Comm_Error_Open);
    port.Set_Port_Name(Device);
    port.Open();
    EXPECT_TRUE(port.Is_Open());
}

TEST_F(Comm_Port_Test, OpeningAnOpenPortDoesNothing)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    const int descriptor = Driver_Descriptor();
    EXPECT_NO_THROW(port.Open());
    EXPECT_TRUE(port.Is_Open());
    EXPECT_EQ(Driver_Descriptor(), descriptor);
}

TEST_F(Comm_Port_Test, DeviceHeldByAnotherPortRaises8UntilReleased)
{
    Comm_Port holder;
    holder.Set_Port_Name(Device);
    holder.Open();

    Comm_Port second;
    second.Set_Port_Name(Device);
    const ECommError error = Comm_Error_Of([&] { second.Open(); });
    EXPECT_EQ(error.Code, Comm_Error_Open);
    EXPECT_EQ(error.System_Code, EWOULDBLOCK);
    EXPECT_FALSE(second.Is_Open());

    holder.Close();
    EXPECT_NO_THROW(second.Open());
}

TEST_F(Comm_Port_Test, DestructorReleasesTheDevice)
{
    {
        Comm_Port first;
        first.Set_Port_Name(Device);
        first.Open();
    }
    EXPECT_EQ(Driver_Descriptor(), -1);
    Comm_Port second;
    second.Set_Port_Name(Device);
    EXPECT_NO_THROW(second.Open());
}

TEST_F(Comm_Port_Test, RenamingAnOpenPortRaises6AndKeepsItOpen)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    EXPECT_EQ(Comm_Error_Of([&] { port.Set_Port_Name("/dev/ttyS0"); }).Code, Comm_Error_Rename_Open_Port);
    EXPECT_TRUE(port.Is_Open());
    EXPECT_EQ(port.Port_Name(), Device);
}

TEST_F(Comm_Port_Test, OpenSetsA9600RawLineWithoutFlowControl)
{
    termios dirty = Device_State();
    dirty.c_cflag |= CRTSCTS | PARENB | CSTOPB;
    dirty.c_iflag |= IXON | IXOFF | ICRNL;
    dirty.c_lflag |= ICANON | ECHO | ISIG;
    ASSERT_EQ(::tcsetattr(Slave, TCSANOW, &dirty), 0);

    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();

    const termios state = Device_State();
    EXPECT_EQ(::cfgetospeed(&state), B9600);
    EXPECT_EQ(::cfgetispeed(&state), B9600);
    EXPECT_EQ(state.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(state.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(state.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(state.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

TEST_F(Comm_Port_Test, BaudRateSetWhileClosedIsAppliedAtTheNextOpen)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Set_Baud_Rate(19200);
    termios state = Device_State();
    EXPECT_NE(::cfgetospeed(&state), B19200);

    port.Open();
    state = Device_State();
    EXPECT_EQ(::cfgetospeed(&state), B19200);

    port.Set_Baud_Rate(115200);
    state = Device_State();
    EXPECT_EQ(::cfgetospeed(&state), B115200);
}

// A pseudo-terminal keeps 8 bits without parity whatever it is told, so only the stop bits can
// be watched reaching the device.
TEST_F(Comm_Port_Test, StopBitsChangedWhileOpenReachTheDevice)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();

    port.Set_Stop_Bits(Comm_Two_Stop_Bits);
    termios state = Device_State();
    EXPECT_EQ(state.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    port.Set_Stop_Bits(Comm_One_Stop_Bit);
    state = Device_State();
    EXPECT_EQ(state.c_cflag & CSTOPB, 0u);
}

TEST_F(Comm_Port_Test, RefusedLineSettingsRaiseTheirCodeAndKeepTheOldValue)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();

    const ECommError baud = Comm_Error_Of([&] { port.Set_Baud_Rate(12345); });
    EXPECT_EQ(baud.Code, Comm_Error_Set_Baud_Rate);
    EXPECT_EQ(baud.System_Code, EINVAL);
    EXPECT_EQ(Comm_Error_Of([&] { port.Set_Byte_Size(9); }).Code, Comm_Error_Set_Byte_Size);
    EXPECT_EQ(Comm_Error_Of([&] { port.Set_Parity(7); }).Code, Comm_Error_Set_Parity);
    EXPECT_EQ(Comm_Error_Of([&] { port.Set_Stop_Bits(Comm_One_And_Half_Stop_Bits); }).Code,
        Comm_Error_Set_Stop_Bits);

    EXPECT_EQ(port.Line_Settings().Baud_Rate, 9600u);
    EXPECT_EQ(port.Line_Settings().Byte_Size, 8);
    EXPECT_EQ(port.Line_Settings().Parity, Comm_Parity_None);
    EXPECT_EQ(port.Line_Settings().Stop_Bits, Comm_One_Stop_Bit);
    const termios state = Device_State();
    EXPECT_EQ(::cfgetospeed(&state), B9600);
    EXPECT_TRUE(port.Is_Open());
}

TEST_F(Comm_Port_Test, BaudRateTermiosCannotExpressRaises15AtOpen)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    EXPECT_NO_THROW(port.Set_Baud_Rate(12345)); // only stored while closed
    const ECommError error = Comm_Error_Of([&] { port.Open(); });
    EXPECT_EQ(error.Code, Comm_Error_Set_State);
    EXPECT_EQ(error.System_Code, EINVAL);
    EXPECT_FALSE(port.Is_Open());
    EXPECT_EQ(Driver_Descriptor(), -1);
}

TEST_F(Comm_Port_Test, WrittenLineArrivesUnchanged)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();

    const std::string line = "5010 18 1234 E130 01 015\r\n\x14";
    port.Write(line.c_str());
    EXPECT_EQ(Read_Other_Side(line.size()), line);
    port.Write("");
    port.Write("\x06");
    EXPECT_EQ(Read_Other_Side(1), "\x06");
}

TEST_F(Comm_Port_Test, ReceivedBytesAreCountedAndReadOneByOne)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    EXPECT_EQ(port.Bytes_Waiting(), 0u);

    // Carriage return, interrupt and XOFF/XON must arrive as plain bytes on a raw line.
    const std::string answer = "A\r\x03\x13\x11\x15\x06";
    ASSERT_EQ(::write(Master, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));

    std::uint32_t waiting = 0;
    for (int attempt = 0; attempt < 200 && waiting < answer.size(); ++attempt) {
        waiting = port.Bytes_Waiting();
        if (waiting < answer.size())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(waiting, answer.size());

    std::string read;
    for (std::size_t i = 0; i < answer.size(); ++i)
        read.push_back(static_cast<char>(port.Read_Byte()));
    EXPECT_EQ(read, answer);
    EXPECT_EQ(port.Bytes_Waiting(), 0u);
}

TEST_F(Comm_Port_Test, ReadWithNothingWaitingGivesUpWithZero)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    EXPECT_EQ(port.Read_Byte(), 0);
    EXPECT_TRUE(port.Is_Open());
}

TEST_F(Comm_Port_Test, HungUpDeviceFailsWriteStatusAndRead)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    ::close(Master);
    Master = -1;

    const ECommError write = Comm_Error_Of([&] { port.Write("line"); });
    EXPECT_EQ(write.Code, Comm_Error_Write);
    EXPECT_EQ(write.System_Code, EIO);
    const ECommError status = Comm_Error_Of([&] { port.Bytes_Waiting(); });
    EXPECT_EQ(status.Code, Comm_Error_Status);
    EXPECT_EQ(status.System_Code, EIO);
    const ECommError read = Comm_Error_Of([&] { port.Read_Byte(); });
    EXPECT_EQ(read.Code, Comm_Error_Read);
    EXPECT_EQ(read.System_Code, EIO);

    EXPECT_NO_THROW(port.Close());
    EXPECT_FALSE(port.Is_Open());
}

// The serial receive thread polls while the window thread closes the port under it: every call
// either works or raises one of the codes of a port that went away, never anything else.
TEST_F(Comm_Port_Test, CloseWhileAnotherThreadPollsEndsItsCallsCleanly)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    ASSERT_EQ(::write(Master, "\x06", 1), 1);

    std::atomic<bool> stop {false};
    std::atomic<int> acks {0};
    std::atomic<int> unexpected_code {0};
    std::thread poller([&] {
        while (!stop.load()) {
            try {
                if (port.Is_Open() && port.Bytes_Waiting() > 0 && port.Read_Byte() == 0x06)
                    ++acks;
            } catch (const ECommError& error) {
                if (error.Code != Comm_Error_Not_Open && error.Code != Comm_Error_Status
                    && error.Code != Comm_Error_Read)
                    unexpected_code = error.Code;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int attempt = 0; attempt < 200 && acks.load() == 0; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    port.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    poller.join();

    EXPECT_EQ(acks.load(), 1);
    EXPECT_EQ(unexpected_code.load(), 0);
    EXPECT_FALSE(port.Is_Open());
}

// A closed descriptor's number is handed out again at once, to an accepted network connection for
// instance. A read that was waiting on the device when the port closed must fail, and must never
// read from the file that got the number next.
TEST_F(Comm_Port_Test, ReadWaitingWhenThePortClosesFailsAndNeverReachesTheNextFileOfItsNumber)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    const int number = Driver_Descriptor();
    ASSERT_GE(number, 0);

    std::atomic<bool> reading {false};
    std::atomic<int> result {-1};
    std::atomic<int> failure_code {0};
    std::thread reader([&] {
        reading = true;
        try {
            result = port.Read_Byte(); // nothing arrives: it waits up to 260 ms for a byte
        } catch (const ECommError& error) {
            failure_code = error.Code;
        }
    });
    for (int attempt = 0; attempt < 200 && !reading.load(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    port.Close();

    int other[2] = {-1, -1};
    ASSERT_EQ(::pipe(other), 0);
    ASSERT_EQ(::write(other[1], "X", 1), 1);
    if (other[0] != number) {
        ASSERT_EQ(::dup2(other[0], number), number);
        ::close(other[0]);
    }
    reader.join();

    EXPECT_EQ(result.load(), -1) << "the read returned a byte of another file";
    EXPECT_EQ(failure_code.load(), Comm_Error_Not_Open);
    char left = 0;
    EXPECT_EQ(::read(number, &left, 1), 1) << "the other file's byte was taken";
    ::close(number);
    ::close(other[1]);
}

TEST_F(Comm_Port_Test, LostDescriptorRaises18And11)
{
    Comm_Port port;
    port.Set_Port_Name(Device);
    port.Open();
    const int descriptor = Driver_Descriptor();
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::close(descriptor), 0);

    const ECommError status = Comm_Error_Of([&] { port.Bytes_Waiting(); });
    EXPECT_EQ(status.Code, Comm_Error_Status);
    EXPECT_EQ(status.System_Code, EBADF);
    const ECommError close = Comm_Error_Of([&] { port.Close(); });
    EXPECT_EQ(close.Code, Comm_Error_Close);
    EXPECT_EQ(close.System_Code, EBADF);
    EXPECT_FALSE(port.Is_Open());
}

} // namespace

#include "output/At_rec_thread.h"

#include "base/Sync_Events.h"
#include "output/Comm_Port.h"

#include <QCoreApplication>
#include <QObject>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <pty.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Serves the window thread's queue, as the program does, until the condition holds or the time is
// up. True when the condition held: it is looked at once per round, as a second look could see
// bytes that arrived in between.
bool Pump_Until(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(2ms);
    }
}

// The automation software sits on the master side of a pseudo-terminal pair; the receive thread
// polls a real serial port opened on the slave side.
class At_Rec_Thread_Test : public ::testing::Test
{
protected:
    int Master = -1;
    int Slave = -1;
    Comm_Port Port;
    std::atomic<std::uint32_t> Link_State {1};
    std::atomic<std::uint8_t> Reply_Byte {0};
    Manual_Reset_Event Reply_Event {false};
    QObject Window_Object;
    std::vector<std::pair<std::string, Log_Colour>> Logged;
    int Beeps = 0;
    std::unique_ptr<AT_Rec_Thread> Thread;

    void SetUp() override
    {
        ASSERT_EQ(::openpty(&Master, &Slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
        Port.Set_Port_Name(::ptsname(Master));
        Port.Open();
        Thread = std::make_unique<AT_Rec_Thread>(
            AT_Rec_Thread::Links {Port, Link_State, Reply_Byte, Reply_Event},
            Window_Thread_Call(&Window_Object),
            AT_Rec_Thread::Reports {
                .Log
                = [this](const std::string& text, Log_Colour colour) { Logged.emplace_back(text, colour); },
                .Fault_Beep = [this] { ++Beeps; },
            });
    }

    void TearDown() override
    {
        Stop_Thread();
        if (Master >= 0)
            ::close(Master);
        ::close(Slave);
    }

    bool Stop_Thread()
    {
        if (!Thread)
            return true;
        Thread->Request_Stop();
        const bool finished = Pump_Until([this] { return Thread->Finished(); }, 5000ms);
        Thread->Release();
        Thread.reset();
        return finished;
    }

    void Send(const std::string& bytes)
    {
        ASSERT_EQ(::write(Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // The bytes still waiting at the port; the test looks without reading them.
    std::uint32_t Unread() { return Port.Bytes_Waiting(); }
};

TEST_F(At_Rec_Thread_Test, TextIsDroppedAndTheAckIsTaken)
{
    Thread->Start();
    Send("Hello\r\n\x06");
    ASSERT_TRUE(Pump_Until([this] { return Reply_Event.Is_Set(); }, 2000ms));
    EXPECT_EQ(Reply_Byte.load(), 0x06);
    EXPECT_TRUE(Pump_Until([this] { return Unread() == 0; }, 2000ms));
    EXPECT_TRUE(Logged.empty());
}

TEST_F(At_Rec_Thread_Test, LastAnswerByteStays)
{
    Thread->Start();
    Send("\x06x\x15y");
    ASSERT_TRUE(Pump_Until([this] { return Reply_Event.Is_Set() && Unread() == 0; }, 2000ms));
    EXPECT_EQ(Reply_Byte.load(), 0x15);
}

TEST_F(At_Rec_Thread_Test, OtherBytesNeitherSetTheEventNorTheByte)
{
    Thread->Start();
    Send("ABC\x05\x07\x14\xff");
    ASSERT_TRUE(Pump_Until([this] { return Unread() == 0; }, 2000ms));
    EXPECT_FALSE(Reply_Event.Is_Set());
    EXPECT_EQ(Reply_Byte.load(), 0);
}

// An answer with no line awaited still sets the event; the sender resets it before each line.
TEST_F(At_Rec_Thread_Test, AnswerWithoutALineAwaitedStillSetsTheEvent)
{
    Reply_Byte = 0x06;
    Thread->Start();
    Send("\x15");
    ASSERT_TRUE(Pump_Until([this] { return Reply_Event.Is_Set(); }, 2000ms));
    EXPECT_EQ(Reply_Byte.load(), 0x15);
}

TEST_F(At_Rec_Thread_Test, NothingIsReadWhileNoTransportIsUp)
{
    Link_State = 0;
    Thread->Start();
    Send("\x06");
    // Twenty poll periods and more.
    Pump_Until([] { return false; }, 150ms);
    EXPECT_EQ(Unread(), 1u);
    EXPECT_FALSE(Reply_Event.Is_Set());

    Link_State = 1;
    ASSERT_TRUE(Pump_Until([this] { return Reply_Event.Is_Set(); }, 2000ms));
    EXPECT_EQ(Reply_Byte.load(), 0x06);
}

// A TCP transport is up and the serial port is closed: the thread must not touch the port.
TEST_F(At_Rec_Thread_Test, ClosedPortIsLeftAlone)
{
    Port.Close();
    Thread->Start();
    Pump_Until([] { return false; }, 150ms);
    EXPECT_TRUE(Logged.empty());
    EXPECT_EQ(Thread->Last_Error(), 0);
}

TEST_F(At_Rec_Thread_Test, StopEndsThePolling)
{
    Thread->Start();
    EXPECT_FALSE(Thread->Finished());
    EXPECT_TRUE(Stop_Thread());
}

// The device goes away under the open port: the error is logged in red with a beep on the window
// thread, and polling goes on after the pause, so the error comes back.
TEST_F(At_Rec_Thread_Test, PortErrorIsLoggedAndPollingGoesOn)
{
    Thread->Start();
    ::close(Master);
    Master = -1;

    ASSERT_TRUE(Pump_Until([this] { return !Logged.empty(); }, 3000ms));
    EXPECT_EQ(Logged[0].first, "Serial Port Error: " + std::to_string(EIO));
    EXPECT_EQ(Logged[0].second, Log_Red);
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Thread->Last_Error(), EIO);

    EXPECT_TRUE(Pump_Until([this] { return Logged.size() >= 2; }, 3000ms));
    EXPECT_EQ(Logged.back().first, Logged.front().first);
}

// The 1000 ms pause after an error ends as soon as the thread is asked to end.
TEST_F(At_Rec_Thread_Test, StopCutsTheErrorPauseShort)
{
    Thread->Start();
    ::close(Master);
    Master = -1;
    ASSERT_TRUE(Pump_Until([this] { return !Logged.empty(); }, 3000ms));

    const auto asked = Clock::now();
    Thread->Request_Stop();
    ASSERT_TRUE(Pump_Until([this] { return Thread->Finished(); }, 3000ms));
    EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(AT_Rec_Thread::Error_Pause_Ms * 7 / 10));
    EXPECT_EQ(Logged.size(), 1u);
}

// A stop that comes while the log line waits for the window thread gives the hand-over up, so a
// shutdown that does not serve the queue can still end the thread.
TEST_F(At_Rec_Thread_Test, StopWhileTheLogLineWaitsForTheWindowThread)
{
    Thread->Start();
    ::close(Master);
    Master = -1;
    // Without serving the window thread: the log line of the error must still be waiting.
    const auto error_deadline = Clock::now() + 3s;
    while (Thread->Last_Error() == 0 && Clock::now() < error_deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_NE(Thread->Last_Error(), 0);

    Thread->Request_Stop();
    const auto deadline = Clock::now() + 3s;
    while (!Thread->Finished() && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(Thread->Finished());
    // The given-up call must not run later either.
    QCoreApplication::processEvents();
    EXPECT_TRUE(Logged.empty());
}

} // namespace

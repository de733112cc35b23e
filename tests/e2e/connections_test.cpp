// How long the receiver keeps connections open: idle ones about 5 s, acknowledged ones for the
// configured connection time-out. Closing happens on whole one-second ticks, hence the ranges.

#include "tests/e2e/E2E_Common.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// `count` connections to the port, each begun without waiting for the system to complete it.
std::vector<std::unique_ptr<DC09_Test_Client>> Begin_Connections(int port, int count)
{
    std::vector<std::unique_ptr<DC09_Test_Client>> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<DC09_Test_Client>());
        clients.back()->Begin_Connect(port);
    }
    return clients;
}

class Connections : public ::testing::Test
{
protected:
    void Start(int connection_timeout)
    {
        ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings(0, {}, 0, connection_timeout)))
            << m_runner.Standard_Error();
        ASSERT_TRUE(m_client.Connect(m_runner.Port()));
    }

    void Exchange_Worked_Example()
    {
        const Test_Reply reply = Decode_Reply(m_client.Exchange(Build_Clear_Frame(Test_Message {})));
        ASSERT_EQ(reply.token, "ACK") << reply.body;
    }

    Program_Runner m_runner;
    DC09_Test_Client m_client;
};

TEST_F(Connections, IdleConnectionClosedAfterAboutFiveSeconds)
{
    Start(30);
    const int closed_after = m_client.Wait_For_Close(8000);
    EXPECT_GE(closed_after, 3900);
    EXPECT_LE(closed_after, 8000);
}

TEST_F(Connections, AcknowledgedConnectionKeptForConfiguredTimeout)
{
    Start(8);
    Exchange_Worked_Example();
    // Past the 5 s an idle connection would get, yet still open.
    EXPECT_EQ(m_client.Wait_For_Close(5500), -1);
    const int closed_after = m_client.Wait_For_Close(5000);
    EXPECT_GE(closed_after, 6900 - 5500);
    EXPECT_NE(closed_after, -1) << "still open 10.5 s after an acknowledgement with an 8 s time-out";
}

TEST_F(Connections, ShortTimeoutClosesSoonAfterAcknowledgement)
{
    Start(2);
    Exchange_Worked_Example();
    const int closed_after = m_client.Wait_For_Close(4000);
    EXPECT_GE(closed_after, 900);
    EXPECT_LE(closed_after, 3500);
}

TEST_F(Connections, EachAcknowledgementRestartsTheTimeout)
{
    Start(3);
    for (int round = 0; round < 3; ++round) {
        Exchange_Worked_Example();
        EXPECT_EQ(m_client.Wait_For_Close(1500), -1) << "round " << round;
    }
    EXPECT_NE(m_client.Wait_For_Close(5000), -1);
}

TEST_F(Connections, RefusedMessageGetsTheIdleTimeout)
{
    Start(30);
    Test_Message message;
    message.content = "#9999|1401 01 001]";
    ASSERT_EQ(Decode_Reply(m_client.Exchange(Build_Clear_Frame(message))).token, "DUH");
    const int closed_after = m_client.Wait_For_Close(8000);
    EXPECT_GE(closed_after, 3900);
    EXPECT_NE(closed_after, -1);
}

// After a network outage every communicator of a station comes back at once. Each connection of
// the burst must be accepted at once, kept past the first second and answered. The bounds are
// shared by the whole burst and generous; a receiver that takes in only a listen queue's worth of
// connections per second needs far longer.
TEST(Connection_Burst, ThousandConnectionsAllKeptAndAnswered)
{
    constexpr int count = 1000;
    constexpr int phase_ms = 10000;
    Program_Runner runner;
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();
    std::vector<std::unique_ptr<DC09_Test_Client>> clients = Begin_Connections(runner.Port(), count);
    QElapsedTimer phase;
    phase.start();
    const auto left_ms = [&phase] { return std::max(1, phase_ms - static_cast<int>(phase.elapsed())); };
    int connected = 0;
    for (auto& client : clients)
        connected += client->Finish_Connect(left_ms()) ? 1 : 0;
    ASSERT_EQ(connected, count);
    QThread::msleep(1000);

    const std::string frame = Build_Clear_Frame(Test_Message {});
    int sent = 0;
    for (auto& client : clients)
        sent += client->Send(frame) ? 1 : 0;
    phase.restart();
    int acknowledged = 0;
    int closed = 0;
    for (auto& client : clients) {
        const std::string reply = client->Receive_Reply(left_ms());
        acknowledged += Decode_Reply(reply).token == "ACK" ? 1 : 0;
        closed += reply.empty() && !client->Is_Connected() ? 1 : 0;
    }
    EXPECT_EQ(sent, count);
    EXPECT_EQ(acknowledged, count) << closed << " closed by the receiver";
    EXPECT_TRUE(runner.Is_Running()) << runner.Exit_Description();
}

// Short deliveries (connect, one frame, hang up) give their slots back: idle connections that
// come after more of them than the old table had slots are still timed out.
TEST(Connection_Slots, SlotsComeBackAfterABurstOfShortDeliveries)
{
    Program_Runner runner;
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();
    const std::string frame = Build_Clear_Frame(Test_Message {});
    int acknowledged = 0;
    for (int i = 0; i < 2100; ++i) {
        DC09_Test_Client delivery;
        if (!delivery.Connect(runner.Port()))
            continue;
        acknowledged += Decode_Reply(delivery.Exchange(frame)).token == "ACK" ? 1 : 0;
        delivery.Close();
    }
    EXPECT_EQ(acknowledged, 2100);
    std::vector<std::unique_ptr<DC09_Test_Client>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<DC09_Test_Client>());
        ASSERT_TRUE(idle.back()->Connect(runner.Port())) << "connection " << i;
    }
    // One deadline for all of them: about 5 s of idle countdown, and room for a slow machine.
    QElapsedTimer waited;
    waited.start();
    int closed = 0;
    for (auto& client : idle)
        closed
            += client->Wait_For_Close(std::max(1, 12000 - static_cast<int>(waited.elapsed()))) >= 0 ? 1 : 0;
    EXPECT_EQ(closed, 100);
}

// More connections open at once than the old table's 2048 slots: the last of them is timed out
// like the first.
TEST(Connection_Slots, ConnectionsBeyondTheOldTableAreTimedOut)
{
    constexpr int count = 2100;
    Program_Runner runner;
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();
    std::vector<std::unique_ptr<DC09_Test_Client>> clients = Begin_Connections(runner.Port(), count);
    int connected = 0;
    for (auto& client : clients)
        connected += client->Finish_Connect(10000) ? 1 : 0;
    ASSERT_EQ(connected, count);
    QElapsedTimer waited;
    waited.start();
    int closed = 0;
    for (auto it = clients.rbegin(); it != clients.rend(); ++it)
        closed += (*it)->Wait_For_Close(std::max(1, 20000 - static_cast<int>(waited.elapsed()))) >= 0 ? 1 : 0;
    EXPECT_EQ(closed, count);
    EXPECT_TRUE(runner.Is_Running()) << runner.Exit_Description();
}

#ifdef __linux__
// The program's processor time so far, in seconds.
double Cpu_Seconds(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold spaces: fields are counted after its end.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index)
        if (index >= 14)
            ticks += std::stod(field); // user and system time
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::size_t Open_Descriptors(qint64 pid)
{
    const QDir folder(QStringLiteral("/proc/%1/fd").arg(pid));
    return static_cast<std::size_t>(folder.entryList(QDir::Files | QDir::System).size());
}

// Run short of descriptors, the port stops accepting (one red line) instead of spinning on failed
// accepts, and takes the waiting communicators once connections have ended.
TEST(Receiver_Port, DescriptorLimitIsLoggedOnceAndDoesNotSpin)
{
    Program_Runner runner;
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();
    const qint64 pid = runner.Process_Id();
    // The equivalent of starting it under "ulimit -n": room for a few connections more.
    rlimit limit {};
    ASSERT_EQ(::prlimit(static_cast<pid_t>(pid), RLIMIT_NOFILE, nullptr, &limit), 0);
    limit.rlim_cur = Open_Descriptors(pid) + 24;
    ASSERT_EQ(::prlimit(static_cast<pid_t>(pid), RLIMIT_NOFILE, &limit, nullptr), 0);

    std::vector<std::unique_ptr<DC09_Test_Client>> clients = Begin_Connections(runner.Port(), 60);
    for (auto& client : clients)
        client->Finish_Connect(3000);
    const std::string paused = "Receiver port: too few descriptors left, accepting paused";
    ASSERT_TRUE(runner.Wait_For_Log(paused, 3000)) << runner.Standard_Error();
    const double cpu_before = Cpu_Seconds(pid);
    QThread::msleep(3000);
    // A port spinning on failed accepts burns a whole core; a paused one next to nothing.
    EXPECT_LT(Cpu_Seconds(pid) - cpu_before, 1.0);

    for (auto& client : clients)
        client->Close();
    clients.clear();
    DC09_Test_Client late;
    ASSERT_TRUE(late.Connect(runner.Port()));
    EXPECT_EQ(late.Exchange(Build_Clear_Frame(Test_Message {}), 8000), "\n1BC10012\"ACK\"0001L0#1234[]\r");
    std::size_t lines = 0;
    for (const std::string& line : runner.Log_Lines())
        lines += line.find(paused) != std::string::npos ? 1 : 0;
    EXPECT_EQ(lines, 1u) << runner.Standard_Error();
    EXPECT_TRUE(runner.Is_Running()) << runner.Exit_Description();
}
#endif

TEST(Receiver_Port, PortInUseRetriedUntilFree)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
    const int port = holder.serverPort();
    Program_Runner runner;
    Settings_Record settings = Receiver_Settings();
    settings.DC9_Port_Enable = 1;
    settings.DC9_Port = port;
    ASSERT_TRUE(runner.Write_Settings(settings));
    ASSERT_TRUE(runner.Start());
    const std::string opening = "Opening receiver port " + std::to_string(port);
    const std::string opened = "Port " + std::to_string(port) + " is open.";
    ASSERT_TRUE(runner.Wait_For_Log(opening, 10000)) << runner.Standard_Error();
    QThread::msleep(1500);
    EXPECT_EQ(Find_Log_Line(runner, opened), "") << runner.Standard_Error();
    holder.close();
    // The next attempt comes 10 s after the failed one.
    ASSERT_TRUE(runner.Wait_For_Log(opened, 12000)) << runner.Standard_Error();
    const auto lines = runner.Log_Lines();
    int attempts = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].ends_with(opening))
            continue;
        ++attempts;
        // The failed attempt is followed by the socket layer's error text.
        if (attempts == 1 && i + 1 < lines.size()) {
            EXPECT_FALSE(lines[i + 1].ends_with(opened)) << runner.Standard_Error();
            EXPECT_GT(lines[i + 1].size(), 21u) << runner.Standard_Error();
        }
    }
    EXPECT_EQ(attempts, 2) << runner.Standard_Error();
    DC09_Test_Client client;
    ASSERT_TRUE(client.Connect(port));
    EXPECT_EQ(Decode_Reply(client.Exchange(Build_Clear_Frame(Test_Message {}))).token, "ACK");
}

} // namespace

#include "output/Output_Link.h"

#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "base/Sync_Events.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"
#include "tests/support/Pump_Until.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;

// The transport over TCP on 127.0.0.1. The test's own thread is the window thread; lines go out and
// are answered on a thread of their own, as the monitoring thread's are.
class Output_Link_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        Set_Default_Settings(settings);
        settings.Out_Port_Type = 1;
    }

    // One line on the sending thread, in the mode the settings name.
    std::future<Line_Exchange> Exchange(const std::string& line)
    {
        return std::async(std::launch::async, [this, line] {
            return link.Exchange_Line(
                line.data(), line.size(), false, settings.Mon_Server_Mode == 1, 2000ms, interrupt);
        });
    }

    // Serves the window thread until the sending thread's line has ended; its end, if it did.
    static std::optional<Line_Exchange> Outcome(std::future<Line_Exchange>& result)
    {
        if (!Pump_Until([&] { return result.wait_for(0s) == std::future_status::ready; }, 3000))
            return std::nullopt;
        return result.get();
    }

    // The automation software's side: reads the line on `automation` and answers ACK.
    static std::optional<Line_Exchange> Acknowledge(
        QTcpSocket& automation, const std::string& line, std::future<Line_Exchange>& result)
    {
        QByteArray received;
        const bool arrived = Pump_Until(
            [&] {
                received += automation.readAll();
                return received.size() >= static_cast<int>(line.size());
            },
            3000);
        EXPECT_EQ(received.toStdString(), line);
        if (!arrived)
            return std::nullopt;
        automation.write(QByteArray(1, char(Answer_ACK)));
        return Outcome(result);
    }

    QTemporaryDir folder;
    Settings_Record settings {};
    Comm_Port serial_port;
    std::atomic<std::uint32_t> link_state {0};
    Manual_Reset_Event interrupt;
    Log_Writer log {folder.path().toStdString() + "/", Log_Writer::Clock {}, nullptr};
    Output_Link link {Output_Link::Links {settings, serial_port, link_state, log}};
};

// Client mode, against a listening automation software.
class Output_Link_Client_Test : public Output_Link_Test
{
protected:
    void SetUp() override
    {
        Output_Link_Test::SetUp();
        ASSERT_TRUE(automation.listen(QHostAddress(QHostAddress::LocalHost)));
        settings.Mon_Server_Mode = 0;
        settings.Mon_Port = automation.serverPort();
        ASSERT_TRUE(Set_Out_IP(settings, "127.0.0.1"));
    }

    QTcpServer automation;
};

TEST_F(Output_Link_Client_Test, PortBitIsSetWhateverTheMonitoringThreadLeftInTheState)
{
    link.Start();
    // The first tick connects; the connection is taken up by a later one.
    ASSERT_TRUE(Pump_Until([&] { return automation.hasPendingConnections(); }, 6000));
    ASSERT_TRUE(Pump_Until([&] { return link.Client_Connected(); }, 3000));
    EXPECT_EQ(link_state.load(), 0u);

    // A heartbeat answered while the tick replaced the connection leaves the link confirmed
    // without a port. The next tick that finds the connection must still say the port is up,
    // or the link stays at heartbeats only.
    link_state.store(Link_Confirmed);
    link.Open_Clicked(); // no reconnect countdown, a tick within half a second
    ASSERT_TRUE(Pump_Until([&] { return (link_state.load() & Link_Port_Up) != 0; }, 3000))
        << "state " << link_state.load();
    EXPECT_EQ(link_state.load(), Link_Ready);
    link.Stop();
}

TEST_F(Output_Link_Client_Test, ConnectedTickKeepsAConfirmedLink)
{
    link.Start();
    ASSERT_TRUE(Pump_Until([&] { return link.Client_Connected(); }, 6000));
    link.Open_Clicked();
    ASSERT_TRUE(Pump_Until([&] { return link_state.load() == Link_Port_Up; }, 3000));
    link_state.fetch_or(Link_Confirmed);
    link.Open_Clicked();
    Pump_Until([] { return false; }, 1200);
    EXPECT_EQ(link_state.load(), Link_Ready) << "a tick that finds the port up changes nothing";
    link.Stop();
}

TEST_F(Output_Link_Client_Test, ConnectionHandedOverFromTheClientSocketCarriesLinesAndAnswers)
{
    link.Start();
    ASSERT_TRUE(
        Pump_Until([&] { return link.Client_Connected() && automation.hasPendingConnections(); }, 6000));
    QTcpSocket* accepted = automation.nextPendingConnection();
    ASSERT_NE(accepted, nullptr);

    const std::string line = std::string("line") + char(0x14);
    std::future<Line_Exchange> result = Exchange(line);
    const std::optional<Line_Exchange> exchange = Acknowledge(*accepted, line, result);
    ASSERT_TRUE(exchange);
    EXPECT_EQ(exchange->How, Line_Exchange::End::Answer);
    EXPECT_EQ(exchange->Answer, Answer_ACK);

    // Closing the connection is noticed by a tick, which connects again at once.
    accepted->close();
    link.Open_Clicked();
    ASSERT_TRUE(Pump_Until([&] { return automation.hasPendingConnections(); }, 3000));
    // Without a connection a line finds none, and a heartbeat goes unanswered.
    link.Stop();
    ASSERT_FALSE(link.Client_Connected());
    EXPECT_EQ(link.Exchange_Line(line.data(), line.size(), false, false, 100ms, interrupt).How,
        Line_Exchange::End::No_Connection);
    EXPECT_EQ(link.Exchange_Line(line.data(), line.size(), true, false, 100ms, interrupt).How,
        Line_Exchange::End::Silence);
}

// Server mode, with automation software connections from 127.0.0.1.
class Output_Link_Server_Test : public Output_Link_Test
{
protected:
    void SetUp() override
    {
        Output_Link_Test::SetUp();
        settings.Mon_Server_Mode = 1;
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost)));
        settings.Mon_Port = probe.serverPort();
    }

    // Connects one more automation software; waits until the link holds the connection.
    bool Connect(QTcpSocket& automation)
    {
        const int before = link.Server_Connection_Count();
        return Pump_Until(
            [&] {
                if (automation.state() == QAbstractSocket::UnconnectedState)
                    automation.connectToHost(QHostAddress(QHostAddress::LocalHost), settings.Mon_Port);
                return link.Server_Connection_Count() > before;
            },
            6000);
    }
};

TEST_F(Output_Link_Server_Test, LineGoesToTheNewestConnectionAndItsAnswerComesBackOnTheSendingThread)
{
    link.Start();
    QTcpSocket older, newest;
    ASSERT_TRUE(Connect(older));
    ASSERT_TRUE(Connect(newest));

    const std::string line = std::string("5120001810001E40100000") + char(0x14);
    std::future<Line_Exchange> result = Exchange(line);
    const std::optional<Line_Exchange> exchange = Acknowledge(newest, line, result);
    ASSERT_TRUE(exchange);
    EXPECT_EQ(exchange->How, Line_Exchange::End::Answer);
    EXPECT_EQ(exchange->Answer, Answer_ACK);
    EXPECT_TRUE(older.readAll().isEmpty()) << "an older connection got the line";
    link.Stop();
}

TEST_F(Output_Link_Server_Test, ClosedConnectionIsLetGoAtTheNextTickAndThenThereIsNone)
{
    link.Start();
    QTcpSocket automation;
    ASSERT_TRUE(Connect(automation));
    automation.close();
    // Noticed either by the sending thread (the line finds no connection) or at the next tick.
    std::future<Line_Exchange> result = Exchange("line\x14");
    const std::optional<Line_Exchange> exchange = Outcome(result);
    ASSERT_TRUE(exchange);
    EXPECT_EQ(exchange->How, Line_Exchange::End::No_Connection);
    link.Open_Clicked();
    ASSERT_TRUE(Pump_Until([&] { return link.Server_Connection_Count() == 0; }, 3000));
    EXPECT_EQ(link_state.load() & Link_Port_Up, 0u);
    link.Stop();
}

} // namespace

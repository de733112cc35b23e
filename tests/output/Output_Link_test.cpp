#include "output/Output_Link.h"

#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "base/Sync_Events.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"
#include "output/Output_Tcp_Client.h"
#include "output/Output_Tcp_Server.h"
#include "output/Output_Transport.h"
#include "tests/support/Pump_Until.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

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
        Set_Transport(settings, Output_Transport::Tcp);
    }

    // One line on the sending thread, in the mode the settings name.
    std::future<Line_Exchange> Exchange(const std::string& line)
    {
        return std::async(std::launch::async, [this, line] {
            Line_Transport& side = settings.Mon_Server_Mode == 1
                ? static_cast<Line_Transport&>(link.Tcp_Server())
                : link.Tcp_Client();
            return side.Exchange(line.data(), line.size(), false, 2000ms, {});
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
    Reply_Channel reply;
    Log_Writer log {folder.path().toStdString() + "/", Log_Writer::Clock {}, nullptr};
    Output_Link link {Output_Link::Links {settings, serial_port, link_state, reply, log}};
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
    ASSERT_TRUE(Pump_Until([&] { return link.Client_Is_Connected(); }, 3000));
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
    QSignalSpy connected(&link, &Output_Link::Client_Connected);
    QSignalSpy status(&link, &Output_Link::Status_Changed);
    link.Start();
    ASSERT_TRUE(Pump_Until([&] { return link.Client_Is_Connected(); }, 6000));
    EXPECT_EQ(connected.count(), 1);
    link.Open_Clicked();
    ASSERT_TRUE(Pump_Until([&] { return link_state.load() == Link_Port_Up; }, 3000));
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.first().at(0).toString(), QStringLiteral("Automation software server: not connected."));
    EXPECT_EQ(status.last().at(0).toString(), QStringLiteral("Automation software server: connected."));
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
        Pump_Until([&] { return link.Client_Is_Connected() && automation.hasPendingConnections(); }, 6000));
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
    ASSERT_FALSE(link.Client_Is_Connected());
    EXPECT_EQ(link.Tcp_Client().Exchange(line.data(), line.size(), false, 100ms, {}).How,
        Line_Exchange::End::No_Connection);
    EXPECT_EQ(link.Tcp_Client().Exchange(line.data(), line.size(), true, 100ms, {}).How,
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

TEST_F(Output_Link_Server_Test, ADropLogsOneRedLineAMinuteAndTheStatusSaysNobodyIsConnected)
{
    std::vector<std::pair<std::string, Log_Colour>> lines;
    const auto sink = log.Attach_Sink(
        [&lines](const std::string& line, Log_Colour colour) { lines.emplace_back(line, colour); });
    QSignalSpy status(&link, &Output_Link::Status_Changed);
    link.Start();
    const auto red_lines = [&lines] {
        return std::count_if(
            lines.begin(), lines.end(), [](const auto& line) { return line.second == Log_Red; });
    };
    for (int drop = 0; drop < 2; ++drop) {
        QTcpSocket automation;
        ASSERT_TRUE(Connect(automation));
        link.Open_Clicked();
        ASSERT_TRUE(Pump_Until([&] { return link.Server_Connection_Count() == 1; }, 3000));
        ASSERT_TRUE(Pump_Until([&] { return (link_state.load() & Link_Port_Up) != 0; }, 3000));
        automation.abort();
        link.Open_Clicked();
        ASSERT_TRUE(Pump_Until([&] { return (link_state.load() & Link_Port_Up) == 0; }, 3000));
    }
    log.Detach_Sink(sink);
    link.Stop();
    EXPECT_EQ(red_lines(), 1) << "the second drop within the minute is only counted";
    const auto dropped
        = std::find_if(lines.begin(), lines.end(), [](const auto& line) { return line.second == Log_Red; });
    ASSERT_NE(dropped, lines.end());
    EXPECT_NE(dropped->first.find("Automation software disconnected from port"), std::string::npos)
        << dropped->first;
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.last().at(0).toString(),
        QStringLiteral("Automation software port is open. Listenning... No automation software connected."));
}

// The transport byte as stored: anything but 1 and 2 is a closed transport, on the timer too.
TEST_F(Output_Link_Test, UnknownTransportByteReadsAndTicksAsClosed)
{
    for (const std::uint8_t stored : {0, 3, 255}) {
        settings.Out_Port_Type = stored;
        EXPECT_EQ(Transport_Of(settings), Output_Transport::Closed) << int(stored);
    }
    settings.Out_Port_Type = 1;
    EXPECT_EQ(Transport_Of(settings), Output_Transport::Tcp);
    Set_Transport(settings, Output_Transport::Serial);
    EXPECT_EQ(settings.Out_Port_Type, 2);

    settings.Out_Port_Type = 7;
    link_state.store(Link_Ready);
    QSignalSpy status(&link, &Output_Link::Status_Changed);
    link.Start();
    ASSERT_TRUE(Pump_Until([&] { return !status.isEmpty(); }, 4000));
    EXPECT_EQ(status.first().at(0).toString(), QStringLiteral("Automation software port closed."));
    EXPECT_EQ(link_state.load(), 0u);
    link.Stop();
}

// A serial port that does not open closes the transport and tells the operator, once.
TEST_F(Output_Link_Test, SerialPortThatDoesNotOpenClosesTheTransportAndTellsTheOperator)
{
    const std::string name = folder.filePath(QStringLiteral("no-such-tty")).toStdString();
    ASSERT_TRUE(Set_Com_Port_Name(settings, name));
    Set_Transport(settings, Output_Transport::Serial);
    QSignalSpy message(&link, &Output_Link::Operator_Message);
    QSignalSpy changed(&link, &Output_Link::Settings_Changed);
    QSignalSpy beep(&link, &Output_Link::Fault_Beep);
    link.Start();
    ASSERT_TRUE(Pump_Until([&] { return !changed.isEmpty(); }, 4000));
    ASSERT_EQ(message.count(), 1);
    EXPECT_EQ(message.first().at(0).toString(),
        QStringLiteral("Error opening ") + QString::fromStdString(name)
            + QStringLiteral(". Port already in use?"));
    EXPECT_EQ(beep.count(), 1);
    EXPECT_EQ(Transport_Of(settings), Output_Transport::Closed);
    EXPECT_FALSE(serial_port.Is_Open());
    link.Stop();
}

} // namespace

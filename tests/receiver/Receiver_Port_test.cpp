#include "receiver/Receiver_Port.h"

#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "base/Sync_Events.h"
#include "tests/support/DC09_Test_Frames.h"
#include "tests/support/Pump_Until.h"
#include "tests/support/Test_Stores.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace {

// The receiver port on 127.0.0.1 with real stores; the test's thread is the window thread. What
// the port tells its listeners arrives as signals, emitted inside its tick or read event.
class Receiver_Port_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(stores.Load());
        Set_Default_Settings(settings);
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost)));
        settings.DC9_Port = probe.serverPort();
        settings.DC9_Port_Enable = 1;
    }

    // Connects a communicator; true once it is connected.
    bool Connect(QTcpSocket& communicator)
    {
        return Pump_Until(
            [&] {
                if (communicator.state() == QAbstractSocket::UnconnectedState)
                    communicator.connectToHost(QHostAddress(QHostAddress::LocalHost), settings.DC9_Port);
                return communicator.state() == QAbstractSocket::ConnectedState;
            },
            3000);
    }

    Test_Stores stores;
    Auto_Reset_Event object_changed;
    Settings_Record settings {};
    Log_Writer log {stores.Folder.path().toStdString() + "/", Log_Writer::Clock {}, nullptr};
    std::atomic<bool> raw_traffic_wanted {false};
    Receiver_Port port {Receiver_Port::Links {
        settings, stores.Events, stores.Objects, object_changed, log, raw_traffic_wanted}};
};

TEST_F(Receiver_Port_Test, FirstTickComesOnceAndTheStatusFollowsThePort)
{
    QSignalSpy first(&port, &Receiver_Port::First_Tick);
    QSignalSpy status(&port, &Receiver_Port::Status_Changed);
    port.Start();
    ASSERT_TRUE(Pump_Until([&] { return status.count() >= 1; }, 4000));
    EXPECT_TRUE(port.Listening());
    EXPECT_EQ(status.last().at(0).toString(), QStringLiteral("Receiver port is open.  Connections: 0"));

    settings.DC9_Port_Enable = 0;
    port.Port_Enable_Changed();
    ASSERT_TRUE(Pump_Until([&] { return status.count() >= 2; }, 3000));
    EXPECT_EQ(status.last().at(0).toString(), QStringLiteral("Receiver port closed."));
    EXPECT_FALSE(port.Listening());
    EXPECT_EQ(first.count(), 1);
    port.Stop();
}

// A wrong key or mode turns every message away with DUH: one red line per peer a minute says why.
TEST_F(Receiver_Port_Test, RefusedMessagesLogOneRedLineWithTheReason)
{
    settings.DC9_AES_Mode = 3;
    port.Start();
    ASSERT_TRUE(Pump_Until([&] { return port.Listening(); }, 4000));
    std::vector<std::pair<std::string, Log_Colour>> lines;
    const Log_Writer::Sink_Id sink = log.Attach_Sink(
        [&](const std::string& line, Log_Colour colour) { lines.emplace_back(line, colour); });
    QTcpSocket communicator;
    ASSERT_TRUE(Connect(communicator));
    const std::string frame = Build_Clear_Frame(Test_Message {});
    QByteArray replies;
    for (int message = 0; message < 3; ++message) {
        communicator.write(frame.data(), static_cast<qint64>(frame.size()));
        ASSERT_TRUE(Pump_Until(
            [&] {
                replies += communicator.readAll();
                return replies.count("DUH") == message + 1;
            },
            3000));
    }
    log.Detach_Sink(sink);
    port.Stop();
    ASSERT_EQ(lines.size(), 1u) << "the later refusals are counted, not logged";
    EXPECT_EQ(lines[0].second, Log_Red);
    EXPECT_NE(lines[0].first.find("Message refused (DUH) from IP: 127.0.0.1"), std::string::npos)
        << lines[0].first;
    EXPECT_NE(lines[0].first.find("a clear message while encryption is on"), std::string::npos)
        << lines[0].first;
}

// Raw traffic is formatted and emitted only while someone wants it: an empty line, then the
// time stamp and the received text up to its first zero byte.
TEST_F(Receiver_Port_Test, RawTrafficOnlyWhileWanted)
{
    QSignalSpy raw(&port, &Receiver_Port::Raw_Traffic);
    port.Start();
    ASSERT_TRUE(Pump_Until([&] { return port.Listening(); }, 4000));

    // The port logs an unrecognised read or answers a frame: either shows the read was handled.
    std::atomic<int> logged {0};
    const Log_Writer::Sink_Id sink = log.Attach_Sink([&](const std::string&, Log_Colour) { ++logged; });
    QTcpSocket communicator;
    ASSERT_TRUE(Connect(communicator));
    communicator.write(QByteArray("not a frame\r"));
    ASSERT_TRUE(Pump_Until([&] { return logged.load() >= 1 || communicator.bytesAvailable() > 0; }, 3000));
    EXPECT_TRUE(raw.isEmpty()) << "raw traffic while nobody wanted it";

    raw_traffic_wanted = true;
    communicator.write(QByteArray("second\0hidden\r", 14));
    ASSERT_TRUE(Pump_Until([&] { return raw.count() >= 2; }, 3000));
    EXPECT_EQ(raw.at(0).at(0).toString(), QString());
    const QString line = raw.at(1).at(0).toString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("  second"))) << line.toStdString();
    log.Detach_Sink(sink);
    port.Stop();
}

} // namespace

#include "output/Output_Link.h"

#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"
#include "tests/support/Pump_Until.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The transport in client mode against a listening automation software on 127.0.0.1.
class Output_Link_Client_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(automation.listen(QHostAddress(QHostAddress::LocalHost)));
        Set_Default_Settings(settings);
        settings.Out_Port_Type = 1;
        settings.Mon_Server_Mode = 0;
        settings.Mon_Port = automation.serverPort();
        ASSERT_TRUE(Set_Out_IP(settings, "127.0.0.1"));
    }

    QTemporaryDir folder;
    QTcpServer automation;
    Settings_Record settings {};
    Comm_Port serial_port;
    std::atomic<std::uint32_t> link_state {0};
    Reply_Channel reply;
    Log_Writer log {folder.path().toStdString() + "/", Log_Writer::Clock {}, nullptr};
    Output_Link link {Output_Link::Links {settings, serial_port, link_state, reply, log}};
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

} // namespace

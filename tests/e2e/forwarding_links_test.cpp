// The two other ways to reach the automation software: the program as a TCP client of a listening
// automation software, and a serial line, here the slave side of a pseudo-terminal whose master the
// simulated automation software holds.

#include "base/Settings_File.h"
#include "output/Output_Transport.h"
#include "tests/e2e/E2E_Common.h"
#include "tests/support/Forwarding_Session.h"

namespace {

using namespace std::chrono_literals;

const std::string Heartbeat = Heartbeat_Text(1);

// Starts the program as a TCP client of the simulated automation software, which listens; the
// port, or 0 when the simulator cannot listen or the program did not start (session.problem).
int Start_As_Client(Forwarding_Session& session, int heartbeat_period)
{
    const int port = session.simulator.Listen_Tcp();
    if (port == 0)
        return 0;
    Settings_Record settings = Forwarding_Settings(heartbeat_period);
    settings.Mon_Server_Mode = 0;
    settings.Mon_Port = port;
    return session.Start(settings) ? port : 0;
}

TEST(Forwarding_Links, ClientConnectsAndLinkIsTakenUpByALaterTick)
{
    Forwarding_Session session;
    Automation_Simulator& simulator = session.simulator;
    Program_Runner& runner = session.runner;
    const int port = Start_As_Client(session, 30);
    ASSERT_NE(port, 0) << session.problem;

    // The first transport tick, two seconds after the start, connects.
    const int connection = simulator.Wait_For_Accepted(6000);
    ASSERT_NE(connection, 0) << runner.Standard_Error();
    EXPECT_TRUE(runner.Wait_For_Log(
        "Connecting to automation software server. IP: 127.0.0.1  Port: " + std::to_string(port), 1000));
    EXPECT_TRUE(runner.Wait_For_Log("Can't open port " + std::to_string(port), 1000));

    // The connection is noticed only by the tick after the reconnect countdown, about 30 s later.
    const auto heartbeat = simulator.Wait_For_Line(Heartbeat, 0, 45000);
    ASSERT_TRUE(heartbeat) << runner.Standard_Error();
    const auto lines = simulator.Lines();
    EXPECT_EQ(*heartbeat, 0u);
    EXPECT_EQ(lines[*heartbeat].connection, connection);
    EXPECT_GE(lines[*heartbeat].arrived - simulator.Connections()[0].opened, 25s);
    EXPECT_TRUE(runner.Wait_For_Log("Port " + std::to_string(port) + " connected.", 1000));
    EXPECT_TRUE(runner.Wait_For_Log("Connection with automation software established.", 3000));

    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    const std::string event = Event_Line_Text(12, 3, "1234", "E401", "01", "015");
    const auto index = simulator.Wait_For_Line(event, 0, 3000);
    ASSERT_TRUE(index) << runner.Standard_Error();
    EXPECT_EQ(simulator.Lines()[*index].connection, connection);
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);
    EXPECT_EQ(simulator.Connections().size(), 1u) << "one connection serves the whole run";
}

// The automation software goes away, listener and connection, and comes back on the same port: the
// program reconnects, confirms the link again and forwards what was stored meanwhile.
TEST(Forwarding_Links, ClientReconnectsAfterTheListenerCameBackAndEventsFlowAgain)
{
    Forwarding_Session session;
    Automation_Simulator& simulator = session.simulator;
    Program_Runner& runner = session.runner;
    // A heartbeat in every cycle keeps a line under way around the drop.
    const int port = Start_As_Client(session, -1);
    ASSERT_NE(port, 0) << session.problem;
    ASSERT_TRUE(runner.Wait_For_Log("Connection with automation software established.", 45000))
        << runner.Standard_Error();
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    ASSERT_TRUE(simulator.Wait_For_Line(Event_Line_Text(12, 3, "1234", "E401", "01", "015"), 0, 3000));
    ASSERT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);

    simulator.Close_All();
    // Stored while nobody listens: it waits in the ring.
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1130", "02", "007")), "ACK");
    QThread::msleep(1500);
    const std::size_t before = simulator.Line_Count();
    ASSERT_EQ(simulator.Listen_Tcp(port), port);

    // The reconnect comes within the error wait of 10 ticks, is taken up 30 ticks later, and the
    // link is confirmed by the next answered heartbeat.
    const std::string stored = Event_Line_Text(12, 3, "1234", "E130", "02", "007");
    const auto index = simulator.Wait_For_Line(stored, before, 75000);
    ASSERT_TRUE(index) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 1, 7, 3000), 7);
    EXPECT_GE(Count_Log_Lines(runner, "Port " + std::to_string(port) + " connected."), 2u);
    EXPECT_GE(Count_Log_Lines(runner, "Connection with automation software established."), 2u);

    // And a new event goes straight through, from a new connection: the receiver has closed the
    // idle one meanwhile.
    session.communicator.Close();
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "03", "021")), "ACK");
    EXPECT_TRUE(simulator.Wait_For_Line(Event_Line_Text(12, 3, "1234", "E401", "03", "021"), *index, 3000))
        << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 2, 7, 3000), 7);
}

TEST(Forwarding_Links, SerialLineOverPseudoTerminal)
{
    Forwarding_Session session;
    Automation_Simulator& simulator = session.simulator;
    Program_Runner& runner = session.runner;
    // The second event's answer starts with text the automation software sent first; only the ACK
    // byte counts.
    const std::string second = Event_Line_Text(12, 3, "1234", "E130", "02", "007");
    simulator.Set_Answer_Rule([second](const Received_Line& line, std::size_t) {
        return line.text == second ? std::string("OK ") + Ack_Byte : std::string(1, Ack_Byte);
    });
    const auto path = simulator.Open_Pseudo_Terminal();
    if (!path)
        GTEST_SKIP() << "no pseudo-terminals on this system";
    Settings_Record settings = Forwarding_Settings(30);
    Set_Transport(settings, Output_Transport::Serial);
    ASSERT_TRUE(Set_Com_Port_Name(settings, *path));
    ASSERT_TRUE(session.Start(settings)) << session.problem;

    EXPECT_TRUE(runner.Wait_For_Log("Automation software port " + *path + " is open.", 6000))
        << runner.Standard_Error();
    ASSERT_TRUE(simulator.Wait_For_Line(Heartbeat, 0, 5000)) << runner.Standard_Error();
    EXPECT_TRUE(runner.Wait_For_Log("Connection with automation software established.", 3000));

    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    const std::string first = Event_Line_Text(12, 3, "1234", "E401", "01", "015");
    ASSERT_TRUE(simulator.Wait_For_Line(first, 0, 3000)) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);

    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1130", "02", "007")), "ACK");
    ASSERT_TRUE(simulator.Wait_For_Line(second, 0, 3000)) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 1, 7, 3000), 7);
    QThread::msleep(300);
    EXPECT_EQ(simulator.Line_Count(), 3u);
    EXPECT_EQ(simulator.Unfinished_Bytes(), "");
    EXPECT_EQ(Count_Log_Lines(runner, "rror"), 0u) << runner.Standard_Error();
}

} // namespace

// Forwarding to the automation software over TCP with the program as the server: the heartbeat, event
// lines and their acknowledgement in the event file, refusals and silence, link tests, a closed
// output, and several automation software connections at once. The automation software is simulated.

#include "output/Output_Transport.h"
#include "tests/e2e/E2E_Common.h"
#include "tests/support/Forwarding_Session.h"

#include <map>
#include <mutex>

namespace {

using namespace std::chrono_literals;

const std::string Heartbeat = Heartbeat_Text(1);
const std::string Event_1401 = Event_Line_Text(12, 3, "1234", "E401", "01", "015");

// Answers every line with ACK, except the listed texts, which get `first_answer` the first time.
Answer_Rule Refuse_Once(std::vector<std::string> texts, std::string first_answer)
{
    auto seen = std::make_shared<std::map<std::string, int>>();
    return [texts, first_answer, seen](const Received_Line& line, std::size_t) {
        const bool listed = std::find(texts.begin(), texts.end(), line.text) != texts.end();
        if (listed && (*seen)[line.text]++ == 0)
            return first_answer;
        return std::string(1, Ack_Byte);
    };
}

long Milliseconds_Between(const Received_Line& earlier, const Received_Line& later)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(later.arrived - earlier.arrived).count());
}

class Forwarding_Server : public ::testing::Test
{
protected:
    void Start(int heartbeat_period = 30, Answer_Rule rule = Always_Ack())
    {
        session.simulator.Set_Answer_Rule(std::move(rule));
        ASSERT_TRUE(session.Start_Server_Mode(Forwarding_Settings(heartbeat_period))) << session.problem;
        ASSERT_TRUE(session.simulator.Wait_For_Line(Heartbeat, 0, 5000)) << "no heartbeat; log:\n"
                                                                         << session.runner.Standard_Error();
    }

    Forwarding_Session session;
    Automation_Simulator& simulator = session.simulator;
    Program_Runner& runner = session.runner;
};

// The output thread saves new events between its lines; while it waits for an answer that never
// comes, an event acknowledged to its communicator is in memory only. An end asked for right then
// must still write it: the program's last save pass does.
TEST_F(Forwarding_Server, EventStoredWhileTheThreadAwaitsAnAnswerIsSavedByTheEnd)
{
    Start(30, Never_Answer()); // returns as the heartbeat arrives: its 2 s answer wait begins
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    EXPECT_EQ(runner.Stop(10000), std::optional<int>(0)) << runner.Exit_Description();

    const auto store = Read_Event_Store(runner);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 1u);
    EXPECT_EQ(store->Slot[0].Status, Status_Used);
    EXPECT_EQ(Fixed_Text(store->Slot[0].Account_Number), "1234");
    EXPECT_TRUE(runner.Log_Lines().back().ends_with("Program closed")) << runner.Standard_Error();
}

TEST_F(Forwarding_Server, HeartbeatConfirmsLinkAndEventIsReported)
{
    Start();
    const auto lines = simulator.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text, Heartbeat) << "the first line is the heartbeat";
    EXPECT_EQ(lines[0].text.size(), 22u);
    EXPECT_TRUE(runner.Wait_For_Log("Connection with automation software established.", 3000))
        << runner.Standard_Error();

    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    const auto index = simulator.Wait_For_Line(Event_1401, 1, 3000);
    ASSERT_TRUE(index) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, Status_Used | Status_Saved | Status_Reported, 3000), 7);

    // The line is the text and the DC4 alone: no carriage return or line feed is left over, and an
    // acknowledged line is not sent again.
    QThread::msleep(300);
    EXPECT_EQ(simulator.Unfinished_Bytes(), "");
    EXPECT_EQ(simulator.Line_Count(), 2u);
    EXPECT_EQ(Count_Log_Lines(runner, "Link error"), 0u) << runner.Standard_Error();
}

TEST_F(Forwarding_Server, RefusedLineSentAgainAboutTwoSecondsLater)
{
    Start(30, Refuse_Once({Event_1401}, std::string(1, Nak_Byte)));
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    const auto first = simulator.Wait_For_Line(Event_1401, 1, 3000);
    ASSERT_TRUE(first);
    // Well before the repeat is due: a refused event must not be marked reported.
    QThread::msleep(200);
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 1, 0), 1);

    const auto second = simulator.Wait_For_Line(Event_1401, *first + 1, 6000);
    ASSERT_TRUE(second) << runner.Standard_Error();
    const auto lines = simulator.Lines();
    const long gap = Milliseconds_Between(lines[*first], lines[*second]);
    EXPECT_GE(gap, 1500);
    EXPECT_LE(gap, 4000);
    EXPECT_TRUE(runner.Wait_For_Log("Link error (data): negative ACK from automation software.", 1000));
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);
}

TEST_F(Forwarding_Server, SilenceUnconfirmsLinkUntilNextHeartbeat)
{
    Start(2, Refuse_Once({Event_1401}, std::string()));
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    const auto first = simulator.Wait_For_Line(Event_1401, 1, 3000);
    ASSERT_TRUE(first);
    EXPECT_TRUE(runner.Wait_For_Log("Link error (data): no ACK from automation software.", 3500))
        << runner.Standard_Error();

    const auto second = simulator.Wait_For_Line(Event_1401, *first + 1, 8000);
    ASSERT_TRUE(second) << runner.Standard_Error();
    const auto lines = simulator.Lines();
    // Nothing but a heartbeat may follow the unanswered line until the link is confirmed again.
    ASSERT_GT(*second, *first + 1) << "sent again without a heartbeat in between";
    for (std::size_t i = *first + 1; i < *second; ++i)
        EXPECT_EQ(lines[i].text, Heartbeat) << "line " << i;
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);
    EXPECT_EQ(Count_Log_Lines(runner, "Connection with automation software established."), 2u)
        << runner.Standard_Error();
}

TEST_F(Forwarding_Server, LinkTestsAreNeverSent)
{
    Start();
    Test_Message link_test;
    link_test.token = "NULL";
    link_test.content = "]";
    ASSERT_EQ(session.Send_Event(link_test), "ACK");
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    ASSERT_TRUE(simulator.Wait_For_Line(Event_1401, 1, 3000)) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 1, 7, 3000), 7);
    QThread::msleep(500);
    const auto lines = simulator.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].text, Event_1401);
    // Saved but never reported: the file copy keeps the status it was saved with.
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 1, 0), 1);
}

TEST_F(Forwarding_Server, ClosedOutputSendsNothingButEventsAreSaved)
{
    // Everything points at a listening automation software, but the output is closed.
    Settings_Record settings = Forwarding_Settings(1);
    Set_Transport(settings, Output_Transport::Closed);
    settings.Mon_Server_Mode = 0;
    settings.Mon_Port = simulator.Listen_Tcp();
    ASSERT_NE(settings.Mon_Port, 0);
    ASSERT_TRUE(session.Start(settings)) << session.problem;
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    const auto store = Wait_For_Next_Slot(runner, 1);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Slot[0].Status, Status_Used);

    // Two transport ticks at least.
    EXPECT_EQ(simulator.Wait_For_Accepted(3500), 0) << "the program connected to the automation software";
    EXPECT_EQ(simulator.Line_Count(), 0u);
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 1, 0), 1);
    EXPECT_EQ(Count_Log_Lines(runner, "Connecting to automation software server."), 0u);
}

TEST_F(Forwarding_Server, OldestConnectionsDroppedOnePerTickLinesGoToNewest)
{
    session.simulator.Set_Answer_Rule(Always_Ack());
    ASSERT_TRUE(session.Start_Server_Mode(Forwarding_Settings(30), 3)) << session.problem;
    ASSERT_TRUE(simulator.Wait_Until(
        [&] {
            const auto connections = simulator.Connections();
            return connections.size() == 3 && !connections[0].open && !connections[1].open;
        },
        6000))
        << runner.Standard_Error();
    const auto connections = simulator.Connections();
    EXPECT_TRUE(connections[2].open) << "the newest connection survives";
    EXPECT_LT(connections[0].closed, connections[1].closed) << "the oldest goes first";
    EXPECT_GE(connections[1].closed - connections[0].closed, 500ms) << "one connection per tick";

    ASSERT_TRUE(simulator.Wait_For_Line(Heartbeat, 0, 3000));
    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    ASSERT_TRUE(simulator.Wait_For_Line(Event_1401, 0, 3000)) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);
    for (const Received_Line& line : simulator.Lines())
        EXPECT_EQ(line.connection, connections[2].id) << "line \"" << line.text << "\"";
    QThread::msleep(1500);
    EXPECT_TRUE(simulator.Connections()[2].open);
}

} // namespace

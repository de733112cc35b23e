// What the automation software receives, in which order and how often: pending events after the
// ring wrapped, supervision reports of objects that stopped and resumed reporting, and a long run of
// events under refusals and silence in which no acknowledged event may be lost or repeated.

#include "tests/e2e/E2E_Common.h"
#include "tests/support/Forwarding_Session.h"

#include <map>
#include <mutex>
#include <set>

namespace {

const std::string Heartbeat = Heartbeat_Text(1);

Event_Record Pending_Event(std::string_view zone)
{
    Expected_Fields fields;
    fields.receiver = "12";
    fields.line = "3";
    fields.zone = std::string(zone);
    return Expected_Event(fields, Now_Seconds() - 60);
}

class Forwarding_Order : public ::testing::Test
{
protected:
    void Start(int heartbeat_period = 30)
    {
        ASSERT_TRUE(session.Start_Server_Mode(Forwarding_Settings(heartbeat_period))) << session.problem;
        ASSERT_TRUE(session.simulator.Wait_For_Line(Heartbeat, 0, 5000)) << runner.Standard_Error();
    }

    std::vector<std::string> Texts_After(std::size_t first) const
    {
        std::vector<std::string> texts;
        const auto lines = simulator.Lines();
        for (std::size_t i = first; i < lines.size(); ++i)
            texts.push_back(lines[i].text);
        return texts;
    }

    Forwarding_Session session;
    Automation_Simulator& simulator = session.simulator;
    Program_Runner& runner = session.runner;
};

TEST_F(Forwarding_Order, WrappedRingSentInSlotOrder)
{
    // Saved before the last stop but never reported: the file carries status 1.
    auto store = std::make_unique<Event_Store_Image>();
    std::memset(store.get(), 0, sizeof *store);
    store->Next_Slot = 2;
    store->Slot[4095] = Pending_Event("095");
    store->Slot[0] = Pending_Event("000");
    store->Slot[1] = Pending_Event("001");
    ASSERT_TRUE(runner.Write_Data_File("tarvel.dat", Record_Bytes(*store)));
    Start();

    const std::string slot_0 = Event_Line_Text(12, 3, "1234", "E401", "01", "000");
    const std::string slot_1 = Event_Line_Text(12, 3, "1234", "E401", "01", "001");
    const std::string slot_4095 = Event_Line_Text(12, 3, "1234", "E401", "01", "095");
    ASSERT_TRUE(simulator.Wait_For_Line(slot_4095, 0, 3000)) << runner.Standard_Error();
    for (const std::uint32_t slot : {0u, 1u, 4095u})
        EXPECT_EQ(Wait_For_Event_Status(runner, slot, 7, 3000), 7) << "slot " << slot;
    QThread::msleep(300);
    EXPECT_EQ(Texts_After(1), (std::vector<std::string> {slot_0, slot_1, slot_4095}));
    const auto after = Read_Event_Store(runner);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->Next_Slot, 2u);
}

// The object left the last run failed, with the failure not yet acknowledged (Flag_Report reached
// the file with a later write of its record), so the report goes out as soon as the link is up;
// waiting for a supervision time-out to expire would take a minute at least.
class Forwarding_Supervision : public Forwarding_Order
{
protected:
    void SetUp() override
    {
        std::vector<Object_Record> table(Object_Count);
        Expected_Fields fields;
        fields.receiver = "1";
        fields.line = "1";
        fields.account = "5678";
        table[0] = Expected_Object(fields, Now_Seconds() - 3600, 70);
        table[0].Supervision_Flags = Flag_Failed | Flag_Report;
        ASSERT_TRUE(runner.Write_Data_File("latevn.dat",
            {reinterpret_cast<const char*>(table.data()), table.size() * sizeof(Object_Record)}));
    }

    const std::string failure = Event_Line_Text(1, 1, "5678", "E350", "01", "000");
    const std::string restore = Event_Line_Text(1, 1, "5678", "R350", "01", "000");
};

TEST_F(Forwarding_Supervision, FailureReportedThenRestoreOnNextMessage)
{
    Start();
    const auto failed = simulator.Wait_For_Line(failure, 0, 3000);
    ASSERT_TRUE(failed) << runner.Standard_Error();
    EXPECT_EQ(failure, "501001 185678E35001000");
    // Lets the acknowledgement be taken before the object reports again: a restore that arrived
    // while the failure report was still unanswered would have its report flag cleared with it.
    QThread::msleep(300);

    ASSERT_EQ(session.Send_Event(Event_Message("5678", "1401", "01", "001", "1", "1")), "ACK");
    const std::string event = Event_Line_Text(1, 1, "5678", "E401", "01", "001");
    ASSERT_TRUE(simulator.Wait_For_Line(event, 0, 3000)) << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);
    QThread::msleep(300);
    // The restore is found in the same cycle as the event and goes first; the acknowledged failure
    // is not reported again.
    EXPECT_EQ(Texts_After(*failed), (std::vector<std::string> {failure, restore, event}));

    // The restore rewrote the object without the failure; the report flag is kept in memory only.
    const auto objects = Read_Object_Table(runner);
    ASSERT_EQ(Used_Object_Count(objects), 1u);
    EXPECT_EQ(objects[0].Supervision_Flags, 0);
}

TEST_F(Forwarding_Supervision, RefusedFailureReportSentAgain)
{
    auto refused = std::make_shared<bool>(false);
    simulator.Set_Answer_Rule([refused, failure = failure](const Received_Line& line, std::size_t) {
        if (line.text == failure && !std::exchange(*refused, true))
            return std::string(1, Nak_Byte);
        return std::string(1, Ack_Byte);
    });
    Start();
    const auto first = simulator.Wait_For_Line(failure, 0, 3000);
    ASSERT_TRUE(first) << runner.Standard_Error();
    const auto second = simulator.Wait_For_Line(failure, *first + 1, 5000);
    ASSERT_TRUE(second) << runner.Standard_Error();
    EXPECT_TRUE(runner.Wait_For_Log("Link error (ping): negative ACK from automation software.", 1000));
    QThread::msleep(2500);
    EXPECT_EQ(Texts_After(*second + 1), std::vector<std::string> {}) << "reported once more only";
}

// Every event line the simulator refuses or leaves unanswered is recorded with its answer, so the run
// can be checked line by line afterwards.
struct Answer_Log
{
    std::mutex mutex;
    std::vector<std::pair<std::string, char>> answers; // event lines only; 0 for silence
};

TEST_F(Forwarding_Order, NoAcknowledgedEventSkippedOrRepeated)
{
    constexpr int count = 200;
    const std::map<std::string, std::string> refusals {{"017", std::string(1, Nak_Byte)},
        {"050", std::string()}, {"090", std::string(1, Nak_Byte)}, {"150", std::string()}};
    auto log = std::make_shared<Answer_Log>();
    auto refused = std::make_shared<std::set<std::string>>();
    simulator.Set_Answer_Rule([log, refused, refusals](const Received_Line& line, std::size_t) {
        if (line.text == Heartbeat)
            return std::string(1, Ack_Byte);
        std::string answer(1, Ack_Byte);
        const auto refusal = refusals.find(line.text.substr(line.text.size() - 3));
        if (refusal != refusals.end() && refused->insert(line.text).second)
            answer = refusal->second;
        std::lock_guard lock(log->mutex);
        log->answers.emplace_back(line.text, answer.empty() ? '\0' : answer[0]);
        return answer;
    });
    Start(2);

    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) {
        char zone[8];
        std::snprintf(zone, sizeof zone, "%03d", i);
        ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", zone)), "ACK") << "event " << i;
        expected.push_back(Event_Line_Text(12, 3, "1234", "E401", "01", zone));
    }
    ASSERT_TRUE(simulator.Wait_Until(
        [&] {
            std::lock_guard lock(log->mutex);
            return log->answers.size() >= count + refusals.size();
        },
        40000))
        << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, count - 1, 7, 3000), 7);
    QThread::msleep(500);

    // Lines come in slot order; a line is repeated only while it was refused or unanswered; once
    // acknowledged it never comes again.
    std::lock_guard lock(log->mutex);
    std::size_t next = 0;
    std::string refused_line;
    for (const auto& [text, answer] : log->answers) {
        if (!refused_line.empty()) {
            EXPECT_EQ(text, refused_line) << "a refused line must be the next one sent";
            refused_line.clear();
        } else {
            ASSERT_LT(next, expected.size()) << "extra line " << text;
            EXPECT_EQ(text, expected[next]) << "line for slot " << next;
            ++next;
        }
        if (answer != Ack_Byte)
            refused_line = text;
    }
    EXPECT_EQ(next, expected.size());
    EXPECT_EQ(log->answers.size(), count + refusals.size());
    EXPECT_EQ(Count_Log_Lines(runner, "Link error (data): negative ACK from automation software."), 2u);
    EXPECT_EQ(Count_Log_Lines(runner, "Link error (data): no ACK from automation software."), 2u);

    const auto store = Read_Event_Store(runner);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, static_cast<std::uint32_t>(count));
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(store->Slot[i].Status, 7) << "slot " << i;
}

} // namespace

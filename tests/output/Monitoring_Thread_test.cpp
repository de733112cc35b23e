#include "base/Settings_File.h"
#include "output/Link_State.h"
#include "output/Monitoring_Thread.h"
#include "output/Output_Transport.h"
#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "store/Object_Table.h"
#include "store/Store_Test_Support.h"
#include "tests/support/Pump_Until.h"
#include "tests/support/Test_Stores.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

Event_Record Event(const char* account, const char* event, const char* zone)
{
    Event_Record record {};
    Set_Fixed_Text(record.Receiver_Number, "12");
    Set_Fixed_Text(record.Line_Number, "3");
    Set_Fixed_Text(record.Account_Number, account);
    Set_Fixed_Text(record.Qualifier_Event, event);
    Set_Fixed_Text(record.Group_Partition, "01");
    Set_Fixed_Text(record.Zone_User, zone);
    record.Time_Received = 1765262000;
    record.Signal_Quality = 255;
    return record;
}

std::string Line_For(const char* account, const char* zone)
{
    return std::string("512003 18") + account + "E401" + "01" + zone + "\x14";
}

// The lines sent, written on the monitoring thread and read on the test's.
class Sent_Lines
{
public:
    void Add(const char* line, std::size_t size)
    {
        std::lock_guard lock(mutex);
        lines.emplace_back(line, size);
    }
    std::size_t size() const
    {
        std::lock_guard lock(mutex);
        return lines.size();
    }
    bool empty() const { return size() == 0; }
    std::string operator[](std::size_t index) const
    {
        std::lock_guard lock(mutex);
        return index < lines.size() ? lines[index] : std::string();
    }

private:
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

// A transport that runs `Run` on the monitoring thread for each line, and counts the lines.
class Fake_Transport : public Line_Transport
{
public:
    std::function<Line_Exchange(const char* line, std::size_t size, std::chrono::milliseconds answer_wait)>
        Run;
    std::atomic<int> Lines {0};

    Line_Exchange Exchange(const char* line, std::size_t size, bool, std::chrono::milliseconds answer_wait,
        std::stop_token) override
    {
        ++Lines;
        return Run(line, size, answer_wait);
    }
};

// The monitoring thread over real stores in a temporary folder and a simulated automation
// software behind the transports: every line sent is recorded and answered by `answer`.
class Monitoring_Thread_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(stores.Load());
        Set_Default_Settings(settings);
        Set_Transport(settings, Output_Transport::Tcp);
        settings.Test_Heartbeat_Period = 0; // the link is confirmed as soon as the port is up
    }

    void TearDown() override
    {
        if (monitor) {
            gate.Reset();
            reply.Event.Set();
            monitor->Request_Stop();
            Pump_Until([&] { return monitor->Finished(); }, 5000);
            monitor->Release();
        }
    }

    std::string Path(const char* name) const { return stores.Path(name); }

    void Start()
    {
        const auto simulated = [this](const char* line, std::size_t size,
                                   std::chrono::milliseconds answer_wait) {
            sent.Add(line, size);
            const int answer_byte = answer ? answer(std::string(line, size)) : Answer_ACK;
            if (answer_byte >= 0)
                return Line_Exchange {Line_Exchange::End::Answer, static_cast<std::uint8_t>(answer_byte)};
            // Silence here; a late answer comes through the reply channel.
            return Line_Exchange {reply.Event.Wait_For(answer_wait) ? Line_Exchange::End::Interrupted
                                                                    : Line_Exchange::End::Silence};
        };
        for (Fake_Transport* transport : {&tcp_server, &tcp_client, &serial})
            transport->Run = simulated;
        monitor = std::make_unique<Monitoring_Thread>(
            Monitoring_Thread::Links {settings, events, objects, gate, reply, link_state, raw_traffic_wanted},
            Window_Thread_Call(&window_object),
            Monitoring_Thread::Reports {
                .Log = [this](const std::string& text, Log_Colour) { log.push_back(text); },
                .Fault_Beep = {},
                .Events_Saved = {},
                .Link_Confirmed = {},
                .Answer_Received =
                    [this](std::uint8_t answer_byte, std::chrono::system_clock::time_point) {
                        if (on_answer)
                            on_answer(answer_byte);
                    },
            },
            Monitoring_Thread::Transports {tcp_server, tcp_client, serial});
        monitor->Start();
    }

    std::uint8_t File_Status(std::uint32_t slot) const
    {
        QFile file(folder.filePath(QStringLiteral("tarvel.dat")));
        if (!file.open(QIODevice::ReadOnly) || !file.seek(4 + 80 * slot))
            return 0xFF;
        char byte = 0;
        file.getChar(&byte);
        return static_cast<std::uint8_t>(byte);
    }

    Test_Stores stores;
    QTemporaryDir& folder = stores.Folder;
    QObject window_object;
    Manual_Reset_Event& gate = stores.Gate;
    Event_Store& events = stores.Events;
    Object_Table& objects = stores.Objects;
    Settings_Record settings {};
    Reply_Channel reply;
    std::atomic<std::uint32_t> link_state {0};
    std::atomic<bool> raw_traffic_wanted {false};
    Fake_Transport tcp_server, tcp_client, serial;
    std::unique_ptr<Monitoring_Thread> monitor;
    Sent_Lines sent;
    std::vector<std::string> log;
    // The answer byte for a line, or -1 for silence.
    std::function<int(const std::string&)> answer;
    // Runs on the window thread for every answer handed over; set before Start.
    std::function<void(std::uint8_t answer)> on_answer;
};

TEST_F(Monitoring_Thread_Test, SavesWithoutTransportAndSendsOnceTheLinkIsUp)
{
    Start();
    events.Append_Event(Event("1234", "1401", "015"));
    ASSERT_TRUE(Pump_Until([&] { return events.Status(0) == (Status_Used | Status_Saved); }, 3000));
    EXPECT_EQ(File_Status(0), Status_Used) << "a saved, unreported record carries 1 in the file";
    EXPECT_TRUE(sent.empty()) << "nothing goes out while no transport is up";

    link_state.store(Link_Port_Up);
    ASSERT_TRUE(Pump_Until([&] { return File_Status(0) == 7; }, 3000));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], Line_For("1234", "015"));
    EXPECT_EQ(events.Status(0), 7);
}

// A failing event file is one red line, not one per pass; the events stay new in memory and reach
// the file, with one normal line, once writing works again.
TEST_F(Monitoring_Thread_Test, EventFileFailureIsLoggedOnceAndEveryEventSavedOnceItWorks)
{
    auto faults = std::make_unique<File_Faults>();
    faults->Fail(File_Operation::Write, ENOSPC);
    Start();
    events.Append_Event(Event("1234", "1401", "001"));
    const auto red_lines = [&] {
        return std::count_if(log.begin(), log.end(),
            [](const std::string& line) { return line.starts_with("Disk write error."); });
    };
    ASSERT_TRUE(Pump_Until([&] { return red_lines() == 1; }, 3000));
    events.Append_Event(Event("1234", "1401", "002"));
    // Long enough for passes after the pause that follows a failure.
    Pump_Until([] { return false; }, Monitoring_Thread::Failure_Pause_Ms + 1500);
    EXPECT_EQ(red_lines(), 1);
    EXPECT_EQ(events.Status(0), Status_Used);
    EXPECT_EQ(events.Status(1), Status_Used);

    faults.reset();
    ASSERT_TRUE(Pump_Until([&] { return events.Status(1) == (Status_Used | Status_Saved); }, 5000));
    EXPECT_EQ(events.Status(0), Status_Used | Status_Saved);
    EXPECT_EQ(File_Status(0), Status_Used);
    EXPECT_EQ(File_Status(1), Status_Used);
    ASSERT_TRUE(Pump_Until([&] { return !log.empty() && log.back() == "Event file written again."; }, 1000));
    EXPECT_EQ(red_lines(), 1);
}

TEST_F(Monitoring_Thread_Test, WrappedRingGoesOutInSlotOrderAndLinkTestsNever)
{
    // Slots 0..4094 link tests, slot 4095 event A, then B and C overwrite slots 0 and 1.
    for (std::uint32_t slot = 0; slot < Event_Slot_Count - 1; ++slot)
        events.Append_Event(Event("9999", "NULL", ""));
    events.Append_Event(Event("AAAA", "1401", "001"));
    events.Append_Event(Event("BBBB", "1401", "002"));
    events.Append_Event(Event("CCCC", "1401", "003"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return sent.size() >= 3 && File_Status(4095) == 7; }, 5000));
    Pump_Until([] { return false; }, 200);
    ASSERT_EQ(sent.size(), 3u) << "link tests are never sent";
    EXPECT_EQ(sent[0], Line_For("BBBB", "002"));
    EXPECT_EQ(sent[1], Line_For("CCCC", "003"));
    EXPECT_EQ(sent[2], Line_For("AAAA", "001"));
    EXPECT_EQ(events.Status(2), Status_Used | Status_Saved) << "a link test stays saved and unreported";
}

TEST_F(Monitoring_Thread_Test, RefusedLineIsSentAgainAndNeverSkipped)
{
    int refusals = 1;
    answer = [&](const std::string&) { return refusals-- > 0 ? Answer_NAK : Answer_ACK; };
    events.Append_Event(Event("1234", "1401", "001"));
    events.Append_Event(Event("1234", "1401", "002"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return File_Status(0) == 7 && File_Status(1) == 7; }, 8000));
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], Line_For("1234", "001"));
    EXPECT_EQ(sent[1], Line_For("1234", "001")) << "the refused line comes again first";
    EXPECT_EQ(sent[2], Line_For("1234", "002"));
    EXPECT_NE(std::find(log.begin(), log.end(), "Link error (data): negative ACK from automation software."),
        log.end());
}

TEST_F(Monitoring_Thread_Test, SilenceUnconfirmsTheLinkAndTheLineComesAgain)
{
    int silences = 1;
    answer = [&](const std::string&) { return silences-- > 0 ? -1 : Answer_ACK; };
    events.Append_Event(Event("1234", "1401", "001"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return File_Status(0) == 7; }, 8000));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], sent[1]);
    EXPECT_NE(
        std::find(log.begin(), log.end(), "Link error (data): no ACK from automation software."), log.end());
}

TEST_F(Monitoring_Thread_Test, AnswerForAnOverwrittenSlotDoesNotMarkTheNewEvent)
{
    // While the line of slot 0 awaits its answer, 4096 new events wrap the ring onto slot 0.
    std::atomic<bool> wrapped {false};
    answer = [&](const std::string& line) {
        if (!wrapped && line == Line_For("OLD1", "001")) {
            for (std::uint32_t i = 0; i < Event_Slot_Count; ++i)
                events.Append_Event(Event("NEW1", "1401", "777"));
            wrapped = true;
        }
        return line == Line_For("NEW1", "777") ? -1 : Answer_ACK; // hold the new ones back
    };
    events.Append_Event(Event("OLD1", "1401", "001"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return wrapped.load(); }, 3000));
    ASSERT_TRUE(Pump_Until([&] { return (events.Status(0) & Status_Saved) != 0; }, 3000));
    Pump_Until([] { return false; }, 300);
    EXPECT_EQ(events.Status(0) & Status_Reported, 0) << "the answer belonged to the overwritten event";
    EXPECT_EQ(Fixed_Text(events.Slot(0).Account_Number), "NEW1");
}

TEST_F(Monitoring_Thread_Test, SupervisionChangeIsReportedAndClearedOnAck)
{
    Event_Record first = Event("5678", "1401", "001");
    Set_Fixed_Text(first.Receiver_Number, "1");
    Set_Fixed_Text(first.Line_Number, "1");
    objects.Update_Object(first, false);
    objects.Set_Ping_Timeout(0, 1);
    for (int tick = 0; tick < 60; ++tick)
        objects.Supervision_Tick();
    ASSERT_EQ(objects.Supervision_Flags(0), Flag_Failed | Flag_Report);

    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return (objects.Supervision_Flags(0) & Flag_Report) == 0; }, 3000));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "501001 185678E35001000\x14");
}

// Many objects failing at once make a long supervision pass; an event acknowledged to its
// communicator meanwhile must reach the event file before the pass ends.
TEST_F(Monitoring_Thread_Test, EventsArrivingDuringASupervisionPassAreSavedBetweenItsLines)
{
    for (const char* account : {"5678", "5679"}) {
        const std::uint32_t position = objects.Update_Object(Event(account, "1401", "001"), false);
        objects.Set_Ping_Timeout(position, 1);
    }
    for (int tick = 0; tick < 60; ++tick)
        objects.Supervision_Tick();

    std::atomic<std::uint8_t> status_at_second_line {0xFF};
    answer = [&](const std::string&) {
        if (sent.size() == 1)
            events.Append_Event(Event("1234", "1401", "015")); // stored while the first line waits
        else if (sent.size() == 2)
            status_at_second_line = events.Status(0);
        return Answer_ACK;
    };
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return sent.size() >= 2; }, 5000));
    EXPECT_EQ(sent[0].substr(13, 5), "E3500");
    EXPECT_EQ(sent[1].substr(13, 5), "E3500");
    EXPECT_EQ(status_at_second_line.load(), Status_Used | Status_Saved);
}

// Slot order holds even when the save walk passed a slot just before its event arrived: that
// event goes out before the one saved in the slot above it. Set up with an event file whose
// slot 1 is saved and slot 0 free, and the append made while a supervision line awaits its
// answer, after the cycle's save pass and before the event pass.
TEST_F(Monitoring_Thread_Test, EventAppendedBehindTheSaveWalkStillGoesOutInSlotOrder)
{
    {
        auto image = std::make_unique<Event_Store_Image>();
        Event_Record saved = Event("2222", "1401", "002");
        saved.Status = Status_Used | Status_Saved;
        std::memcpy(&image->Slot[1], &saved, sizeof saved);
        QFile file(folder.filePath(QStringLiteral("tarvel.dat")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(reinterpret_cast<const char*>(image.get()), sizeof *image),
            static_cast<qint64>(sizeof *image));
    }
    ASSERT_EQ(events.Load_Event_File(Path("tarvel.dat")), "");
    ASSERT_EQ(events.Status(1), Status_Used | Status_Saved);
    objects.Set_Ping_Timeout(objects.Update_Object(Event("5678", "1401", "001"), false), 1);
    for (int tick = 0; tick < 60; ++tick)
        objects.Supervision_Tick();

    answer = [&](const std::string& line) {
        if (line.substr(13, 5) == "E3500")
            events.Append_Event(Event("1111", "1401", "001")); // into slot 0
        return Answer_ACK;
    };
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return sent.size() >= 3; }, 5000));
    EXPECT_EQ(sent[1], Line_For("1111", "001")) << "slot 0 went out after slot 1";
    EXPECT_EQ(sent[2], Line_For("2222", "002"));
}

// An exception nobody foresaw inside a cycle is logged in red and the deliveries go on: the line
// whose answer was being handled is sent again and acknowledged.
TEST_F(Monitoring_Thread_Test, ExceptionInsideACycleIsLoggedAndDeliveriesGoOn)
{
    std::atomic<int> answers {0};
    answer = [&answers](const std::string&) -> int {
        if (answers.fetch_add(1) == 0)
            throw std::runtime_error("answer display failed");
        return Answer_ACK;
    };
    events.Append_Event(Event("1234", "1401", "015"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return (events.Status(0) & Status_Reported) != 0; }, 5000));
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], sent[1]);
    EXPECT_NE(std::find(log.begin(), log.end(), "Output thread error: answer display failed"), log.end());
}

TEST_F(Monitoring_Thread_Test, LeavesAClosedGateWhenAskedToEnd)
{
    gate.Reset();
    Start();
    monitor->Request_Stop();
    EXPECT_TRUE(Pump_Until([&] { return monitor->Finished(); }, 2000));
}

TEST(Window_Thread_Call, WorkGivenUpOnNeverRuns)
{
    QObject window_object;
    std::stop_source stop;
    stop.request_stop();
    bool ran = false;
    EXPECT_FALSE(Window_Thread_Call(&window_object).Run([&] { ran = true; }, stop.get_token()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(Window_Thread_Call, RunsOnTheWindowThreadAndWaits)
{
    QObject window_object;
    std::thread::id ran_on;
    std::atomic<bool> returned {false};
    std::jthread worker([&](std::stop_token stop) {
        Window_Thread_Call(&window_object).Run([&] { ran_on = std::this_thread::get_id(); }, stop);
        returned = true;
    });
    ASSERT_TRUE(Pump_Until([&] { return returned.load(); }, 2000));
    EXPECT_EQ(ran_on, std::this_thread::get_id());
}

} // namespace

namespace {

TEST_F(Monitoring_Thread_Test, BulkChangeWaitsForTheLineAwaitingItsAnswer)
{
    // The answer comes 400 ms after the line, from another thread, as a slow automation
    // software's would; the fence is closed while the line is out.
    std::atomic<bool> line_out {false};
    std::jthread late_answer;
    answer = [&](const std::string&) {
        if (line_out)
            return -1;
        late_answer = std::jthread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            reply.Deliver(Answer_ACK);
        });
        line_out = true;
        return -1;
    };
    events.Append_Event(Event("1234", "1401", "001"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return line_out.load(); }, 3000));
    {
        // The drain the program gives the stores.
        Store_Gate_Fence fence(
            gate, [this] { monitor->Wait_Until_No_Line(std::chrono::milliseconds(2500)); });
        EXPECT_EQ(events.Status(0), 7) << "the fence returned before the answered line was marked";
    }
}

} // namespace

namespace {

TEST_F(Monitoring_Thread_Test, BulkChangeServesTheWindowThreadAndSkipsTheRefusalPause)
{
    // The refusal arrives through the window thread, as a TCP answer does, 300 ms after the line:
    // the fence must keep serving that thread, and must not sit out the 2 s pause after a refusal.
    std::atomic<bool> line_out {false};
    answer = [&](const std::string&) {
        line_out = true;
        // Asked for from the monitoring thread, which sends the line; the timer runs on the window thread.
        Window_Thread_Call(&window_object).Post([this] {
            QTimer::singleShot(300, &window_object, [this] { reply.Deliver(Answer_NAK); });
        });
        return -1;
    };
    events.Append_Event(Event("1234", "1401", "001"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return line_out.load(); }, 3000));
    QElapsedTimer clock;
    clock.start();
    {
        Store_Gate_Fence fence(
            gate, [this] { monitor->Wait_Until_No_Line(std::chrono::milliseconds(2500)); });
    }
    EXPECT_LT(clock.elapsed(), 1500) << "the fence waited for the pause, or for the answer wait to run out";
    Pump_Until([&] { return !log.empty(); }, 3000);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Link error (data): no ACK from automation software."), 0);
}

} // namespace

namespace {

// A line goes through the side the settings name, and through no other.
struct Route
{
    Output_Transport Transport;
    bool Server_Mode;
    int Side; // 0 TCP server, 1 TCP client, 2 serial
};

class Monitoring_Thread_Route_Test : public Monitoring_Thread_Test,
                                     public ::testing::WithParamInterface<Route>
{
};

TEST_P(Monitoring_Thread_Route_Test, LineGoesThroughTheSideTheSettingsName)
{
    Set_Transport(settings, GetParam().Transport);
    settings.Mon_Server_Mode = GetParam().Server_Mode ? 1 : 0;
    events.Append_Event(Event("1111", "1401", "001"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return events.Status(0) == 7; }, 3000));
    const Fake_Transport* sides[] = {&tcp_server, &tcp_client, &serial};
    for (int side = 0; side < 3; ++side)
        EXPECT_EQ(sides[side]->Lines.load(), side == GetParam().Side ? 1 : 0) << "side " << side;
}

INSTANTIATE_TEST_SUITE_P(Sides, Monitoring_Thread_Route_Test,
    ::testing::Values(Route {Output_Transport::Tcp, true, 0}, Route {Output_Transport::Tcp, false, 1},
        Route {Output_Transport::Serial, true, 2}));

// A closed transport sends nothing and waits out the answer wait: the line goes unanswered.
TEST_F(Monitoring_Thread_Test, ClosedTransportSendsNothingAndTheLineGoesUnanswered)
{
    Set_Transport(settings, Output_Transport::Closed);
    events.Append_Event(Event("4444", "1401", "004"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until(
        [&] {
            return std::count(log.begin(), log.end(), "Link error (data): no ACK from automation software.")
                == 1;
        },
        Monitoring_Thread::Answer_Wait_Ms + 2000));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(events.Status(0), Status_Used | Status_Saved);
}

// An answer reaches the raw traffic on the window thread, and only while someone wants it.
TEST_F(Monitoring_Thread_Test, AnswersAreHandedOverOnlyWhileRawTrafficIsWanted)
{
    // Shared with the handler, which may still run while the fixture stops the thread.
    struct Shown
    {
        std::vector<std::uint8_t> Answers; // the window thread's alone
        bool Off_Window_Thread = false;
    };
    const auto shown = std::make_shared<Shown>();
    on_answer = [shown, window_thread = std::this_thread::get_id()](std::uint8_t answer_byte) {
        if (std::this_thread::get_id() != window_thread)
            shown->Off_Window_Thread = true;
        shown->Answers.push_back(answer_byte);
    };
    answer = [](const std::string& line) {
        return line.find("1111") != std::string::npos ? Answer_NAK : Answer_ACK;
    };
    events.Append_Event(Event("2222", "1401", "001"));
    link_state.store(Link_Port_Up);
    Start();
    ASSERT_TRUE(Pump_Until([&] { return events.Status(0) == 7; }, 3000));
    Pump_Until([] { return false; }, 200);
    EXPECT_TRUE(shown->Answers.empty()) << "handed over while nobody wanted raw traffic";

    raw_traffic_wanted = true;
    events.Append_Event(Event("1111", "1401", "002"));
    ASSERT_TRUE(Pump_Until([&] { return !shown->Answers.empty(); }, 3000));
    EXPECT_EQ(shown->Answers.front(), Answer_NAK);
    EXPECT_FALSE(shown->Off_Window_Thread);
}

} // namespace

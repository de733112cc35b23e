// Clearing the events and deleting every object while a line to the automation software awaits
// its answer. The whole program runs in this process, offscreen, so the test can click its real
// windows; the automation software is a real TCP peer that holds its acknowledgement for a second,
// and the program reads that answer as always, through its window thread.

#include "store/Event_Record.h"
#include "store/Fixed_Text.h"
#include "store/Object_Record.h"
#include "store/Supervision_Timer.h"
#include "tests/support/Forwarding_Session.h"
#include "tests/support/Pump_Until.h"
#include "tests/ui/In_Process_Program.h"
#include "ui/Main_Window.h"
#include "ui/Message_Box.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr int Held_Answer_Ms = 1000;

std::size_t Count_Log_Lines_In(const std::string& log, std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size()))
        ++count;
    return count;
}

QWidget* Window(const char* name)
{
    return Top_Level_Window(name);
}

QAction* Action(const char* window, const char* name)
{
    QWidget* owner = Window(window);
    return owner ? owner->findChild<QAction*>(QLatin1String(name)) : nullptr;
}

Event_Record Stored_Event(const char* account)
{
    Event_Record record {};
    record.Status = Status_Used;
    Set_Fixed_Text(record.Receiver_Number, "12");
    Set_Fixed_Text(record.Line_Number, "3");
    Set_Fixed_Text(record.Account_Number, account);
    Set_Fixed_Text(record.Qualifier_Event, "1401");
    Set_Fixed_Text(record.Group_Partition, "01");
    Set_Fixed_Text(record.Zone_User, "001");
    record.Time_Received = 1765262000;
    record.Signal_Quality = 255;
    return record;
}

// An object that failed before the last stop, with its report still to send.
Object_Record Failed_Object(const char* account)
{
    Object_Record record {};
    record.Last_Time = 1765262000;
    Set_Fixed_Text(record.Account_Number, account);
    Set_Fixed_Text(record.Receiver_Number, "12");
    Set_Fixed_Text(record.Line_Number, "3");
    Set_Fixed_Text(record.Qualifier_Event, "1401");
    record.Signal_Quality = 255;
    record.Supervision_Flags = Flag_Failed | Flag_Report;
    record.Ping_Timeout = 70;
    return record;
}

class Bulk_Change_Program_Test : public ::testing::Test
{
protected:
    void SetUp() override { Use_Home_Folder(runner.Home()); }

    void TearDown() override
    {
        if (program) {
            program->End();
            program.reset();
        }
        Set_Message_Box_Hook({});
    }

    // Starts the program (with its receiver port open only when asked) with a heartbeat period long enough
    // that a link that lost its confirmation would stay unconfirmed for the rest of the test.
    void Start(bool receiver_port = false)
    {
        settings = Forwarding_Settings(60);
        settings.DC9_Port_Enable = receiver_port ? 1 : 0;
        settings.DC9_Port = static_cast<std::uint16_t>(Pick_Free_Port());
        settings.Mon_Port = static_cast<std::uint16_t>(Pick_Free_Port());
        ASSERT_TRUE(runner.Write_Settings(settings));
        program = std::make_unique<In_Process_Program>();
        ASSERT_TRUE(program->Start());
        int connection = 0;
        Pump_Until(
            [&] {
                connection = simulator.Connect_Tcp(settings.Mon_Port, 100);
                return connection != 0;
            },
            10000);
        ASSERT_NE(connection, 0) << "the output port did not open";
    }

    // The first line after the heartbeat is answered only after Held_Answer_Ms.
    void Hold_First_Answer()
    {
        simulator.Set_Answer_Delay(
            [](const Received_Line&, std::size_t index) { return index == 1 ? Held_Answer_Ms : 0; });
    }

    std::size_t Lines_With(std::string_view text) const
    {
        std::size_t count = 0;
        for (const Received_Line& line : simulator.Lines())
            count += line.text.find(text) != std::string::npos ? 1 : 0;
        return count;
    }

    // Sends one event from a communicator on a thread of its own, while this thread serves the
    // program.
    bool Send_From_Communicator(const char* account)
    {
        std::atomic<bool> done {false};
        std::string reply;
        std::thread communicator([&] {
            DC09_Test_Client client;
            if (client.Connect(settings.DC9_Port, 3000))
                reply = client.Exchange(Build_Clear_Frame(Event_Message(account, "1401", "01", "005")), 3000);
            done = true;
        });
        Pump_Until([&] { return done.load(); }, 8000);
        communicator.join();
        return Decode_Reply(reply).token == "ACK";
    }

    bool File_Is_Zero(std::string_view name, std::size_t size) const
    {
        const auto bytes = runner.Read_Data_File(name);
        return bytes && bytes->size() == size && bytes->find_first_not_of('\0') == std::string::npos;
    }

    // Triggers a menu item of a list window as the operator would, answering its question with OK;
    // the milliseconds until the change was done.
    qint64 Confirm(const char* window, const char* item)
    {
        Set_Next_Message_Box_Answer(Box_Answer::Ok);
        QAction* action = Action(window, item);
        EXPECT_NE(action, nullptr) << item;
        QElapsedTimer clock;
        clock.start();
        if (action)
            action->trigger();
        return clock.elapsed();
    }

    Program_Runner runner; // only its folders: the program runs in this process
    Automation_Simulator simulator;
    Settings_Record settings {};
    std::unique_ptr<In_Process_Program> program;
};

TEST_F(Bulk_Change_Program_Test, ClearEventsWaitsForTheHeldAnswerWithoutALinkError)
{
    Event_Store_Image image {};
    image.Next_Slot = 3;
    image.Slot[0] = Stored_Event("1001");
    image.Slot[1] = Stored_Event("1002");
    image.Slot[2] = Stored_Event("1003");
    ASSERT_TRUE(runner.Write_Data_File("tarvel.dat", {reinterpret_cast<const char*>(&image), sizeof image}));
    Hold_First_Answer();
    Start(true);

    ASSERT_TRUE(Pump_Until([&] { return simulator.Line_Count() >= 2; }, 10000));
    ASSERT_NE(simulator.Lines()[1].text.find("1001"), std::string::npos) << "the held line is event 1001";
    Action("Main_Form", "Meniu_Events")->trigger();
    ASSERT_TRUE(Window("Form_Events")->isVisible());

    const qint64 took = Confirm("Form_Events", "Clear1");
    EXPECT_TRUE(File_Is_Zero("tarvel.dat", Event_File_Size)) << "the clear was done";
    EXPECT_LT(took, 2400) << "the clear went on once the answer was in";
    EXPECT_EQ(Count_Log_Lines_In(runner.Read_Log_Files(), "Link error"), 0u) << runner.Read_Log_Files();

    // The cleared events never go out; a new one goes out at once: the link stayed confirmed.
    ASSERT_TRUE(Send_From_Communicator("2001"));
    ASSERT_TRUE(Pump_Until([&] { return Lines_With("2001") == 1; }, 5000))
        << "a link that lost its confirmation would wait for the next heartbeat, a minute away";
    EXPECT_EQ(Lines_With("1002") + Lines_With("1003"), 0u);
    // The output thread's save pass had the shown list refreshed.
    auto* list = Window("Form_Events")->findChild<QAbstractItemView*>(QStringLiteral("StringGrid_Events"));
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(Pump_Until(
        [&] { return list->model()->index(0, 3).data().toString() == QStringLiteral(" 2001"); }, 3000));
    EXPECT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(Lines_With("1001"), 1u);
    EXPECT_EQ(
        Count_Log_Lines_In(runner.Read_Log_Files(), "Connection with automation software established."), 1u);
}

TEST_F(Bulk_Change_Program_Test, DeleteAllObjectsWaitsForTheHeldAnswerWithoutALinkError)
{
    std::string objects(Object_File_Size, '\0');
    const Object_Record first = Failed_Object("3001");
    const Object_Record second = Failed_Object("3002");
    std::memcpy(objects.data(), &first, sizeof first);
    std::memcpy(objects.data() + sizeof first, &second, sizeof second);
    ASSERT_TRUE(runner.Write_Data_File("latevn.dat", objects));
    Event_Store_Image image {};
    image.Next_Slot = 1;
    image.Slot[0] = Stored_Event("4001");
    ASSERT_TRUE(runner.Write_Data_File("tarvel.dat", {reinterpret_cast<const char*>(&image), sizeof image}));
    Hold_First_Answer();
    Start();

    ASSERT_TRUE(Pump_Until([&] { return simulator.Line_Count() >= 2; }, 10000));
    ASSERT_NE(simulator.Lines()[1].text.find("3001"), std::string::npos) << "the held line reports 3001";
    Action("Main_Form", "ObjectList1")->trigger();
    ASSERT_TRUE(Window("Form_Latest_Events")->isVisible());

    const qint64 took = Confirm("Form_Latest_Events", "Menu_Delete_Objects");
    EXPECT_TRUE(File_Is_Zero("latevn.dat", Object_File_Size)) << "the deletion was done";
    EXPECT_LT(took, 2400) << "the deletion went on once the answer was in";

    // The stored event goes out next, at once; the deleted object's report never does.
    ASSERT_TRUE(Pump_Until([&] { return Lines_With("4001") == 1; }, 5000))
        << "a link that lost its confirmation would wait for the next heartbeat, a minute away";
    EXPECT_EQ(Lines_With("3002"), 0u);
    EXPECT_EQ(Count_Log_Lines_In(runner.Read_Log_Files(), "Link error"), 0u) << runner.Read_Log_Files();
}

TEST_F(Bulk_Change_Program_Test, ListWindowsFollowTheMenuAndBackgroundModeAndSuperviseWhileHidden)
{
    Start();
    // The station's, not the window's: it supervises whether the Object List is shown or not.
    auto* supervision
        = program->station.Supervision().findChild<QTimer*>(QStringLiteral("Timer_Ping_Update"));
    ASSERT_NE(supervision, nullptr);
    EXPECT_TRUE(supervision->isActive()) << "the supervision runs from start-up, the window hidden";
    EXPECT_FALSE(Window("Form_Events")->isVisible());

    Action("Main_Form", "Meniu_Events")->trigger();
    Action("Main_Form", "ObjectList1")->trigger();
    EXPECT_TRUE(Window("Form_Events")->isVisible());
    EXPECT_TRUE(Window("Form_Latest_Events")->isVisible());
    EXPECT_EQ(Window("Form_Events")->windowTitle(), QStringLiteral("Event List"));
    EXPECT_EQ(Window("Form_Latest_Events")->windowTitle(), QStringLiteral("Object List"));

    // Closing the main window without "Exit" is background mode: the lists go too. Offscreen has
    // no notification area, where the window would only be minimised: this test wants one.
    auto* main_form = qobject_cast<TMain_Form*>(Window("Main_Form"));
    ASSERT_NE(main_form, nullptr);
    main_form->System_Tray_Available = [] { return true; };
    Window("Main_Form")->close();
    EXPECT_FALSE(Window("Main_Form")->isVisible());
    EXPECT_FALSE(Window("Form_Events")->isVisible());
    EXPECT_FALSE(Window("Form_Latest_Events")->isVisible());
    EXPECT_TRUE(supervision->isActive());
}

} // namespace

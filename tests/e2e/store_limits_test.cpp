// What the program does when its stores are full or an account does not fit the forwarded line:
// an alarm the automation software has not been told of is never pushed out of the event ring or
// the object list, and what cannot be kept is refused or said in the log.

#include "tests/e2e/E2E_Common.h"
#include "tests/store/Store_Test_Support.h"
#include "tests/support/Forwarding_Session.h"

namespace {

Object_Record Stored_Object(int index, std::int64_t last_time, std::uint8_t flags)
{
    Object_Record record {};
    record.Last_Time = last_time;
    Set_Fixed_Text(record.Account_Number, "A" + std::to_string(index));
    Set_Fixed_Text(record.Qualifier_Event, "1130");
    record.Signal_Quality = 255;
    record.Supervision_Flags = flags;
    return record;
}

} // namespace

// The ring holds 4,096 alarms the automation software has not had, and it is away: the 4,097th
// is not acknowledged, so its communicator sends it again later; nothing is overwritten, and the
// first alarm goes out once the automation software comes.
TEST(Store_Limits, FullRingOfWaitingAlarmsRefusesTheNextUntilOneIsReported)
{
    Forwarding_Session session;
    auto ring = std::make_unique<Event_Store_Image>();
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot) {
        ring->Slot[slot] = Make_Event(std::to_string(1000 + slot), Now_Seconds() - 100, "1130");
        ring->Slot[slot].Status = Status_Used;
    }
    ASSERT_TRUE(session.runner.Write_Data_File(
        "tarvel.dat", {reinterpret_cast<const char*>(ring.get()), sizeof *ring}));

    Settings_Record settings = Forwarding_Settings(30);
    session.mon_port = Pick_Free_Port();
    settings.Mon_Port = session.mon_port;
    ASSERT_TRUE(session.Start(settings)) << session.problem;

    EXPECT_EQ(session.Send_Event(Event_Message("9999", "1401", "01", "015")), "")
        << "an alarm that would overwrite a waiting one must not be acknowledged";
    EXPECT_TRUE(session.runner.Wait_For_Log("Event store full", 1000)) << session.runner.Standard_Error();
    // A link test takes no slot and is still answered, so the communicator's supervision holds.
    Test_Message link_test;
    link_test.token = "NULL";
    link_test.account = "9999";
    link_test.content = "]";
    EXPECT_EQ(Decode_Reply(session.communicator.Exchange(Build_Clear_Frame(link_test))).token, "ACK");
    QThread::msleep(500);
    const auto store = Read_Event_Store(session.runner);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 0u);
    EXPECT_EQ(Fixed_Text(store->Slot[0].Account_Number), "1000");

    ASSERT_NE(session.simulator.Connect_Tcp_When_Listening(session.mon_port, 5000), 0);
    ASSERT_TRUE(session.simulator.Wait_For_Line(Event_Line_Text(1, 2, "1000", "E130", "01", "003"), 0, 8000))
        << session.runner.Standard_Error();
    ASSERT_EQ(Wait_For_Event_Status(session.runner, 0, 7, 5000), 7);
    EXPECT_TRUE(session.runner.Wait_For_Log(
        "Event store accepts alarms again. Alarms not acknowledged while it was full: 1", 3000))
        << session.runner.Standard_Error();
    EXPECT_EQ(session.Send_Event(Event_Message("9999", "1401", "01", "015")), "ACK");
    const auto after = Wait_For_Next_Slot(session.runner, 1);
    ASSERT_TRUE(after);
    EXPECT_EQ(Fixed_Text(after->Slot[0].Account_Number), "9999");
    EXPECT_EQ(Count_Log_Lines(session.runner, "Event store full"), 1u);
}

// Every object in a full list has failed: none gives way, so a new account gets no object, with
// one line a minute saying so, while its event is still stored.
TEST(Store_Limits, FullListOfFailedObjectsGivesNewAccountsNone)
{
    Program_Runner runner;
    std::vector<Object_Record> table;
    const std::int64_t now = Now_Seconds();
    for (std::uint32_t position = 0; position < Object_Count; ++position)
        table.push_back(Stored_Object(static_cast<int>(position), now - 100000 + position, Flag_Failed));
    ASSERT_TRUE(runner.Write_Data_File(
        "latevn.dat", {reinterpret_cast<const char*>(table.data()), Object_File_Size}));
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();

    DC09_Test_Client communicator;
    ASSERT_TRUE(communicator.Connect(runner.Port()));
    for (const char* account : {"6666", "6667"})
        EXPECT_EQ(Decode_Reply(
                      communicator.Exchange(Build_Clear_Frame(Event_Message(account, "1401", "01", "015"))))
                      .token,
            "ACK");
    EXPECT_TRUE(runner.Wait_For_Log("account 6666 gets no object", 2000)) << runner.Standard_Error();
    const auto store = Wait_For_Next_Slot(runner, 2);
    ASSERT_TRUE(store);
    EXPECT_EQ(Fixed_Text(store->Slot[1].Account_Number), "6667");
    EXPECT_EQ(Count_Log_Lines(runner, "gets no object"), 1u) << "at most one such line a minute";
    EXPECT_EQ(Count_Log_Lines(runner, "gave way"), 0u);
    const auto objects = Read_Object_Table(runner);
    ASSERT_EQ(objects.size(), Object_Count);
    EXPECT_EQ(Hex_Upper(Record_Bytes(objects[0])), Hex_Upper(Record_Bytes(table[0])));
}

// Accounts longer than the line's account field go out cut, so two customers would share one:
// each is logged once a run.
TEST(Store_Limits, LongAccountIsLoggedOncePerAccount)
{
    Program_Runner runner;
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();
    DC09_Test_Client communicator;
    ASSERT_TRUE(communicator.Connect(runner.Port()));
    for (const char* account : {"100200", "100299", "100200", "1234"})
        EXPECT_EQ(Decode_Reply(
                      communicator.Exchange(Build_Clear_Frame(Event_Message(account, "1401", "01", "015"))))
                      .token,
            "ACK");
    ASSERT_TRUE(runner.Wait_For_Log("Account 100299 is longer than the 4 characters", 2000))
        << runner.Standard_Error();
    EXPECT_EQ(Count_Log_Lines(runner,
                  "Account 100200 is longer than the 4 characters the automation "
                  "software's line carries: it is forwarded as 1002"),
        1u);
    EXPECT_EQ(Count_Log_Lines(runner, "Account 1234 is longer"), 0u);
}

// A flood of invented long accounts names ten a minute, not one line each.
TEST(Store_Limits, ManyLongAccountsDoNotFloodTheLog)
{
    Program_Runner runner;
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();
    DC09_Test_Client communicator;
    ASSERT_TRUE(communicator.Connect(runner.Port()));
    for (int i = 0; i < 40; ++i) {
        const std::string account = std::to_string(200000 + i);
        ASSERT_EQ(Decode_Reply(communicator.Exchange(
                                   Build_Clear_Frame(Event_Message(account.c_str(), "1401", "01", "015"))))
                      .token,
            "ACK");
    }
    // The last reply came after every message was handled; their lines are written by then.
    ASSERT_TRUE(runner.Wait_For_Log("Account 200009 is longer", 2000)) << runner.Standard_Error();
    EXPECT_EQ(Count_Log_Lines(runner, " is longer than the 4 characters"), 10u);
}

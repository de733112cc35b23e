// What the running receiver writes to the event file and the object file for the messages it
// acknowledges, checked byte for byte against the record layouts.

#include "tests/e2e/E2E_Common.h"

namespace {

class Storage : public ::testing::Test
{
protected:
    void Start()
    {
        ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
        ASSERT_TRUE(m_client.Connect(m_runner.Port()));
    }

    void Expect_Ack(const Test_Message& message)
    {
        const Test_Reply reply = Decode_Reply(m_client.Exchange(Build_Clear_Frame(message)));
        EXPECT_EQ(reply.token, "ACK") << "account " << message.account << ": " << reply.body;
    }

    static Test_Message Message_For(const std::string& account, const std::string& extended = {})
    {
        Test_Message message;
        message.account = account;
        message.content = "#" + account + "|1401 01 001]";
        message.extended = extended;
        return message;
    }

    Program_Runner m_runner;
    DC09_Test_Client m_client;
};

TEST_F(Storage, AcknowledgedEventAndObjectStoredByteExact)
{
    Start();
    Test_Message message;
    message.receiver = "5";
    message.line = "1";
    message.content = "#1234|1131 03 017]";
    const std::int64_t before = Now_Seconds();
    Expect_Ack(message);
    const std::int64_t after = Now_Seconds();

    const auto store = Wait_For_Next_Slot(m_runner, 1);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 1u);
    Expected_Fields fields;
    fields.receiver = "5";
    fields.line = "1";
    fields.event = "1131";
    fields.group = "03";
    fields.zone = "017";
    Expect_Event(store->Slot[0], fields, before, after);
    EXPECT_EQ(Used_Event_Count(*store), 1u);

    const auto objects = Wait_For_Objects(m_runner, 1);
    ASSERT_EQ(Used_Object_Count(objects), 1u);
    Expect_Object(objects[0], fields, store->Slot[0], 70);
}

TEST_F(Storage, SignalQualityAndReportedAddressStored)
{
    Start();
    const std::int64_t before = Now_Seconds();
    Expect_Ack(Message_For("ABCDEF0123456789", "[Q18][B192.168.100.200]"));
    Expect_Ack(Message_For("ABCDEF0123456789", "[Q300]"));
    const std::int64_t after = Now_Seconds();

    const auto store = Wait_For_Next_Slot(m_runner, 2);
    ASSERT_TRUE(store);
    Expected_Fields fields;
    fields.account = "ABCDEF0123456789";
    fields.address = "192.168.100.200";
    fields.signal_quality = 18;
    Expect_Event(store->Slot[0], fields, before, after);
    Expected_Fields second = fields;
    second.address = "127.0.0.1";
    second.signal_quality = 300 & 0xFF;
    Expect_Event(store->Slot[1], second, before, after);

    // A signal-quality value gives a new object the short supervision time-out; the account's later
    // message updates the same object and keeps it.
    const auto objects = Wait_For_Objects(m_runner, 1);
    ASSERT_EQ(Used_Object_Count(objects), 1u);
    Expect_Object(objects[0], second, store->Slot[1], 6);
}

TEST_F(Storage, LinkTestStoredAsNull)
{
    Start();
    Test_Message message;
    message.token = "NULL";
    message.content = "]";
    const std::int64_t before = Now_Seconds();
    Expect_Ack(message);
    const std::int64_t after = Now_Seconds();
    const auto store = Wait_For_Next_Slot(m_runner, 1);
    ASSERT_TRUE(store);
    Expected_Fields fields;
    fields.event = "NULL";
    fields.group.clear();
    fields.zone.clear();
    Expect_Event(store->Slot[0], fields, before, after);
}

TEST_F(Storage, RefusedMessageStoredNowhere)
{
    Start();
    Test_Message refused;
    refused.content = "#9999|1401 01 001]";
    EXPECT_EQ(Decode_Reply(m_client.Exchange(Build_Clear_Frame(refused))).token, "DUH");
    // The next acknowledged message marks the point by which a refused one would have been stored.
    Expect_Ack(Message_For("5678"));
    Expect_Only_Stored_Event(m_runner, "5678");
    const auto objects = Read_Object_Table(m_runner);
    EXPECT_EQ(Used_Object_Count(objects), 1u);
    EXPECT_EQ(Fixed_Text(objects[0].Account_Number), "5678");
}

TEST_F(Storage, EventsFillSlotsAndObjectsInArrivalOrder)
{
    Start();
    constexpr int count = 25;
    for (int i = 0; i < count; ++i)
        Expect_Ack(Message_For(std::to_string(1000 + i)));
    const auto store = Wait_For_Next_Slot(m_runner, count);
    ASSERT_TRUE(store);
    ASSERT_EQ(store->Next_Slot, static_cast<std::uint32_t>(count));
    const auto objects = Wait_For_Objects(m_runner, count);
    ASSERT_EQ(Used_Object_Count(objects), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(store->Slot[i].Status, Status_Used) << "slot " << i;
        EXPECT_EQ(Fixed_Text(store->Slot[i].Account_Number), std::to_string(1000 + i));
        EXPECT_EQ(Fixed_Text(objects[i].Account_Number), std::to_string(1000 + i));
    }
}

TEST_F(Storage, ExistingFilesLoadedAndContinued)
{
    // A ring whose next slot is 5, with a reported event in slot 4, and an object for account 1234
    // with a 10-minute time-out at position 0.
    auto prepared = std::make_unique<Event_Store_Image>();
    std::memset(prepared.get(), 0, sizeof(Event_Store_Image));
    prepared->Next_Slot = 5;
    Expected_Fields old_fields;
    old_fields.account = "4321";
    prepared->Slot[4] = Expected_Event(old_fields, 1600000000);
    prepared->Slot[4].Status = Status_Used | Status_Saved | Status_Reported;
    std::vector<Object_Record> objects(Object_Count);
    std::memset(objects.data(), 0, Object_File_Size);
    Expected_Fields object_fields;
    object_fields.event = "1602";
    objects[0] = Expected_Object(object_fields, 1600000000, 10);
    objects[0].Ping_Countdown = 17;
    ASSERT_TRUE(m_runner.Write_Data_File("tarvel.dat", Record_Bytes(*prepared)));
    ASSERT_TRUE(m_runner.Write_Data_File(
        "latevn.dat", {reinterpret_cast<const char*>(objects.data()), Object_File_Size}));
    Start();

    const std::int64_t before = Now_Seconds();
    Expect_Ack(Test_Message {});
    const std::int64_t after = Now_Seconds();
    const auto store = Wait_For_Next_Slot(m_runner, 6);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 6u);
    EXPECT_EQ(Hex_Upper(Record_Bytes(store->Slot[4])), Hex_Upper(Record_Bytes(prepared->Slot[4])));
    const Expected_Fields fields;
    Expect_Event(store->Slot[5], fields, before, after);
    EXPECT_EQ(Used_Event_Count(*store), 2u);

    // The object file is written when the message is stored, before the event file.
    const auto table = Read_Object_Table(m_runner);
    ASSERT_EQ(Used_Object_Count(table), 1u);
    Expect_Object(table[0], fields, store->Slot[5], 10);
}

} // namespace

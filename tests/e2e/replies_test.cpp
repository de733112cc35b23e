// The replies the running receiver sends on the wire, byte for byte.

#include "tests/e2e/E2E_Common.h"

namespace {

class Replies : public ::testing::Test
{
protected:
    void Start(const Settings_Record& settings)
    {
        ASSERT_TRUE(m_runner.Start_Receiver(settings)) << m_runner.Standard_Error();
        ASSERT_TRUE(m_client.Connect(m_runner.Port()));
    }

    // The reply body (between the frame fields and the carriage return) after checking the framing.
    Test_Reply Exchange(const std::string& frame, int aes_mode = 0, const Test_Key& key = {})
    {
        const std::string reply = m_client.Exchange(frame);
        EXPECT_FALSE(reply.empty()) << "no reply to " << frame;
        Test_Reply decoded = Decode_Reply(reply, aes_mode, key);
        EXPECT_EQ(decoded.problem, "") << "reply " << reply;
        return decoded;
    }

    // A reply that ends in a time stamp carrying the receiver's UTC clock of [earliest, latest].
    static void Expect_Time_Stamp(const std::string& text, std::int64_t earliest, std::int64_t latest)
    {
        const std::int64_t seconds = Parse_Utc_Time_Stamp(text);
        EXPECT_GE(seconds, earliest) << text;
        EXPECT_LE(seconds, latest) << text;
    }

    // The frame gets the NAK with the receiver's time, and neither an event nor an object is kept.
    void Expect_Nak_And_Nothing_Stored(const std::string& frame)
    {
        const std::int64_t before = Now_Seconds();
        const Test_Reply reply = Exchange(frame);
        const std::int64_t after = Now_Seconds();
        const std::string fixed = "\"NAK\"0000R0L0A0[]";
        ASSERT_EQ(reply.body.substr(0, fixed.size()), fixed) << reply.body;
        Expect_Time_Stamp(reply.body.substr(fixed.size()), before, after);
        // New events reach the file within about 100 ms; give it several times that.
        QThread::msleep(600);
        const auto store = Read_Event_Store(m_runner);
        ASSERT_TRUE(store);
        EXPECT_EQ(store->Next_Slot, 0u);
        EXPECT_EQ(Used_Event_Count(*store), 0u);
        EXPECT_EQ(Used_Object_Count(Read_Object_Table(m_runner)), 0u);
    }

    Program_Runner m_runner;
    DC09_Test_Client m_client;
};

TEST_F(Replies, WorkedExampleGetsExactAck)
{
    Start(Receiver_Settings());
    EXPECT_EQ(m_client.Exchange(Build_Clear_Frame(Test_Message {})), "\n1BC10012\"ACK\"0001L0#1234[]\r");
}

TEST_F(Replies, AckEchoesHeaderAndCarriesUtcTimeForStampedMessage)
{
    Start(Receiver_Settings());
    Test_Message message;
    message.sequence = "0042";
    message.receiver = "12AB";
    message.line = "3";
    message.account = "A1B2";
    message.content = "#A1B2|3401 02 015]";
    message.time_stamp = "_10:00:00,01-15-2020";
    const std::int64_t before = Now_Seconds();
    const Test_Reply reply = Exchange(Build_Clear_Frame(message));
    const std::int64_t after = Now_Seconds();
    const std::string expected = "0042R12ABL3#A1B2[]";
    EXPECT_EQ(reply.token, "ACK");
    ASSERT_EQ(reply.after_token.substr(0, expected.size()), expected) << reply.body;
    Expect_Time_Stamp(reply.after_token.substr(expected.size()), before, after);
}

TEST_F(Replies, LinkTestWithoutLineGetsAckWithL0)
{
    Start(Receiver_Settings());
    Test_Message message;
    message.token = "NULL";
    message.sequence = "0007";
    message.line.clear();
    message.content = "]";
    EXPECT_EQ(Exchange(Build_Clear_Frame(message)).body, "\"ACK\"0007L0#1234[]");
}

TEST_F(Replies, UnsupportedTokenGetsDuhWithSequenceZero)
{
    Start(Receiver_Settings());
    Test_Message message;
    message.token = "ADM-HEX";
    EXPECT_EQ(Exchange(Build_Clear_Frame(message)).body, "\"DUH\"0000L0#[]");
    // A Contact ID block under the SIA-DCS token is no SIA-DCS content.
    message.token = "SIA-DCS";
    EXPECT_EQ(Exchange(Build_Clear_Frame(message)).body, "\"DUH\"0001L0#1234[]");
}

TEST_F(Replies, ForeignAccountInDataGetsDuh)
{
    Start(Receiver_Settings());
    Test_Message message;
    message.content = "#9999|1401 01 001]";
    EXPECT_EQ(Exchange(Build_Clear_Frame(message)).body, "\"DUH\"0001L0#1234[]");
}

TEST_F(Replies, ClearMessageWhileEncryptionOnGetsDuh)
{
    Start(Receiver_Settings(1, Test_Key_Bytes()));
    EXPECT_EQ(Exchange(Build_Clear_Frame(Test_Message {})).body, "\"DUH\"0001L0#1234[]");
}

TEST_F(Replies, WrongKeyGetsDuh)
{
    Start(Receiver_Settings(3, Test_Key_Bytes()));
    Test_Message message;
    message.token = "*ADM-CID";
    EXPECT_EQ(Exchange(Build_Encrypted_Frame(message, 3, Test_Key_Bytes(40))).body, "\"DUH\"0001L0#1234[]");
}

TEST_F(Replies, BadCrcGetsNoReplyAndIsLogged)
{
    Start(Receiver_Settings());
    std::string frame = Build_Clear_Frame(Test_Message {});
    frame[1] = frame[1] == '0' ? '1' : '0';
    ASSERT_TRUE(m_client.Send(frame));
    EXPECT_EQ(m_client.Receive_Any(1500), "");
    const std::string logged
        = "Unrecognised data received from IP: 127.0.0.1, port: " + std::to_string(m_client.Local_Port());
    EXPECT_TRUE(m_runner.Wait_For_Log(logged, 3000)) << m_runner.Standard_Error();
}

TEST_F(Replies, TwoFramesInOneReadGetTwoRepliesInOrderAndTwoEvents)
{
    Start(Receiver_Settings());
    Test_Message second;
    second.sequence = "0002";
    second.account = "5678";
    second.content = "#5678|1401 01 001]";
    ASSERT_TRUE(m_client.Send(Build_Clear_Frame(Test_Message {}) + Build_Clear_Frame(second)));
    EXPECT_EQ(m_client.Receive_Reply(), "\n1BC10012\"ACK\"0001L0#1234[]\r");
    const Test_Reply reply = Decode_Reply(m_client.Receive_Reply());
    EXPECT_EQ(reply.token, "ACK");
    EXPECT_EQ(reply.after_token, "0002L0#5678[]");
    const auto store = Wait_For_Next_Slot(m_runner, 2);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 2u);
    EXPECT_EQ(Fixed_Text(store->Slot[0].Account_Number), "1234");
    EXPECT_EQ(Fixed_Text(store->Slot[1].Account_Number), "5678");
}

// Time synchronisation: an encrypted message is taken only when its own time stamp lies from 40 s
// before to 20 s after the receiver's clock, so a recorded message cannot be played again later.
class Time_Window : public Replies
{
protected:
    static constexpr int Mode = 1;

    void SetUp() override { Start(Receiver_Settings(Mode, m_key, 1)); }

    std::string Stamped_Frame(std::int64_t stamp, const std::string& sequence = "0001") const
    {
        Test_Message message;
        message.token = "*ADM-CID";
        message.sequence = sequence;
        message.time_stamp = Utc_Time_Stamp(stamp);
        return Build_Encrypted_Frame(message, Mode, m_key);
    }

    Test_Key m_key = Test_Key_Bytes(3);
};

TEST_F(Time_Window, MessageStampedNowIsAcknowledgedAndStored)
{
    const Test_Reply reply = Exchange(Stamped_Frame(Now_Seconds()), Mode, m_key);
    EXPECT_EQ(reply.token, "*ACK") << reply.body;
    const auto store = Wait_For_Next_Slot(m_runner, 1);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 1u);
    EXPECT_EQ(Fixed_Text(store->Slot[0].Account_Number), "1234");
}

TEST_F(Time_Window, MessageStampedFourHundredDaysAgoIsRefusedEveryTimeItIsPlayed)
{
    const std::string recorded = Stamped_Frame(Now_Seconds() - 400 * 86400);
    for (int replay = 0; replay < 3; ++replay)
        Expect_Nak_And_Nothing_Stored(recorded);
    ASSERT_TRUE(
        m_runner.Wait_For_Log("Encrypted message refused for its time stamp from IP: 127.0.0.1", 3000))
        << m_runner.Standard_Error();
    const std::string offset = ", time stamp -" + std::to_string(400 * 86400);
    EXPECT_NE(m_runner.Standard_Error().find(offset), std::string::npos) << m_runner.Standard_Error();
}

TEST_F(Time_Window, MessageWithoutTimeStampIsRefused)
{
    Test_Message message;
    message.token = "*NULL";
    message.content = "]";
    Expect_Nak_And_Nothing_Stored(Build_Encrypted_Frame(message, Mode, m_key));
}

class Encrypted_Replies : public Replies, public ::testing::WithParamInterface<int>
{
};

TEST_P(Encrypted_Replies, EncryptedEventGetsEncryptedAckAndIsStored)
{
    const int mode = GetParam();
    const Test_Key key = Test_Key_Bytes();
    Start(Receiver_Settings(mode, key));
    Test_Message message;
    message.token = "*ADM-CID";
    message.sequence = "0123";
    message.receiver = "7";
    message.extended = "[Q25]";
    message.time_stamp = "_23:59:59,12-31-2023";
    const std::int64_t before = Now_Seconds();
    const Test_Reply reply = Exchange(Build_Encrypted_Frame(message, mode, key), mode, key);
    const std::int64_t after = Now_Seconds();
    EXPECT_EQ(reply.token, "*ACK");
    const std::string header = "0123R7L0#1234[";
    ASSERT_EQ(reply.after_token.substr(0, header.size()), header) << reply.body;
    EXPECT_EQ(reply.after_token.size(), header.size() + 64) << reply.body;
    std::string time_stamp;
    EXPECT_EQ(Check_Ack_Plain(reply.plain, time_stamp), "");
    Expect_Time_Stamp(time_stamp, before, after);

    const auto store = Wait_For_Next_Slot(m_runner, 1);
    ASSERT_TRUE(store);
    Expected_Fields fields;
    fields.receiver = "7";
    fields.signal_quality = 25;
    Expect_Event(store->Slot[0], fields, before, after);
}

TEST_P(Encrypted_Replies, EncryptedLinkTestGetsEncryptedAck)
{
    const int mode = GetParam();
    const Test_Key key = Test_Key_Bytes(90);
    Start(Receiver_Settings(mode, key));
    Test_Message message;
    message.token = "*NULL";
    message.sequence = "9999";
    message.content = "]";
    const Test_Reply reply = Exchange(Build_Encrypted_Frame(message, mode, key, 77), mode, key);
    EXPECT_EQ(reply.token, "*ACK");
    const std::string header = "9999L0#1234[";
    EXPECT_EQ(reply.after_token.substr(0, header.size()), header) << reply.body;
    EXPECT_EQ(reply.after_token.size(), header.size() + 64) << reply.body;
    std::string time_stamp;
    EXPECT_EQ(Check_Ack_Plain(reply.plain, time_stamp), "");
}

TEST_P(Encrypted_Replies, TimeSynchronisationAnswersNakAndStoresNothing)
{
    const int mode = GetParam();
    const Test_Key key = Test_Key_Bytes();
    Start(Receiver_Settings(mode, key, 1));
    Test_Message message;
    message.token = "*ADM-CID";
    Expect_Nak_And_Nothing_Stored(Build_Encrypted_Frame(message, mode, key));
}

TEST_P(Encrypted_Replies, StoredKeyWithAZeroByteIsUsedWhole)
{
    // Showing the main window at start must not rewrite a key that text cannot show.
    const int mode = GetParam();
    Test_Key stored = Test_Key_Bytes(5);
    stored[9] = 0;
    Start(Receiver_Settings(mode, stored));
    Test_Message message;
    message.token = "*ADM-CID";
    EXPECT_EQ(Exchange(Build_Encrypted_Frame(message, mode, stored), mode, stored).token, "*ACK");
    Test_Key cut = stored;
    std::fill(cut.begin() + 9, cut.end(), 0);
    message.sequence = "0002";
    EXPECT_EQ(Exchange(Build_Encrypted_Frame(message, mode, cut)).token, "DUH");
}

std::string Key_Size_Name(const ::testing::TestParamInfo<int>& parameter)
{
    return "Aes" + std::to_string(parameter.param == 1 ? 128 : parameter.param == 2 ? 192 : 256);
}

INSTANTIATE_TEST_SUITE_P(Aes, Encrypted_Replies, ::testing::Values(1, 2, 3), Key_Size_Name);

} // namespace

#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Reply.h"
#include "receiver/DC09_Time.h"

#include <gtest/gtest.h>

#include <string>

using namespace dc09_test;

namespace {

constexpr std::int64_t Pinned_Now = 1711029909; // 2024-03-21 14:05:09 UTC
constexpr std::string_view Pinned_Stamp = "]_14:05:09,03-21-2024";

std::uint32_t Pinned_Random_Value = 0;

// Pins the receiver's clock and pad source for each test, and gives the defaults back after.
class DC09_Reply_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Pinned_Random_Value = 0;
        DC09_Set_Reply_Sources({[] { return Pinned_Now; }, [] { return Pinned_Random_Value++; }});
    }
    void TearDown() override { DC09_Set_Reply_Sources({nullptr, nullptr}); }
};

// The body of a reply after checking its framing with the independent CRC.
std::string Body_Of(const DC09_Message& message)
{
    const std::string bytes(message.View());
    EXPECT_GE(bytes.size(), 10u);
    if (bytes.size() < 10)
        return {};
    const std::string body = bytes.substr(9, bytes.size() - 10);
    EXPECT_EQ(bytes, Wrap_Frame(body)) << "framing of " << body;
    return body;
}

DC09_Frame Parsed_Frame(const std::string& body)
{
    const Parsed parsed = Parse(Wrap_Frame(body));
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::Accepted) << body;
    return parsed.Frame;
}

std::string Deciphered_Ack_Data(const std::string& body, std::uint8_t mode, const Key& key)
{
    std::string data = Bytes_Of_Hex(body.substr(body.find('[') + 1));
    Decrypt_DC09_Data(reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16, mode, key.data());
    return data;
}

} // namespace

TEST(DC09_Choose_Reply, FollowsTheOutcomeModeAndTimeSynchronisation)
{
    using enum DC09_Reply;
    struct Row
    {
        DC09_Outcome Outcome;
        DC09_Reply Off; // encryption off, no time synchronisation
        DC09_Reply Off_Synch;
        DC09_Reply On; // any key size
        DC09_Reply On_Synch;
    };
    const Row table[] = {
        {DC09_Outcome::Unrecognised, None, None, None, None},
        {DC09_Outcome::Rejected, Duh, Duh, Duh, Duh},
        {DC09_Outcome::Accepted, Ack, Ack, Duh, Duh},
        {DC09_Outcome::AcceptedEncrypted, Encrypted_Ack, Nak, Encrypted_Ack, Nak},
    };
    for (const Row& row : table) {
        const int outcome = static_cast<int>(row.Outcome);
        EXPECT_EQ(DC09_Choose_Reply(row.Outcome, 0, false), row.Off) << outcome;
        EXPECT_EQ(DC09_Choose_Reply(row.Outcome, 0, true), row.Off_Synch) << outcome;
        for (const std::uint8_t mode : {1, 2, 3}) {
            EXPECT_EQ(DC09_Choose_Reply(row.Outcome, mode, false), row.On)
                << outcome << " mode " << int {mode};
            EXPECT_EQ(DC09_Choose_Reply(row.Outcome, mode, true), row.On_Synch)
                << outcome << " mode " << int {mode};
        }
    }
}

TEST(DC09_Choose_Reply, TimeSynchronisationTakesEncryptedMessagesStampedInsideTheWindow)
{
    for (const std::uint8_t mode : {0, 1, 3}) {
        EXPECT_EQ(
            DC09_Choose_Reply(DC09_Outcome::AcceptedEncrypted, mode, true, true), DC09_Reply::Encrypted_Ack);
        EXPECT_EQ(DC09_Choose_Reply(DC09_Outcome::AcceptedEncrypted, mode, true, false), DC09_Reply::Nak);
        EXPECT_EQ(DC09_Choose_Reply(DC09_Outcome::AcceptedEncrypted, mode, false, false),
            DC09_Reply::Encrypted_Ack);
        // The window says nothing about clear or refused messages.
        EXPECT_EQ(DC09_Choose_Reply(DC09_Outcome::Rejected, mode, true, true), DC09_Reply::Duh);
        EXPECT_EQ(DC09_Choose_Reply(DC09_Outcome::Accepted, mode, true, true),
            mode == 0 ? DC09_Reply::Ack : DC09_Reply::Duh);
    }
}

TEST(DC09_Time_Window, FromFortySecondsBeforeToTwentyAfterTheReceiverClock)
{
    constexpr std::int64_t now = 1711029909;
    EXPECT_TRUE(DC09_Time_In_Window(now, now));
    EXPECT_TRUE(DC09_Time_In_Window(now - 40, now));
    EXPECT_FALSE(DC09_Time_In_Window(now - 41, now));
    EXPECT_TRUE(DC09_Time_In_Window(now + 20, now));
    EXPECT_FALSE(DC09_Time_In_Window(now + 21, now));
    EXPECT_FALSE(DC09_Time_In_Window(now - 400 * 86400, now));
    EXPECT_FALSE(DC09_Time_In_Window(0, 10)) << "no time stamp is never inside";
}

TEST(DC09_Time_Window, TheParsedStampIsReadAsUtc)
{
    // The stamp the reply tests pin as the receiver's clock, written by a sender in step with it.
    const Parsed parsed = Parse(Wrap_Frame(std::string(Worked_Example_Body) + "_14:05:09,03-21-2024"));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(parsed.Frame.Message_Time, Pinned_Now);
    EXPECT_TRUE(DC09_Time_In_Window(parsed.Frame.Message_Time, Pinned_Now));
}

TEST_F(DC09_Reply_Test, AckToTheWorkedExample)
{
    const DC09_Message reply = DC09_Build_Reply(
        DC09_Reply::Ack, Parsed_Frame(std::string(Worked_Example_Body)), 0, Counting_Key().data());
    EXPECT_EQ(reply.View(), "\n1BC10012\"ACK\"0001L0#1234[]\r");
}

TEST_F(DC09_Reply_Test, AckCarriesTheReceiverTimeWhenTheMessageHadAStamp)
{
    // The message's own stamp is a day earlier: the reply carries the receiver's clock.
    const DC09_Frame frame = Parsed_Frame(std::string(Worked_Example_Body) + "_14:05:09,03-20-2024");
    ASSERT_NE(frame.Message_Time, 0);
    EXPECT_EQ(Body_Of(DC09_Build_Reply(DC09_Reply::Ack, frame, 0, Counting_Key().data())),
        "\"ACK\"0001L0#1234[" + std::string(Pinned_Stamp));
}

TEST_F(DC09_Reply_Test, DuhEchoesTheMessageHeader)
{
    const DC09_Frame frame = Parsed_Frame("\"ADM-CID\"0042R12L3#ABCD[#ABCD|1401 01 001]");
    EXPECT_EQ(Body_Of(DC09_Build_Reply(DC09_Reply::Duh, frame, 1, Counting_Key().data())),
        "\"DUH\"0042R12L3#ABCD[]");
}

TEST_F(DC09_Reply_Test, DuhToAnUnsupportedToken)
{
    const Parsed parsed = Parse(Wrap_Frame("\"ADM-HEX\"0042R12L3#ABCD[#ABCD|NRP]"));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Rejected);
    EXPECT_EQ(Body_Of(DC09_Build_Reply(
                  DC09_Choose_Reply(parsed.Outcome, 0, false), parsed.Frame, 0, Counting_Key().data())),
        "\"DUH\"0000L0#[]");
}

TEST_F(DC09_Reply_Test, NoReceiverPartWithoutRAndL0WithoutL)
{
    const DC09_Frame frame = Parsed_Frame("\"ADM-CID\"0042#1234[#1234|1401 01 001]");
    EXPECT_EQ(
        Body_Of(DC09_Build_Reply(DC09_Reply::Ack, frame, 0, Counting_Key().data())), "\"ACK\"0042L0#1234[]");
}

TEST_F(DC09_Reply_Test, NakCarriesTheReceiverTime)
{
    const Parsed parsed = Parse(Encrypted_Frame("\"*ADM-CID\"0042R1L0#1234[",
                                    "#1234|1401 01 001]_14:05:09,03-21-2024", 3, Counting_Key()),
        3);
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::AcceptedEncrypted);
    const DC09_Reply reply = DC09_Choose_Reply(parsed.Outcome, 3, true);
    EXPECT_EQ(Body_Of(DC09_Build_Reply(reply, parsed.Frame, 3, Counting_Key().data())),
        "\"NAK\"0000R0L0A0[" + std::string(Pinned_Stamp));
}

TEST_F(DC09_Reply_Test, EncryptedAckDeciphersToPadBarAndStampInEveryMode)
{
    for (const std::uint8_t mode : {0, 1, 2, 3}) {
        SetUp();
        const Parsed parsed = Parse(
            Encrypted_Frame("\"*ADM-CID\"0042R1L0#1234[", "#1234|1401 01 001]", mode, Counting_Key()), mode);
        ASSERT_EQ(parsed.Outcome, DC09_Outcome::AcceptedEncrypted);
        const std::string body
            = Body_Of(DC09_Build_Reply(DC09_Reply::Encrypted_Ack, parsed.Frame, mode, Counting_Key().data()));
        const std::string head = "\"*ACK\"0042R1L0#1234[";
        ASSERT_EQ(body.substr(0, head.size()), head);
        const std::string hex = body.substr(head.size());
        ASSERT_EQ(hex.size(), 64u) << int {mode};
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const std::string plain = Deciphered_Ack_Data(body, mode, Counting_Key());
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(static_cast<unsigned char>(plain[i]), 0x10 + i) << int {mode};
        EXPECT_EQ(plain.substr(10), "|" + std::string(Pinned_Stamp)) << int {mode};
    }
}

TEST_F(DC09_Reply_Test, PadCharactersStayBetween0x10And0x4F)
{
    Pinned_Random_Value = 0xFFFFFFF0; // wraps through 0 during the ten draws
    const DC09_Frame frame = Parsed_Frame(std::string(Worked_Example_Body));
    const std::string body
        = Body_Of(DC09_Build_Reply(DC09_Reply::Encrypted_Ack, frame, 1, Counting_Key().data()));
    const std::string plain = Deciphered_Ack_Data(body, 1, Counting_Key());
    ASSERT_EQ(plain.size(), 32u);
    EXPECT_EQ(static_cast<unsigned char>(plain[0]), 0x10 + 0x30);
    EXPECT_EQ(static_cast<unsigned char>(plain[9]), 0x10 + 0x39);
}

TEST_F(DC09_Reply_Test, EncryptedAckDoesNotDecipherWithAnotherKey)
{
    const DC09_Frame frame = Parsed_Frame(std::string(Worked_Example_Body));
    const std::string body
        = Body_Of(DC09_Build_Reply(DC09_Reply::Encrypted_Ack, frame, 3, Counting_Key().data()));
    Key other = Counting_Key();
    other[0] ^= 0x80;
    EXPECT_EQ(Deciphered_Ack_Data(body, 3, other).find(Pinned_Stamp), std::string::npos);
}

TEST_F(DC09_Reply_Test, StampFormatAtCalendarEdges)
{
    const DC09_Frame frame = Parsed_Frame("\"NULL\"0000L0#1[]");
    static std::int64_t now = 0;
    DC09_Set_Reply_Sources({[] { return now; }, nullptr});
    const auto stamp = [&] {
        const std::string body = Body_Of(DC09_Build_Reply(DC09_Reply::Nak, frame, 0, Counting_Key().data()));
        return body.substr(body.find('['));
    };
    now = 0;
    EXPECT_EQ(stamp(), "[]_00:00:00,01-01-1970");
    now = 1709251199;
    EXPECT_EQ(stamp(), "[]_23:59:59,02-29-2024");
    now = -5;
    EXPECT_EQ(stamp(), "[]_00:00:00,01-01-1970") << "a clock before 1970 is held at 1970";
}

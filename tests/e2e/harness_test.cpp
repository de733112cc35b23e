// Checks of the test harness itself, so an end-to-end failure points at the program, not at the
// frame builder or the reply decoder.

#include "tests/support/DC09_Test_Frames.h"

#include <gtest/gtest.h>

TEST(Harness_Frames, CrcCheckValue)
{
    EXPECT_EQ(Test_Crc16("123456789"), 0xBB3D);
}

TEST(Harness_Frames, WorkedExampleFrame)
{
    const Test_Message message;
    EXPECT_EQ(Build_Clear_Frame(message), "\nED060027\"ADM-CID\"0001L0#1234[#1234|1401 01 001]\r");
}

TEST(Harness_Frames, WorkedExampleReply)
{
    const std::string reply = Wrap_Frame("\"ACK\"0001L0#1234[]");
    EXPECT_EQ(reply, "\n1BC10012\"ACK\"0001L0#1234[]\r");
    const Test_Reply decoded = Decode_Reply(reply);
    EXPECT_EQ(decoded.problem, "");
    EXPECT_EQ(decoded.token, "ACK");
    EXPECT_EQ(decoded.after_token, "0001L0#1234[]");
}

TEST(Harness_Frames, DecoderRefusesBadCrcAndLength)
{
    EXPECT_NE(Decode_Reply("\n1BC20012\"ACK\"0001L0#1234[]\r").problem, "");
    EXPECT_NE(Decode_Reply("\n1BC10013\"ACK\"0001L0#1234[]\r").problem, "");
    EXPECT_NE(Decode_Reply("\n1bc10012\"ACK\"0001L0#1234[]\r").problem, "");
    EXPECT_NE(Decode_Reply("1BC10012\"ACK\"0001L0#1234[]\r").problem, "");
}

TEST(Harness_Frames, EncryptedFrameDeciphersToPaddedContent)
{
    const Test_Key key = Key_Of_Hex("00112233445566778899AABBCCDDEEFF0011223344556677");
    Test_Message message;
    message.token = "*ADM-CID";
    message.time_stamp = "_14:05:09,03-21-2024";
    const std::string frame = Build_Encrypted_Frame(message, 2, key);
    const std::string header = Message_Header(message);
    ASSERT_EQ(frame.substr(9, header.size()), header);
    std::string plain;
    ASSERT_TRUE(Hex_Decode(frame.substr(9 + header.size(), frame.size() - 10 - header.size()), plain));
    ASSERT_TRUE(Aes_Cbc_Decrypt(2, key, plain));
    const std::string data = "|#1234|1401 01 001]_14:05:09,03-21-2024";
    ASSERT_EQ(plain.size() % 16, 0u);
    EXPECT_EQ(plain.substr(plain.size() - data.size()), data);
    EXPECT_EQ(plain.find('|'), plain.size() - data.size());
    EXPECT_EQ(plain.find('\0'), std::string::npos);
}

TEST(Harness_Frames, EncryptedAckRoundTrip)
{
    const Test_Key key = Key_Of_Hex("2B7E151628AED2A6ABF7158809CF4F3C");
    std::string plain
        = std::string("\x10\x11\x20\x30\x4F\x41\x42\x43\x44\x45", 10) + "|]" + Utc_Time_Stamp(1711029909);
    ASSERT_EQ(plain.size(), 32u);
    ASSERT_TRUE(Aes_Cbc_Encrypt(1, key, plain));
    const std::string reply = Wrap_Frame("\"*ACK\"0001L0#1234[" + Hex_Upper(plain));
    const Test_Reply decoded = Decode_Reply(reply, 1, key);
    ASSERT_EQ(decoded.problem, "");
    EXPECT_EQ(decoded.token, "*ACK");
    std::string time_stamp;
    EXPECT_EQ(Check_Ack_Plain(decoded.plain, time_stamp), "");
    EXPECT_EQ(time_stamp, "_14:05:09,03-21-2024");
    EXPECT_EQ(Parse_Utc_Time_Stamp(time_stamp), 1711029909);
}

TEST(Harness_Frames, AckPlainCheckFindsBadPad)
{
    std::string time_stamp;
    const std::string plain = std::string(9, '\x10') + "\x50|]" + Utc_Time_Stamp(0);
    EXPECT_NE(Check_Ack_Plain(plain, time_stamp), "");
    EXPECT_NE(Check_Ack_Plain(std::string(10, '\x10') + "|]_14:05:09,03-21-20", time_stamp), "");
}

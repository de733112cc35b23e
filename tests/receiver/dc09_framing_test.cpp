#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Crc16.h"
#include "receiver/DC09_Parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace dc09_test;

namespace {

const std::string Worked_Example = Wrap_Frame(Worked_Example_Body);

std::string Body_With_Header(std::string_view header_after_sequence)
{
    return "\"ADM-CID\"0001" + std::string(header_after_sequence) + "[#1234|1401 01 001]";
}

} // namespace

TEST(DC09_Crc16, CheckValueOfTheNineDigits)
{
    EXPECT_EQ(DC09_Crc16("123456789", 9), 0xBB3D);
    EXPECT_EQ(DC09_Crc16("", 0), 0);
}

TEST(DC09_Crc16, TableAgreesWithTheBitwiseDefinitionOverEveryByteValue)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(255 - i);
    for (std::size_t size = 1; size <= bytes.size(); size += 17)
        EXPECT_EQ(DC09_Crc16(bytes.data(), size), Test_Crc16(bytes.substr(0, size))) << size;
}

TEST(DC09_Framing, WorkedExampleHasTheDescribedFieldsAndParses)
{
    EXPECT_EQ(Worked_Example, "\nED060027" + std::string(Worked_Example_Body) + "\r");
    const Parsed parsed = Parse(Worked_Example);
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    const DC09_Frame& frame = parsed.Frame;
    EXPECT_EQ(frame.Kind, DC09_Kind::ADM_CID);
    EXPECT_EQ(frame.Sequence, 1);
    EXPECT_STREQ(frame.Receiver, "");
    EXPECT_STREQ(frame.Line, "0");
    EXPECT_STREQ(frame.Account, "1234");
    EXPECT_STREQ(frame.Event, "1401");
    EXPECT_STREQ(frame.Group, "01");
    EXPECT_STREQ(frame.Zone, "001");
    EXPECT_EQ(frame.Message_Time, 0);
    EXPECT_STREQ(frame.Extended_Data, "");
}

TEST(DC09_Framing, BytesBeforeTheLineFeedAreIgnored)
{
    // A quote and a carriage return before the line feed must not be taken for the frame's.
    EXPECT_EQ(Parse("junk\"\r 0027" + Worked_Example).Outcome, DC09_Outcome::Accepted);
}

TEST(DC09_Framing, ReadsThatAreNoFrameAreUnrecognised)
{
    const std::string body(Worked_Example_Body);
    EXPECT_EQ(Parse(body + "\r").Outcome, DC09_Outcome::Unrecognised) << "no line feed";
    EXPECT_EQ(Parse("").Outcome, DC09_Outcome::Unrecognised);
    EXPECT_EQ(Parse("\nED0600").Outcome, DC09_Outcome::Unrecognised) << "ends inside the fields";
    EXPECT_EQ(Parse("\nED060027ADM-CID0001L0#1234[]\r").Outcome, DC09_Outcome::Unrecognised) << "no quote";
    std::string wrong_crc = Worked_Example;
    wrong_crc[Worked_Example.find("1401")] = '2';
    EXPECT_EQ(Parse(wrong_crc).Outcome, DC09_Outcome::Unrecognised);
}

TEST(DC09_Framing, LowerCaseCrcLengthAndAccountAreTaken)
{
    const Parsed crc = Parse("\ned060027" + std::string(Worked_Example_Body) + "\r");
    EXPECT_EQ(crc.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(crc.Frame.Account, "1234");
    // A body of 0x2A characters needs a letter in its length field.
    const std::string body = Body_With_Header("R12L0#1234");
    ASSERT_EQ(body.size(), 0x2Au);
    std::string frame = Wrap_Frame(body);
    ASSERT_EQ(Parse(frame).Outcome, DC09_Outcome::Accepted);
    frame[8] = 'a';
    EXPECT_EQ(Parse(frame).Outcome, DC09_Outcome::Accepted);
    // The account is kept in upper case, and its repetition in the data may differ in case.
    const Parsed account = Parse(Wrap_Frame("\"ADM-CID\"0001L0#12ab[#12Ab|1401 01 001]"));
    EXPECT_EQ(account.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(account.Frame.Account, "12AB");
    EXPECT_EQ(Parse(Wrap_Frame("\"ADM-CID\"0001L0#12ab[#12ac|1401 01 001]")).Outcome, DC09_Outcome::Rejected);
    EXPECT_EQ(
        Parse("\ned0g0027" + std::string(Worked_Example_Body) + "\r").Outcome, DC09_Outcome::Unrecognised);
}

TEST(DC09_Framing, LengthOffByOneEitherWayIsUnrecognised)
{
    const std::string body(Worked_Example_Body);
    char fields[16];
    for (const unsigned length : {0x26u, 0x28u}) {
        std::snprintf(fields, sizeof fields, "\n%04X%04X", Test_Crc16(body), length);
        EXPECT_EQ(Parse(fields + body + "\r").Outcome, DC09_Outcome::Unrecognised) << length;
        EXPECT_EQ(Parse(fields + body + "\r\r").Outcome, DC09_Outcome::Unrecognised) << length;
    }
}

TEST(DC09_Framing, LengthFieldNeedNotBeginWithZero)
{
    const std::string body(std::string(Worked_Example_Body) + "[" + std::string(300, 'X') + "]");
    const std::string frame = Wrap_Frame(body);
    ASSERT_EQ(frame.substr(5, 2), "01");
    const Parsed parsed = Parse(frame);
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(std::strlen(parsed.Frame.Extended_Data), 64u);
}

TEST(DC09_Framing, OnlyTheFirstOfTwoFramesInOneReadIsParsed)
{
    std::string second_body(Worked_Example_Body);
    second_body.replace(second_body.find("0001"), 4, "0002");
    const Parsed parsed = Parse(Worked_Example + Wrap_Frame(second_body));
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(parsed.Frame.Sequence, 1);
}

TEST(DC09_Framing, FrameSplitAcrossTwoReadsIsUnrecognisedInBoth)
{
    const std::size_t cut = Worked_Example.size() / 2;
    EXPECT_EQ(Parse(Worked_Example.substr(0, cut)).Outcome, DC09_Outcome::Unrecognised);
    EXPECT_EQ(Parse(Worked_Example.substr(cut)).Outcome, DC09_Outcome::Unrecognised);
}

TEST(DC09_Framing, ZeroByteEndsTheText)
{
    std::string inside = Worked_Example;
    inside[Worked_Example.find('|')] = '\0';
    EXPECT_EQ(Parse(inside).Outcome, DC09_Outcome::Unrecognised);
    EXPECT_EQ(Parse(Worked_Example + std::string(1, '\0') + "garbage").Outcome, DC09_Outcome::Accepted);
}

TEST(DC09_Framing, NeverLooksBeyondTheGivenLength)
{
    // The carriage return sits in memory right after `length`: the frame must not find it there.
    std::vector<char> buffer(Worked_Example.begin(), Worked_Example.end());
    buffer.push_back('\0');
    DC09_Frame frame;
    EXPECT_EQ(DC09_Parse(buffer.data(), Worked_Example.size() - 1, 0, Counting_Key().data(), frame),
        DC09_Outcome::Unrecognised);
    EXPECT_EQ(std::string(buffer.data(), Worked_Example.size()), Worked_Example);
}

TEST(DC09_Framing, LengthFieldBeyondTheTextIsUnrecognised)
{
    std::string frame = Worked_Example;
    frame.replace(5, 4, "FFFF");
    EXPECT_EQ(Parse(frame).Outcome, DC09_Outcome::Unrecognised);
}

TEST(DC09_Token, EachTokenSetsItsKind)
{
    EXPECT_EQ(Parse(Wrap_Frame("\"NULL\"0000L0#1234[]")).Frame.Kind, DC09_Kind::Link_Test);
    EXPECT_EQ(Parse(Worked_Example).Frame.Kind, DC09_Kind::ADM_CID);
}

TEST(DC09_Token, OtherTokensAreRejectedWithSequenceZero)
{
    for (const char* body : {"\"ADM-CIDX\"0007L0#1234[#1234|1401 01 001]",
             "\"ADM-HEX\"0007L0#1234[#1234|NRP]", "\"ADM-CID", "\"adm-cid\"0007L0#1234[#1234|1401 01 001]"}) {
        const Parsed parsed = Parse(Wrap_Frame(body));
        EXPECT_EQ(parsed.Outcome, DC09_Outcome::Rejected) << body;
        EXPECT_EQ(parsed.Frame.Sequence, 0) << body;
        EXPECT_EQ(parsed.Frame.Kind, DC09_Kind::None) << body;
    }
}

TEST(DC09_Token, SequenceMustBeFourDecimalDigits)
{
    const Parsed bad = Parse(Wrap_Frame("\"ADM-CID\"00A1L0#1234[#1234|1401 01 001]"));
    EXPECT_EQ(bad.Outcome, DC09_Outcome::Rejected);
    EXPECT_EQ(bad.Frame.Sequence, 0);
    EXPECT_EQ(Parse(Wrap_Frame("\"NULL\"00")).Outcome, DC09_Outcome::Rejected)
        << "cut short by the frame end";
    EXPECT_EQ(Parse(Wrap_Frame("\"ADM-CID\"0042L0#1234[#1234|1401 01 001]")).Frame.Sequence, 42);
    EXPECT_EQ(Parse(Wrap_Frame("\"ADM-CID\"9999L0#1234[#1234|1401 01 001]")).Frame.Sequence, 9999);
}

TEST(DC09_Header, ReceiverLineAndAccountAreRead)
{
    const Parsed parsed = Parse(Wrap_Frame(Body_With_Header("R12ABL3F#1234")));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Receiver, "12AB");
    EXPECT_STREQ(parsed.Frame.Line, "3F");
    EXPECT_STREQ(parsed.Frame.Account, "1234");
}

TEST(DC09_Header, AbsentPartsStayEmpty)
{
    const Parsed parsed = Parse(Wrap_Frame(Body_With_Header("#1234")));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Receiver, "");
    EXPECT_STREQ(parsed.Frame.Line, "");
}

TEST(DC09_Header, DigitsBeyondAFieldLimitArePassedOver)
{
    const std::string twenty = "0123456789ABCDEF0123";
    const Parsed parsed
        = Parse(Wrap_Frame("\"ADM-CID\"0001R1234567L89ABCDEF#" + twenty + "[#" + twenty + "|1401 01 001]"));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Receiver, "123456");
    EXPECT_STREQ(parsed.Frame.Line, "89ABCD");
    EXPECT_STREQ(parsed.Frame.Account, "0123456789ABCDEF");
}

TEST(DC09_Header, FieldsEndAtTheFirstCharacterThatIsNoUpperCaseDigit)
{
    const Parsed parsed = Parse(Wrap_Frame(Body_With_Header(" R1a L0 x#1234")));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Receiver, "1");
    EXPECT_STREQ(parsed.Frame.Line, "0");
}

TEST(DC09_Header, HeaderWithoutBracketIsUnrecognised)
{
    EXPECT_EQ(
        Parse(Wrap_Frame("\"ADM-CID\"0001L0#1234#1234|1401 01 001]")).Outcome, DC09_Outcome::Unrecognised);
    EXPECT_EQ(Parse(Wrap_Frame("\"NULL\"0001")).Outcome, DC09_Outcome::Unrecognised);
}

TEST(DC09_Write_Frame, ReplyToTheWorkedExample)
{
    const DC09_Message message = DC09_Write_Frame("\"ACK\"0001L0#1234[]");
    EXPECT_EQ(message.View(), "\n1BC10012\"ACK\"0001L0#1234[]\r");
}

TEST(DC09_Write_Frame, LengthFieldIsZeroZeroAndTheLowByte)
{
    const std::string body = "\"*ACK\"" + std::string(100, 'F');
    const DC09_Message message = DC09_Write_Frame(body);
    EXPECT_EQ(message.View().substr(5, 4), "006A");
    EXPECT_EQ(message.View().substr(1, 4), Wrap_Frame(body).substr(1, 4));
    EXPECT_EQ(message.Size, body.size() + 10);
}

TEST(DC09_Write_Frame, OverlongBodyIsCutInsideTheMessage)
{
    const DC09_Message message = DC09_Write_Frame(std::string(500, 'X'));
    EXPECT_EQ(message.Size, sizeof message.Bytes);
    EXPECT_EQ(message.View().back(), '\r');
}

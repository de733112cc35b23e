#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Content.h"
#include "receiver/DC09_Time.h"

#include <gtest/gtest.h>

#include <string>

using namespace dc09_test;

namespace {

// A clear Contact ID report from account 1234 with the given data block (after the [).
Parsed Report(std::string_view data, std::string_view header_account = "1234")
{
    return Parse(Wrap_Frame("\"ADM-CID\"0001L0#" + std::string(header_account) + "[" + std::string(data)));
}

constexpr std::string_view Event_Data = "#1234|1401 01 001]";

} // namespace

TEST(DC09_Content, EventGroupAndZoneAreRead)
{
    const Parsed parsed = Report(Event_Data);
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Event, "1401");
    EXPECT_STREQ(parsed.Frame.Group, "01");
    EXPECT_STREQ(parsed.Frame.Zone, "001");
}

TEST(DC09_Content, DataAccountMustBeginWithTheHeaderAccount)
{
    EXPECT_EQ(Report("#12345|1401 01 001]").Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(Report("#9999|1401 01 001]").Outcome, DC09_Outcome::Rejected);
    EXPECT_EQ(Report("#123|1401 01 001]").Outcome, DC09_Outcome::Rejected) << "fewer digits than the header";
    EXPECT_EQ(Report("1234|1401 01 001]").Outcome, DC09_Outcome::Accepted) << "the # is optional";
    const std::string sixteen = "0123456789ABCDEF";
    EXPECT_EQ(Report("#" + sixteen + "F|1401 01 001]", sixteen).Outcome, DC09_Outcome::Accepted);
}

TEST(DC09_Content, EmptyHeaderAccountPassesTheTest)
{
    const Parsed parsed = Parse(Wrap_Frame("\"ADM-CID\"0001L0[#9999|1401 01 001]"));
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Event, "1401");
}

TEST(DC09_Content, FixedLayoutAfterTheBarIsRequired)
{
    EXPECT_EQ(Report("#1234|1401 1 001]").Outcome, DC09_Outcome::Rejected) << "space not at B+8";
    EXPECT_EQ(Report("#1234|14010 01 001]").Outcome, DC09_Outcome::Rejected) << "space not at B+5";
    EXPECT_EQ(Report("#1234|1401 01 001)").Outcome, DC09_Outcome::Rejected) << "no ] at B+12";
    EXPECT_EQ(Report("#1234|14a1 01 001]").Outcome, DC09_Outcome::Rejected) << "lower-case event";
    EXPECT_EQ(Report("#1234|140 01 001]").Outcome, DC09_Outcome::Rejected) << "three event digits";
    EXPECT_EQ(Report("#1234|1401 01 00").Outcome, DC09_Outcome::Rejected) << "cut by the frame end";
}

TEST(DC09_Content, GroupAndZoneKeepOnlyTheirLeadingDigits)
{
    const Parsed parsed = Report("#1234|1401 0X X01]");
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Group, "0");
    EXPECT_STREQ(parsed.Frame.Zone, "");
}

TEST(DC09_Content, NoBarMeansNoEventDataAndNoTrailer)
{
    const Parsed parsed = Report("#1234][Q18]_12:00:00,01-01-2024");
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Event, "");
    EXPECT_STREQ(parsed.Frame.Group, "");
    EXPECT_STREQ(parsed.Frame.Zone, "");
    EXPECT_STREQ(parsed.Frame.Extended_Data, "");
    EXPECT_EQ(parsed.Frame.Message_Time, 0);
}

TEST(DC09_Content, LinkTestCarriesNullAndNoAccountTest)
{
    const Parsed parsed = Parse(Wrap_Frame("\"NULL\"0000R1L0#1234[#9999|1401 01 001][Q7]"));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Event, "NULL");
    EXPECT_STREQ(parsed.Frame.Group, "");
    EXPECT_STREQ(parsed.Frame.Zone, "");
    EXPECT_STREQ(parsed.Frame.Extended_Data, "[Q7]");
}

TEST(DC09_Extended, SignalQualityAndAddressAreRead)
{
    const Parsed parsed = Report(std::string(Event_Data) + "[Q18][B192.168.1.20]");
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Extended_Data, "[Q18][B192.168.1.20]");
    const DC09_Extended_Values values = DC09_Read_Extended(parsed.Frame);
    EXPECT_STREQ(values.Signal_Quality, "18");
    EXPECT_STREQ(values.IP_Address, "192.168.1.20");
}

TEST(DC09_Extended, AbsentOrEmptyMarkersGiveEmptyTexts)
{
    const DC09_Extended_Values none = DC09_Read_Extended(Report(std::string(Event_Data) + "[X1]").Frame);
    EXPECT_STREQ(none.Signal_Quality, "");
    EXPECT_STREQ(none.IP_Address, "");
    const DC09_Extended_Values empty = DC09_Read_Extended(Report(std::string(Event_Data) + "[Q][Bx]").Frame);
    EXPECT_STREQ(empty.Signal_Quality, "");
    EXPECT_STREQ(empty.IP_Address, "");
}

TEST(DC09_Extended, ValueTextsStopAtOtherCharactersAndAfterSixteen)
{
    const Parsed parsed = Report(std::string(Event_Data) + "[Q300a][Q5][B1234567890.1234567]");
    const DC09_Extended_Values values = DC09_Read_Extended(parsed.Frame);
    EXPECT_STREQ(values.Signal_Quality, "300") << "only the first [Q counts";
    EXPECT_STREQ(values.IP_Address, "1234567890.12345");
}

TEST(DC09_Extended, OnlyTheFirstSixtyFourCharactersAreStored)
{
    const std::string block = "[" + std::string(70, 'A') + "]";
    const Parsed parsed = Report(std::string(Event_Data) + block);
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(std::string(parsed.Frame.Extended_Data), block.substr(0, 64));
}

TEST(DC09_Extended, ScanGoesOnWhereAStampFailed)
{
    // The hour test fails at the third character after the underscore; the scan resumes there.
    const Parsed parsed = Report(std::string(Event_Data) + "[Q1]_xyz[B2]_12:00:00,01-01-2024");
    EXPECT_STREQ(parsed.Frame.Extended_Data, "[Q1][B2]");
    EXPECT_NE(parsed.Frame.Message_Time, 0);
}

TEST(DC09_Time_Stamp, ValidStampSetsTheMessageTime)
{
    const Parsed parsed = Report(std::string(Event_Data) + "[Q18]_14:05:09,03-21-2024");
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(parsed.Frame.Message_Time, 1711029909);
    EXPECT_STREQ(parsed.Frame.Extended_Data, "[Q18]");
}

TEST(DC09_Time_Stamp, HourTwentyThreeIsTakenTwentyFourIsNot)
{
    EXPECT_EQ(Report(std::string(Event_Data) + "_23:00:00,12-31-2023").Frame.Message_Time, 1704063600);
    const Parsed late = Report(std::string(Event_Data) + "_24:00:00,12-31-2023");
    EXPECT_EQ(late.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(late.Frame.Message_Time, 0);
}

TEST(DC09_Time_Stamp, StampCutShortByTheFrameEndIsNotTaken)
{
    for (std::size_t size = 1; size < 20; ++size) {
        const std::string stamp = std::string("_14:05:09,03-21-2024").substr(0, size);
        EXPECT_EQ(Report(std::string(Event_Data) + stamp).Frame.Message_Time, 0) << stamp;
    }
}

TEST(DC09_Time_Stamp, YearThatIsNoNumberCountsAsAbsent)
{
    const Parsed parsed = Report(std::string(Event_Data) + "_14:05:09,03-21-20X4");
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_EQ(parsed.Frame.Message_Time, 0);
}

TEST(DC09_Time_Stamp, WrongSeparatorIsNotTakenAndTheScanGoesOn)
{
    for (const char* stamp : {"_14-05:09,03-21-2024", "_14:05-09,03-21-2024", "_14:05:09.03-21-2024",
             "_14:05:09,03/21-2024", "_14:05:09,03-21/2024"})
        EXPECT_EQ(Report(std::string(Event_Data) + stamp).Frame.Message_Time, 0) << stamp;
    const Parsed second = Report(std::string(Event_Data) + "_24:00:00,01-01-2024_12:00:00,01-01-2024");
    EXPECT_EQ(second.Frame.Message_Time, 1704110400);
}

TEST(DC09_Time_Stamp, TakenStampEndsTheTrailer)
{
    const Parsed parsed = Report(std::string(Event_Data) + "_12:00:00,01-01-2024[Q18]_23:00:00,12-31-2023");
    EXPECT_EQ(parsed.Frame.Message_Time, 1704110400);
    EXPECT_STREQ(parsed.Frame.Extended_Data, "");
}

TEST(DC09_Time, CivilConversionsMatchKnownInstants)
{
    EXPECT_EQ(DC09_Seconds_From_Civil({1970, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(DC09_Seconds_From_Civil({2024, 2, 29, 23, 59, 59}), 1709251199);
    EXPECT_EQ(DC09_Seconds_From_Civil({2000, 3, 1, 0, 0, 0}), 951868800);
    EXPECT_EQ(DC09_Seconds_From_Civil({1969, 12, 31, 23, 59, 59}), -1);
    const DC09_Civil_Time leap = DC09_Civil_From_Seconds(1709251199);
    EXPECT_EQ(leap.Year, 2024);
    EXPECT_EQ(leap.Month, 2);
    EXPECT_EQ(leap.Day, 29);
    EXPECT_EQ(leap.Hour, 23);
    EXPECT_EQ(leap.Minute, 59);
    EXPECT_EQ(leap.Second, 59);
}

TEST(DC09_Time, OutOfRangeFieldsCarryOverLikeMktime)
{
    EXPECT_EQ(
        DC09_Seconds_From_Civil({2023, 13, 1, 0, 0, 0}), DC09_Seconds_From_Civil({2024, 1, 1, 0, 0, 0}));
    EXPECT_EQ(
        DC09_Seconds_From_Civil({2024, 3, 0, 0, 0, 0}), DC09_Seconds_From_Civil({2024, 2, 29, 0, 0, 0}));
    EXPECT_EQ(
        DC09_Seconds_From_Civil({2024, 0, 1, 25, 0, 0}), DC09_Seconds_From_Civil({2023, 12, 2, 1, 0, 0}));
}

TEST(DC09_Time, DaysRoundTripAcrossFourHundredYears)
{
    for (std::int64_t day = -1000; day < 146097 + 1000; day += 7) {
        const DC09_Civil_Time time = DC09_Civil_From_Seconds(day * 86400 + 3723);
        ASSERT_EQ(DC09_Seconds_From_Civil(time), day * 86400 + 3723) << day;
        ASSERT_GE(time.Day, 1);
        ASSERT_LE(time.Day, 31);
    }
}

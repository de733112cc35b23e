#include "output/Report_Line.h"

#include "store/Fixed_Text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

// Counts the program's allocations, so a test can show that formatting a line makes none.
namespace {
std::atomic<long> Allocations {0};
}

void* operator new(std::size_t size)
{
    ++Allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

using namespace std::string_literals;

const std::string DC4 = "\x14"s;

Event_Record Event(std::string_view receiver, std::string_view line, std::string_view account,
    std::string_view event, std::string_view group, std::string_view zone)
{
    Event_Record record {};
    record.Status = Status_Used | Status_Saved;
    Set_Fixed_Text(record.Receiver_Number, receiver);
    Set_Fixed_Text(record.Line_Number, line);
    Set_Fixed_Text(record.Account_Number, account);
    Set_Fixed_Text(record.Qualifier_Event, event);
    Set_Fixed_Text(record.Group_Partition, group);
    Set_Fixed_Text(record.Zone_User, zone);
    record.Time_Received = 1700000000;
    return record;
}

// The bytes that go on the wire; also checks the returned length and the NUL after the DC4.
std::string Line_Of(const Event_Record& record, std::uint8_t format = Report_Format_MLR2_DG)
{
    Report_Line out;
    std::memset(out, '#', sizeof out);
    const std::size_t length = Format_Report_Line(record, format, out);
    EXPECT_LT(length, Report_Line_Size);
    EXPECT_EQ(out[length], '\0');
    return std::string(out, length);
}

std::string Heartbeat_Of(std::int8_t receiver)
{
    Report_Line out;
    std::memset(out, '#', sizeof out);
    const std::size_t length = Format_Heartbeat_Line(receiver, out);
    EXPECT_LT(length, Report_Line_Size);
    EXPECT_EQ(out[length], '\0');
    return std::string(out, length);
}

Object_Record Object(
    std::string_view receiver, std::string_view line, std::string_view account, std::uint8_t flags)
{
    Object_Record object {};
    object.Last_Time = 1700000000;
    Set_Fixed_Text(object.Receiver_Number, receiver);
    Set_Fixed_Text(object.Line_Number, line);
    Set_Fixed_Text(object.Account_Number, account);
    Set_Fixed_Text(object.Qualifier_Event, "1401");
    Set_Fixed_Text(object.Group_Partition, "07");
    Set_Fixed_Text(object.Zone_User, "123");
    object.Supervision_Flags = flags;
    object.Ping_Timeout = 5;
    return object;
}

TEST(Report_Line_Test, EventLineByteForByteAndRecordUntouched)
{
    const Event_Record record = Event("12", "3", "1234", "1401", "01", "015");
    Event_Record before;
    std::memcpy(&before, &record, sizeof before);

    EXPECT_EQ(Line_Of(record), "512003 181234E40101015" + DC4);
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
}

TEST(Report_Line_Test, AccountIsCutToFourCharacters)
{
    EXPECT_EQ(Line_Of(Event("12", "3", "12345678", "1401", "01", "015")), "512003 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "3", "12", "1401", "01", "015")), "512003 1812E40101015" + DC4);
}

TEST(Report_Line_Test, ReceiverAndLineTakeTheirLeadingDigits)
{
    EXPECT_EQ(Line_Of(Event("", "3", "1234", "1401", "01", "015")), "500003 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("A1", "3", "1234", "1401", "01", "015")), "500003 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("1A", "3", "1234", "1401", "01", "015")), "501003 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("123", "3", "1234", "1401", "01", "015")), "5123003 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "", "1234", "1401", "01", "015")), "512000 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "1234", "1234", "1401", "01", "015")), "5121234 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("999999", "999999", "1234", "1401", "01", "015")),
        "5999999999999 181234E40101015" + DC4);
}

TEST(Report_Line_Test, QualifierLetters)
{
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "1401", "01", "015")), "512003 181234E40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "3401", "01", "015")), "512003 181234R40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "6401", "01", "015")), "512003 181234P40101015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "2401", "01", "015")), "512003 181234240101015" + DC4);
}

TEST(Report_Line_Test, FieldsAreSentAsStoredWithoutPadding)
{
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "", "", "")), "512003 181234" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "1401", "0", "015")), "512003 181234E4010015" + DC4);
    EXPECT_EQ(Line_Of(Event("12", "3", "1234", "1401", "01", "5")), "512003 181234E401015" + DC4);
}

TEST(Report_Line_Test, EveryReportFormatGivesTheSameLine)
{
    const Event_Record records[] = {Event("12", "3", "1234", "1401", "01", "015"),
        Event("", "", "", "", "", ""), Event("A1", "1234", "12345678", "6570", "0", "999")};
    for (const Event_Record& record : records) {
        const std::string line = Line_Of(record, Report_Format_MLR2_DG);
        EXPECT_EQ(Line_Of(record, Report_Format_MLR2000), line);
        EXPECT_EQ(Line_Of(record, 2), line);
        EXPECT_EQ(Line_Of(record, 255), line);
    }
}

// A record damaged in the file, with no terminator in any field, must not make the line run into
// the following fields or past the record: every field is cut at its width.
TEST(Report_Line_Test, UnterminatedFieldsStayWithinTheirWidth)
{
    Event_Record record;
    std::memset(&record, '7', sizeof record);
    EXPECT_EQ(Line_Of(record),
        "5" + std::string(7, '7') + std::string(7, '7') + " 18" + std::string(4, '7') + std::string(5, '7')
            + std::string(3, '7') + std::string(4, '7') + DC4);
}

TEST(Report_Line_Test, SupervisionLines)
{
    EXPECT_EQ(Line_Of(Supervision_Record(Object("1", "1", "5678", Flag_Failed | Flag_Report))),
        "501001 185678E35001000" + DC4);
    EXPECT_EQ(
        Line_Of(Supervision_Record(Object("1", "1", "5678", Flag_Report))), "501001 185678R35001000" + DC4);
    EXPECT_EQ(Line_Of(Supervision_Record(Object("A1", "22", "12345678", Flag_Failed))),
        "500022 181234E35001000" + DC4);
}

// Only the listed fields are filled; everything else, the status byte included, stays zero.
TEST(Report_Line_Test, SupervisionRecordLayout)
{
    const Event_Record built = Supervision_Record(Object("12", "3", "98765432", Flag_Failed | Flag_Report));
    Event_Record expected {};
    std::memcpy(expected.Receiver_Number, "12", 2);
    std::memcpy(expected.Line_Number, "3", 1);
    std::memcpy(expected.Account_Number, "98765432", 8);
    std::memcpy(expected.Qualifier_Event, "1350", 4);
    std::memcpy(expected.Group_Partition, "01", 2);
    std::memcpy(expected.Zone_User, "000", 3);
    EXPECT_EQ(std::memcmp(&built, &expected, sizeof built), 0);
}

TEST(Report_Line_Test, HeartbeatLine)
{
    const std::string tail = "000" + std::string(11, ' ') + "@" + std::string(4, ' ') + DC4;
    EXPECT_EQ(Heartbeat_Of(1), "101" + tail);
    EXPECT_EQ(Heartbeat_Of(5), "105" + tail);
    EXPECT_EQ(Heartbeat_Of(5).size(), 23u);
    EXPECT_EQ(Heartbeat_Of(0), "100" + tail);
    EXPECT_EQ(Heartbeat_Of(99), "199" + tail);
    EXPECT_EQ(Heartbeat_Of(127), "1127" + tail);
    // The field is a signed byte: the sign comes after the leading 1, the precision pads the digits.
    EXPECT_EQ(Heartbeat_Of(-5), "1-05" + tail);
    EXPECT_EQ(Heartbeat_Of(-128), "1-128" + tail);
    // The edit stores the low 8 bits of what was typed: 300 is kept as 44.
    EXPECT_EQ(Heartbeat_Of(static_cast<std::int8_t>(300 & 0xFF)), "144" + tail);
}

// The output thread formats a line for every event it sends.
TEST(Report_Line_Test, FormattingAllocatesNothing)
{
    const Event_Record record = Event("123456", "123456", "12345678", "1401", "01", "015");
    const Object_Record object = Object("1", "1", "5678", Flag_Failed | Flag_Report);
    Report_Line out;
    const long before = Allocations.load();
    Format_Report_Line(record, Report_Format_MLR2000, out);
    Format_Report_Line(Supervision_Record(object), Report_Format_MLR2_DG, out);
    Format_Heartbeat_Line(-128, out);
    EXPECT_EQ(Allocations.load(), before);

    // The count does see allocations.
    const std::string probe(64, 'x');
    EXPECT_GT(Allocations.load(), before);
    EXPECT_EQ(probe.size(), 64u);
}

} // namespace

TEST(Report_Line_Sia, SiaRecordGoesOutAsTheSiaLine)
{
    Event_Record record = Event("12", "3", "12345678", "NBA", "1", "01");
    record.Content = Content_Sia_Dcs;
    // The account keeps six characters on this line; the partition becomes an "ri" modifier.
    EXPECT_EQ(Line_Of(record), "S12003[#123456|Nri1/BA01]" + DC4);
    EXPECT_EQ(Line_Of(record, Report_Format_MLR2000), "S12003[#123456|Nri1/BA01]" + DC4);
    Set_Fixed_Text(record.Group_Partition, "");
    std::memcpy(record.Zone_User, "1001", 4);
    EXPECT_EQ(Line_Of(record), "S12003[#123456|NBA1001]" + DC4);
    Set_Fixed_Text(record.Qualifier_Event, "");
    EXPECT_EQ(Line_Of(record), "S12003[#123456]" + DC4) << "a block without event data";
    // The same fields without the mark are a Contact ID record and keep their line.
    Event_Record contact_id = Event("12", "3", "1234", "1401", "01", "015");
    EXPECT_EQ(Line_Of(contact_id), "512003 181234E40101015" + DC4);
}

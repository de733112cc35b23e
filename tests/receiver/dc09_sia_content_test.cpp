#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Parse.h"
#include "receiver/Fill_Event_From_Frame.h"
#include "store/Fixed_Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dc09_test;

namespace {

// Events as "NBA/1/01" (function and code / partition / zone), joined by spaces.
std::string Events_Of(const DC09_Frame& frame)
{
    std::string text;
    for (std::size_t i = 0; i < frame.Sia_Count; ++i) {
        const DC09_Sia_Event& event = frame.Sia_Events[i];
        if (!text.empty())
            text += ' ';
        text += std::string(Fixed_Text(event.Event)) + "/" + std::string(Fixed_Text(event.Group)) + "/"
            + std::string(Fixed_Text(event.Zone));
    }
    return text;
}

struct Sia_Case
{
    std::string header; // after the sequence, up to and including the [
    std::string data; // from after the [ on, closing ] included, trailer too
    DC09_Outcome outcome;
    std::string events;
};

} // namespace

// Blocks as panels in the field send them, and the DC-03 forms around them.
TEST(DC09_Sia_Dcs, ClearBlocksGiveTheirEventsInOrder)
{
    const auto ok = DC09_Outcome::Accepted;
    const auto duh = DC09_Outcome::Rejected;
    const std::vector<Sia_Case> cases = {
        {"L0#1234[", "#1234|Nri1/BA01]", ok, "NBA/1/01"},
        {"L0#0000[", "#0000|Nri0/RP0000]_12:40:52,12-22-2021", ok, "NRP/0/0000"},
        {"L0#1234[", "#1234|Nri2BA3]", ok, "NBA/2/3"},
        {"L0#1234[", "#1234|Npi002/CL001]", ok, "NCL//001"},
        {"L0#1234[", "#1234|Nti10:21/id5/OP5]", ok, "NOP//5"},
        {"L0#1234[", "#1234|Nid7/CL]", ok, "NCL//7"}, // no address: the user number
        {"L0#1234[", "#1234|Nda04-22-94ti16:02:15/id22/CL/PA31]", ok, "NCL//22 NPA//31"},
        {"L0#1234[", "#1234|Nri1/BA01/BA02/ri2/FA003]", ok, "NBA/1/01 NBA/1/02 NFA/2/003"},
        {"L0#1234[", "#1234|NBA01/02/3]", ok, "NBA//01 NBA//02 NBA//3"},
        {"L0#1234[", "#1234|Nri01/ZZ9]", ok, "NZZ/01/9"}, // unknown codes are kept as text
        {"L0#1234[", "#1234|NBA01^Front door^]", ok, "NBA//01"},
        {"L0#1234[", "#1234|OBA01]", ok, "OBA//01"},
        {"L0#1234[", "#1234|Nri001/BA00001]", ok, "NBA/01/0001"}, // leading zeros give way
        {"R1L1#12ab[", "#12AB|Nri1/BA01][Q18]", ok, "NBA/1/01"},
        {"L0#1234[", "#1234]", ok, ""}, // no bar: no event data, as for Contact ID
        // Not SIA-DCS, or not storable as it stands.
        {"L0#1234[", "#1234|1401 01 001]", duh, ""},
        {"L0#1234[", "#9999|Nri1/BA01]", duh, ""},
        {"L0#1234[", "#1234|Nri1/BA01", duh, ""},
        {"L0#1234[", "#1234|Nri1]", duh, ""},
        {"L0#1234[", "#1234|N]", duh, ""},
        {"L0#1234[", "#1234|Nri1/B]", duh, ""},
        {"L0#1234[", "#1234|Nri1/BA01*]", duh, ""},
        {"L0#1234[", "#1234|Nri123/BA01]", duh, ""},
        {"L0#1234[", "#1234|NBA12345]", duh, ""},
        {"L0#1234[", "#1234|NBA01^no end]", duh, ""},
        {"L0#1234[", "#1234|Nri1/01]", duh, ""}, // an address before any event
        {"L0#1234[", "#1234|N" + std::string(17 * 2, 'B') + "]", duh, ""},
    };
    for (const Sia_Case& test : cases) {
        const Parsed parsed = Parse(Wrap_Frame("\"SIA-DCS\"0007" + test.header + test.data));
        EXPECT_EQ(parsed.Outcome, test.outcome) << test.data;
        if (test.outcome == ok) {
            EXPECT_EQ(parsed.Frame.Kind, DC09_Kind::Sia_Dcs);
            EXPECT_EQ(Events_Of(parsed.Frame), test.events) << test.data;
        }
    }
}

TEST(DC09_Sia_Dcs, TrailerIsReadAsForContactId)
{
    const Parsed parsed
        = Parse(Wrap_Frame("\"SIA-DCS\"0007L0#1234[#1234|Nri1/BA01][Q18][B10.0.0.7]_14:05:09,03-21-2024"));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    EXPECT_STREQ(parsed.Frame.Extended_Data, "[Q18][B10.0.0.7]");
    EXPECT_NE(parsed.Frame.Message_Time, 0);
}

TEST(DC09_Sia_Dcs, EncryptedBlockIsDecipheredAndRead)
{
    for (const int mode : {1, 2, 3}) {
        const std::string frame = Encrypted_Frame(
            "\"*SIA-DCS\"0042L0#1234[", "#1234|Nri1/BA01/BR01]_10:00:00,01-01-2026", mode, Counting_Key());
        const Parsed parsed = Parse(frame, static_cast<std::uint8_t>(mode));
        ASSERT_EQ(parsed.Outcome, DC09_Outcome::AcceptedEncrypted) << mode;
        EXPECT_EQ(parsed.Frame.Kind, DC09_Kind::Encrypted_Sia_Dcs);
        EXPECT_EQ(Events_Of(parsed.Frame), "NBA/1/01 NBR/1/01");
    }
    Key wrong = Counting_Key();
    wrong[0] ^= 1;
    EXPECT_EQ(
        Parse(Encrypted_Frame("\"*SIA-DCS\"0042L0#1234[", "#1234|Nri1/BA01]", 3, Counting_Key()), 3, wrong)
            .Outcome,
        DC09_Outcome::Rejected);
}

TEST(DC09_Sia_Dcs, EachEventBecomesOneMarkedRecord)
{
    const Parsed parsed = Parse(Wrap_Frame("\"SIA-DCS\"0007R1L2#1234[#1234|Nri1/BA01/ri2/FA1001]"));
    ASSERT_EQ(parsed.Outcome, DC09_Outcome::Accepted);
    ASSERT_EQ(Stored_Record_Count(parsed.Frame), 2u);
    Filled_Event filled = Fill_Event_From_Frame(parsed.Frame, "127.0.0.1", 1765262000);
    Fill_Sia_Event(filled.Record, parsed.Frame, 1);
    const Event_Record& record = filled.Record;
    EXPECT_EQ(record.Content, Content_Sia_Dcs);
    EXPECT_EQ(Fixed_Text(record.Account_Number), "1234");
    EXPECT_EQ(Fixed_Text(record.Qualifier_Event), "NFA");
    EXPECT_EQ(Fixed_Text(record.Group_Partition), "2");
    // Four digits fill the zone; the reserved bytes behind it stay zero, so it stays ended.
    EXPECT_EQ(std::string(record.Zone_User, 4), "1001");
    const std::uint8_t zeros[4] = {};
    EXPECT_EQ(std::memcmp(record.Reserved_44, zeros, 4), 0);
    // A Contact ID message keeps one unmarked record.
    EXPECT_EQ(Stored_Record_Count(Parse(Wrap_Frame(std::string(Worked_Example_Body))).Frame), 1u);
}

#include "receiver/DC09_Connection_Table.h"
#include "receiver/Fill_Event_From_Frame.h"
#include "store/Fixed_Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Runs the sweep, closing every connection that matches a slot whose countdown ends; returns the
// ports of the connections it closed.
std::vector<int> Sweep(DC09_Connection_Table& table, std::vector<std::pair<std::string, int>>& open)
{
    std::vector<int> closed;
    table.Tick([&](const DC09_Connection_Slot& slot) {
        for (auto it = open.begin(); it != open.end(); ++it) {
            if (DC09_Connection_Table::Matches(slot, it->first, it->second)) {
                closed.push_back(it->second);
                open.erase(it);
                return true;
            }
        }
        return false;
    });
    return closed;
}

TEST(Connection_Table, IdleConnectionIsClosedOnTheFifthTick)
{
    DC09_Connection_Table table;
    std::vector<std::pair<std::string, int>> open {{"127.0.0.1", 40001}};
    table.Record("127.0.0.1", 40001, DC09_Idle_Seconds);
    for (int tick = 1; tick < 5; ++tick)
        EXPECT_TRUE(Sweep(table, open).empty()) << "tick " << tick;
    EXPECT_EQ(Sweep(table, open), std::vector<int>({40001}));
    EXPECT_EQ(table.Slot(0).Countdown, 0);
    EXPECT_EQ(table.Slot(0).Port, 0) << "a closed connection's slot forgets its port";
}

TEST(Connection_Table, EachMessageRestartsTheCountdownInTheSameSlot)
{
    DC09_Connection_Table table;
    table.Record("10.0.0.5", 5000, 5);
    table.Record("10.0.0.6", 5001, 5);
    table.Record("10.0.0.5", 5000, 30);
    EXPECT_EQ(table.Slot(0).Countdown, 30);
    EXPECT_EQ(table.Slot(1).Port, 5001);
    EXPECT_EQ(table.Slot(2).Countdown, 0);
}

TEST(Connection_Table, TimeoutZeroFreesTheSlotAndNeverCloses)
{
    DC09_Connection_Table table;
    std::vector<std::pair<std::string, int>> open {{"127.0.0.1", 40002}};
    table.Record("127.0.0.1", 40002, 0);
    for (int tick = 0; tick < 10; ++tick)
        EXPECT_TRUE(Sweep(table, open).empty());
    // The slot counts as free: a new connection takes it.
    table.Record("127.0.0.1", 40003, 5);
    EXPECT_EQ(table.Slot(0).Port, 40003);
}

TEST(Connection_Table, LongPeerAddressGetsAnEmptyAddressThatMatchesAnyAddress)
{
    DC09_Connection_Table table;
    const std::string long_address = "2001:db8:85a3::8a2e:370:7334";
    table.Record(long_address, 7000, 5);
    EXPECT_EQ(Fixed_Text(table.Slot(0).Address), "");
    EXPECT_EQ(table.Slot(0).Port, 7000);
    EXPECT_TRUE(DC09_Connection_Table::Matches(table.Slot(0), long_address, 7000));
    EXPECT_FALSE(DC09_Connection_Table::Matches(table.Slot(0), long_address, 7001));
}

TEST(Connection_Table, UnmatchedExpiryKeepsPortAndAddress)
{
    DC09_Connection_Table table;
    std::vector<std::pair<std::string, int>> open; // the peer already went away
    table.Record("127.0.0.1", 40004, 1);
    EXPECT_TRUE(Sweep(table, open).empty());
    EXPECT_EQ(table.Slot(0).Countdown, 0);
    EXPECT_EQ(table.Slot(0).Port, 40004);
}

// A slot freed before the connection's own slot must not take its new countdown: the own slot
// would keep counting down from the accept and close the connection soon after its answer.
TEST(Connection_Table, AnswerRestartsTheOwnSlotEvenWithAFreeSlotBeforeIt)
{
    for (const std::int32_t timeout : {30, 0}) {
        DC09_Connection_Table table;
        std::vector<std::pair<std::string, int>> open {{"127.0.0.1", 40020}};
        table.Record("127.0.0.1", 40010, 1); // a peer that is gone by the next tick
        const int own = table.Record("127.0.0.1", 40020, DC09_Idle_Seconds);
        ASSERT_EQ(own, 1);
        // Slot 0 is freed by this tick; then the acknowledged message arrives.
        EXPECT_TRUE(Sweep(table, open).empty());
        ASSERT_EQ(table.Slot(0).Countdown, 0);
        EXPECT_EQ(table.Record("127.0.0.1", 40020, timeout), own) << "time-out " << timeout;
        EXPECT_EQ(table.Slot(own).Countdown, timeout);
        for (int tick = 0; tick < 10; ++tick)
            EXPECT_TRUE(Sweep(table, open).empty()) << "time-out " << timeout << ", tick " << tick;
        EXPECT_EQ(open.size(), 1u);
    }
}

TEST(Connection_Table, HintFindsTheOwnSlotAndAStaleHintIsIgnored)
{
    DC09_Connection_Table table;
    const int first = table.Record("127.0.0.1", 40030, 5);
    const int second = table.Record("127.0.0.1", 40031, 5);
    EXPECT_EQ(table.Record("127.0.0.1", 40031, 30, second), second);
    EXPECT_EQ(table.Slot(second).Countdown, 30);
    // A hint naming another connection's slot is not taken for this one.
    EXPECT_EQ(table.Record("127.0.0.1", 40031, 7, first), second);
    EXPECT_EQ(table.Slot(first).Countdown, 5);
    EXPECT_EQ(table.Slot(second).Countdown, 7);
}

TEST(Connection_Table, FullTableRecordsNothingMore)
{
    DC09_Connection_Table table;
    for (int port = 1; port <= DC09_Connection_Slots; ++port)
        table.Record("127.0.0.1", port, 5);
    EXPECT_EQ(table.Record("127.0.0.1", 60000, 5), -1);
    for (int i = 0; i < DC09_Connection_Slots; ++i)
        ASSERT_NE(table.Slot(i).Port, 60000);
}

DC09_Frame Worked_Frame()
{
    DC09_Frame frame;
    frame.Kind = DC09_Kind::ADM_CID;
    frame.Sequence = 1;
    std::strcpy(frame.Receiver, "12");
    std::strcpy(frame.Line, "0");
    std::strcpy(frame.Account, "1234");
    std::strcpy(frame.Event, "1401");
    std::strcpy(frame.Group, "01");
    std::strcpy(frame.Zone, "001");
    return frame;
}

TEST(Fill_Event, CopiesTheFrameAndThePeerWithNoSignalQuality)
{
    const Filled_Event filled = Fill_Event_From_Frame(Worked_Frame(), "127.0.0.1", 1765262000);
    const Event_Record& record = filled.Record;
    EXPECT_EQ(record.Status, 0);
    EXPECT_EQ(Fixed_Text(record.Receiver_Number), "12");
    EXPECT_EQ(Fixed_Text(record.Line_Number), "0");
    EXPECT_EQ(Fixed_Text(record.Account_Number), "1234");
    EXPECT_EQ(Fixed_Text(record.Qualifier_Event), "1401");
    EXPECT_EQ(Fixed_Text(record.Group_Partition), "01");
    EXPECT_EQ(Fixed_Text(record.Zone_User), "001");
    EXPECT_EQ(record.Time_Received, 1765262000);
    EXPECT_EQ(Fixed_Text(record.IP_Address), "127.0.0.1");
    EXPECT_EQ(record.Signal_Quality, 255);
    EXPECT_FALSE(filled.Has_Signal_Quality);
    const std::uint8_t zeros[4] = {};
    EXPECT_EQ(std::memcmp(record.Reserved_44, zeros, 4), 0);
    EXPECT_EQ(std::memcmp(record.Reserved_76, zeros, 4), 0);
}

TEST(Fill_Event, ReportedValuesWinOverThePeer)
{
    DC09_Frame frame = Worked_Frame();
    std::strcpy(frame.Extended_Data, "[Q300][B192.168.100.200]");
    const Filled_Event filled = Fill_Event_From_Frame(frame, "127.0.0.1", 1);
    EXPECT_TRUE(filled.Has_Signal_Quality);
    EXPECT_EQ(filled.Record.Signal_Quality, 44) << "only the low 8 bits of 300";
    EXPECT_EQ(Fixed_Text(filled.Record.IP_Address), "192.168.100.200");
}

TEST(Fill_Event, SixteenCharacterAddressFillsTheFieldWithoutRunningOver)
{
    DC09_Frame frame = Worked_Frame();
    std::strcpy(frame.Extended_Data, "[B1234567890.2345]");
    const Filled_Event filled = Fill_Event_From_Frame(frame, "127.0.0.1", 1);
    EXPECT_EQ(Fixed_Text(filled.Record.IP_Address), "1234567890.2345")
        << "15 characters fit with a terminator";
    std::strcpy(frame.Extended_Data, "[B1234567890.23456]");
    const Filled_Event full = Fill_Event_From_Frame(frame, "127.0.0.1", 1);
    EXPECT_EQ(std::string_view(full.Record.IP_Address, 16), "1234567890.23456");
    EXPECT_EQ(full.Record.Signal_Quality, 255);
}

TEST(Fill_Event, QualityThatIsNoWholeNumberCountsAsAbsent)
{
    DC09_Frame frame = Worked_Frame();
    std::strcpy(frame.Extended_Data, "[Q1.5]");
    Filled_Event filled = Fill_Event_From_Frame(frame, "127.0.0.1", 1);
    EXPECT_FALSE(filled.Has_Signal_Quality);
    EXPECT_EQ(filled.Record.Signal_Quality, 255);

    std::strcpy(frame.Extended_Data, "[Q99999999999]");
    filled = Fill_Event_From_Frame(frame, "127.0.0.1", 1);
    EXPECT_FALSE(filled.Has_Signal_Quality) << "beyond 32 bits is no number the receiver takes";
}

TEST(Fill_Event, LongPeerAddressLeavesTheFieldEmpty)
{
    const Filled_Event filled = Fill_Event_From_Frame(Worked_Frame(), "2001:db8::1234:5678", 1);
    EXPECT_EQ(Fixed_Text(filled.Record.IP_Address), "");
}

} // namespace

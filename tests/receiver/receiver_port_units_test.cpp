#include "receiver/DC09_Connection_Table.h"
#include "receiver/Fill_Event_From_Frame.h"
#include "receiver/Rate_Limited_Lines.h"
#include "store/Fixed_Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A stand-in for the port's connection: the sweep closes it, which gives its slot back.
struct Fake_Connection
{
    int Slot = -1;
    int Closed_On_Tick = 0;
};

using Table = DC09_Connection_Table<Fake_Connection>;

// One sweep; closes every connection whose countdown ends, as the port does.
void Sweep(Table& table, int tick)
{
    table.Tick([&](Fake_Connection& connection) {
        connection.Closed_On_Tick = tick;
        table.Release(connection.Slot);
    });
}

TEST(Connection_Table, IdleConnectionIsClosedOnTheFifthTick)
{
    Table table;
    Fake_Connection connection;
    connection.Slot = table.Take(&connection, DC09_Idle_Seconds);
    for (int tick = 1; tick <= 5; ++tick)
        Sweep(table, tick);
    EXPECT_EQ(connection.Closed_On_Tick, 5);
    EXPECT_EQ(table.Used(), 0) << "a closed connection's slot is free again";
}

TEST(Connection_Table, EachMessageRestartsTheCountdownOfItsOwnSlotOnly)
{
    Table table;
    Fake_Connection first;
    Fake_Connection second;
    first.Slot = table.Take(&first, 5);
    second.Slot = table.Take(&second, 5);
    Sweep(table, 1);
    table.Restart(first.Slot, 30);
    EXPECT_EQ(table.Countdown(first.Slot), 30);
    EXPECT_EQ(table.Countdown(second.Slot), 4);
    for (int tick = 2; tick <= 5; ++tick)
        Sweep(table, tick);
    EXPECT_EQ(second.Closed_On_Tick, 5);
    EXPECT_EQ(first.Closed_On_Tick, 0);
}

TEST(Connection_Table, TimeoutZeroNeverCloses)
{
    Table table;
    Fake_Connection connection;
    connection.Slot = table.Take(&connection, 5);
    table.Restart(connection.Slot, 0);
    for (int tick = 1; tick <= 10; ++tick)
        Sweep(table, tick);
    EXPECT_EQ(connection.Closed_On_Tick, 0);
    EXPECT_EQ(table.Used(), 1) << "the connection keeps its slot while it is open";
}

// Short deliveries one after the other: each connection gives its slot back when it ends, so the
// table stays as small as the connections open at once and never fills up.
TEST(Connection_Table, SlotsOfEndedConnectionsAreTakenAgain)
{
    Table table;
    std::vector<Fake_Connection> connections(3000);
    for (Fake_Connection& connection : connections) {
        connection.Slot = table.Take(&connection, 30);
        EXPECT_EQ(connection.Slot, 0);
        table.Release(connection.Slot);
    }
    EXPECT_EQ(table.Used(), 0);
}

// Far more connections than the old fixed table's 2048 slots: every one of them is counted down.
TEST(Connection_Table, TenThousandConnectionsAreAllTimedOut)
{
    Table table;
    std::vector<Fake_Connection> connections(DC09_Connection_Limit);
    for (Fake_Connection& connection : connections)
        connection.Slot = table.Take(&connection, DC09_Idle_Seconds);
    EXPECT_EQ(table.Used(), DC09_Connection_Limit);
    for (int tick = 1; tick <= 5; ++tick)
        Sweep(table, tick);
    for (std::size_t i = 0; i < connections.size(); ++i)
        ASSERT_EQ(connections[i].Closed_On_Tick, 5) << "connection " << i;
    EXPECT_EQ(table.Used(), 0);
}

TEST(Connection_Table, SweepMayCloseOtherConnectionsThanTheExpiringOne)
{
    // Closing one connection can end another (its slot released mid-sweep): neither is counted
    // again nor handed over twice.
    Table table;
    Fake_Connection first;
    Fake_Connection second;
    first.Slot = table.Take(&first, 1);
    second.Slot = table.Take(&second, 1);
    int expired = 0;
    table.Tick([&](Fake_Connection& connection) {
        ++expired;
        table.Release(connection.Slot);
        if (&connection == &first) {
            table.Release(second.Slot);
            second.Slot = -1;
        }
    });
    EXPECT_EQ(expired, 1);
    EXPECT_EQ(table.Used(), 0);
}

// What a flush writes: "key=count" per line.
std::vector<std::string> Flushed(Rate_Limited_Lines& lines, std::int64_t now)
{
    std::vector<std::string> written;
    lines.Flush(now, [&](std::string_view key, std::uint64_t count) {
        written.push_back(std::string(key) + "=" + std::to_string(count));
    });
    return written;
}

TEST(Rate_Limited_Lines, OneLineAMinutePerKeyWithTheCountOfTheRest)
{
    Rate_Limited_Lines lines;
    EXPECT_EQ(lines.Note("10.0.0.5", 1000), 1u) << "the first occurrence is written at once";
    EXPECT_EQ(lines.Note("10.0.0.6", 1000), 1u) << "another peer has its own minute";
    for (int i = 0; i < 1234; ++i)
        ASSERT_EQ(lines.Note("10.0.0.5", 1000 + i % 59), 0u);
    EXPECT_TRUE(Flushed(lines, 1059).empty());
    EXPECT_EQ(Flushed(lines, 1060), std::vector<std::string>({"10.0.0.5=1234"}));
    // A new minute began with that line; one quiet for a whole minute is forgotten.
    EXPECT_EQ(lines.Note("10.0.0.5", 1061), 0u);
    EXPECT_EQ(Flushed(lines, 1120), std::vector<std::string>({"10.0.0.5=1"}));
    EXPECT_TRUE(Flushed(lines, 1180).empty());
    EXPECT_EQ(lines.Note("10.0.0.5", 1181), 1u);
}

TEST(Rate_Limited_Lines, AnOccurrenceAfterTheMinuteCarriesWhatWasCounted)
{
    Rate_Limited_Lines lines;
    EXPECT_EQ(lines.Note("peer", 0), 1u);
    EXPECT_EQ(lines.Note("peer", 10), 0u);
    EXPECT_EQ(lines.Note("peer", 20), 0u);
    EXPECT_EQ(lines.Note("peer", 60), 3u) << "due before any flush: the line tells of all three";
}

TEST(Rate_Limited_Lines, KeysBeyondTheTableShareOneCount)
{
    Rate_Limited_Lines lines(16);
    int written = 0;
    for (int i = 0; i < 100; ++i)
        written += lines.Note("10.0.0." + std::to_string(i), 5) != 0 ? 1 : 0;
    EXPECT_EQ(written, 12) << "three quarters of the table";
    EXPECT_EQ(Flushed(lines, 65), std::vector<std::string>({"=88"}));
    // The quiet keys are forgotten, which makes room for new ones.
    EXPECT_EQ(lines.Note("192.168.1.1", 130), 1u);
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
    EXPECT_EQ(record.Content, Content_Contact_Id);
    EXPECT_EQ(std::memcmp(record.Reserved_77, zeros, 3), 0);
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

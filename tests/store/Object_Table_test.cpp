#include "Store_Test_Support.h"
#include "store/Object_Table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

constexpr std::int64_t Now = 1'700'000'000;

Object_Record File_Record(const std::string& path, std::uint32_t position)
{
    const std::vector<char> file = Read_File(path);
    Object_Record record {};
    std::memcpy(&record, file.data() + 88 * position, sizeof record);
    return record;
}

bool Same_Bytes(const Object_Record& left, const Object_Record& right)
{
    return std::memcmp(&left, &right, sizeof left) == 0;
}

Event_Record Event_With_Signal(const std::string& account, std::int64_t time, std::int32_t signal_quality)
{
    Event_Record event = Make_Event(account, time);
    event.Signal_Quality = signal_quality;
    return event;
}

class Object_Table_Test : public ::testing::Test
{
protected:
    void Load() { message = table.Load_Object_File(path); }

    // A file of `count` used objects ACC0.. with the given Last_Time each, time-out `timeout`.
    void Write_Table_File(std::uint32_t count, std::uint32_t timeout, std::int64_t (*time_of)(std::uint32_t))
    {
        auto records = std::make_unique<Object_Record[]>(Object_Count);
        for (std::uint32_t position = 0; position < count; ++position) {
            Set_Fixed_Text(records[position].Account_Number, "ACC" + std::to_string(position));
            records[position].Last_Time = time_of(position);
            records[position].Ping_Timeout = timeout;
            records[position].Ping_Countdown = 5;
        }
        Write_File(path, records.get(), Object_File_Size);
    }

    int Ticks_Until_Failure(int limit)
    {
        for (int tick = 1; tick <= limit; ++tick)
            if (table.Supervision_Tick())
                return tick;
        return 0;
    }

    Temp_Folder folder;
    std::string path = folder.File("latevn.dat");
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    std::int64_t clock_now = Now;
    Object_Table table {gate, object_lock, [this] { return clock_now; }};
    std::string message;
};

// ---- Loading

TEST_F(Object_Table_Test, MissingFileIsCreatedZeroed)
{
    Load();
    EXPECT_EQ(message, "");
    EXPECT_EQ(File_Size(path), 880000u);
}

// Positions reach the table from the object list's grid: one past the table must neither read
// nor change memory or the file beyond it.
TEST_F(Object_Table_Test, PositionsPastTheTableReadAsEmptyAndChangeNothing)
{
    Load();
    const std::vector<char> file_before = Read_File(path);
    for (const std::uint32_t position : {Object_Count, Object_Count + 1, 0xFFFFFFFFu}) {
        EXPECT_EQ(Fixed_Text(table.Object(position).Account_Number), "") << position;
        EXPECT_EQ(table.Supervision_Flags(position), 0) << position;
        EXPECT_EQ(table.Copy_Object(position).Ping_Timeout, 0u) << position;
        EXPECT_FALSE(table.Clear_Flag_Report(position, Object_Record {})) << position;
        EXPECT_FALSE(table.Write_Object_Record(position)) << position;
        table.Set_Ping_Timeout(position, 5);
        table.Delete_Object(position);
        EXPECT_EQ(table.Object(position).Ping_Timeout, 0u) << position;
    }
    EXPECT_EQ(Read_File(path), file_before);
}

TEST_F(Object_Table_Test, WrongSizedFileIsRecreatedWithTheExactMessage)
{
    for (const std::size_t size : {879999u, 880001u, 0u}) {
        Write_Zero_File(path, size);
        Load();
        EXPECT_EQ(message,
            "File " + path + " size (" + std::to_string(size) + "->880000) error, new file created.");
        EXPECT_EQ(File_Size(path), 880000u);
    }
}

TEST_F(Object_Table_Test, StartUpCountdownIsTheFullTimeOutWhateverWasStored)
{
    Write_Table_File(3, 10, [](std::uint32_t) { return Now; });
    Load();
    EXPECT_EQ(message, "");
    for (std::uint32_t position = 0; position < 3; ++position)
        EXPECT_EQ(table.Object(position).Ping_Countdown, 600u);
    EXPECT_EQ(table.Object(3).Ping_Countdown, 0u);
    EXPECT_EQ(Fixed_Text(table.Object(2).Account_Number), "ACC2");
}

TEST_F(Object_Table_Test, FailedObjectStaysFailedAfterRestartAndFailsAgain)
{
    Write_Table_File(1, 1, [](std::uint32_t) { return Now; });
    std::vector<char> file = Read_File(path);
    file[73] = Flag_Failed;
    Write_File(path, file.data(), file.size());
    Load();
    EXPECT_EQ(table.Supervision_Flags(0), Flag_Failed);
    EXPECT_EQ(Ticks_Until_Failure(100), 60);
    EXPECT_EQ(table.Supervision_Flags(0), Flag_Failed | Flag_Report);
}

// ---- Updating objects

TEST_F(Object_Table_Test, NewObjectTimeOutDependsOnTheSignalQuality)
{
    Load();
    EXPECT_EQ(table.Update_Object(Event_With_Signal("1000", Now, 300), true), 0u);
    EXPECT_EQ(table.Update_Object(Make_Event("2000", Now), false), 1u);

    const Object_Record& with_signal = table.Object(0);
    EXPECT_EQ(with_signal.Ping_Timeout, 6u);
    EXPECT_EQ(with_signal.Ping_Countdown, 360u);
    EXPECT_EQ(with_signal.Signal_Quality, 300 % 256);
    const Object_Record& without_signal = table.Object(1);
    EXPECT_EQ(without_signal.Ping_Timeout, 70u);
    EXPECT_EQ(without_signal.Ping_Countdown, 4200u);
    EXPECT_EQ(without_signal.Signal_Quality, 255);
    EXPECT_EQ(without_signal.Last_Time, Now);
    EXPECT_EQ(Fixed_Text(without_signal.IP_Address), "192.168.100.200");
    EXPECT_TRUE(Same_Bytes(File_Record(path, 1), without_signal));
}

TEST_F(Object_Table_Test, SameAccountUpdatesTheSameObjectAndKeepsItsTimeOut)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Update_Object(Make_Event("1001", Now), false);
    table.Set_Ping_Timeout(0, 15);

    Event_Record later = Event_With_Signal("1000", Now + 30, 17);
    Set_Fixed_Text(later.Receiver_Number, "99");
    Set_Fixed_Text(later.Line_Number, "88");
    EXPECT_EQ(table.Update_Object(later, true), 0u);

    const Object_Record& object = table.Object(0);
    EXPECT_EQ(object.Ping_Timeout, 15u);
    EXPECT_EQ(object.Ping_Countdown, 900u);
    EXPECT_EQ(Fixed_Text(object.Receiver_Number), "99");
    EXPECT_EQ(Fixed_Text(object.Line_Number), "88");
    EXPECT_EQ(object.Signal_Quality, 17);
    EXPECT_EQ(object.Last_Time, Now + 30);
    EXPECT_EQ(Fixed_Text(table.Object(2).Account_Number), "");
    EXPECT_TRUE(Same_Bytes(File_Record(path, 0), object));
}

TEST_F(Object_Table_Test, AccountsCompareAsWholeCaseSensitiveTexts)
{
    Load();
    table.Update_Object(Make_Event("abc", Now), false);
    EXPECT_EQ(table.Update_Object(Make_Event("ABC", Now), false), 1u);
    EXPECT_EQ(table.Update_Object(Make_Event("abcd", Now), false), 2u);
    EXPECT_EQ(table.Update_Object(Make_Event("ab", Now), false), 3u);
    EXPECT_EQ(table.Update_Object(Make_Event("abc", Now), false), 0u);
}

TEST_F(Object_Table_Test, BytesAfterTheTerminatorDoNotHideAnAccount)
{
    auto records = std::make_unique<Object_Record[]>(Object_Count);
    std::memcpy(records[0].Account_Number, "1234\0garbage", 12);
    records[0].Last_Time = Now;
    Write_File(path, records.get(), Object_File_Size);
    Load();
    EXPECT_EQ(table.Update_Object(Make_Event("1234", Now), false), 0u);
}

// A failed object, or one with a report waiting, keeps its place; the oldest of the others gives
// way, and says whose place it was. With none left to give way the account gets no object.
TEST_F(Object_Table_Test, FullTableReplacesTheOldestThatHasNothingToReport)
{
    // Times fall from Now - 1; positions 5, 7 and 9 share the oldest time.
    Write_Table_File(Object_Count, 10, [](std::uint32_t position) -> std::int64_t {
        return position == 5 || position == 7 || position == 9 ? Now - 100000 : Now - 1 - position % 50;
    });
    std::vector<char> file = Read_File(path);
    file[88 * 5 + 73] = Flag_Failed;
    file[88 * 7 + 73] = Flag_Failed;
    Write_File(path, file.data(), file.size());
    Load();
    // Failed and heard from again: its recovery waits to be reported.
    table.Update_Object(Make_Event("ACC7", Now - 100000), false);
    ASSERT_EQ(table.Supervision_Flags(7), Flag_Report);

    Object_Update_Outcome outcome;
    EXPECT_EQ(table.Update_Object(Event_With_Signal("NEW", Now, 40), true, &outcome), 9u);
    EXPECT_TRUE(outcome.Is_New);
    EXPECT_TRUE(outcome.Replaced);
    EXPECT_EQ(Fixed_Text(outcome.Replaced_Account), "ACC9");
    const Object_Record& object = table.Object(9);
    EXPECT_EQ(Fixed_Text(object.Account_Number), "NEW");
    EXPECT_EQ(object.Ping_Timeout, 6u) << "counts as a new object";
    EXPECT_EQ(object.Supervision_Flags, 0);
    EXPECT_EQ(Fixed_Text(table.Object(5).Account_Number), "ACC5");
    EXPECT_EQ(Fixed_Text(table.Object(7).Account_Number), "ACC7");
    EXPECT_TRUE(Same_Bytes(File_Record(path, 9), object));

    Object_Update_Outcome known;
    EXPECT_EQ(table.Update_Object(Make_Event("ACC3", Now), false, &known), 3u);
    EXPECT_FALSE(known.Is_New);
    EXPECT_FALSE(known.Replaced);
}

TEST_F(Object_Table_Test, FullTableOfFailedObjectsGivesANewAccountNone)
{
    Write_Table_File(
        Object_Count, 10, [](std::uint32_t position) -> std::int64_t { return Now - 1 - position; });
    std::vector<char> file = Read_File(path);
    for (std::uint32_t position = 0; position < Object_Count; ++position)
        file[88 * position + 73] = Flag_Failed;
    Write_File(path, file.data(), file.size());
    Load();

    Object_Update_Outcome outcome;
    EXPECT_EQ(table.Update_Object(Make_Event("NEW", Now), false, &outcome), No_Object_Position);
    EXPECT_FALSE(outcome.Is_New);
    EXPECT_FALSE(outcome.Replaced);
    EXPECT_EQ(Read_File(path), file) << "nothing is written";
}

TEST_F(Object_Table_Test, FullTableWithNothingOlderThanNowReplacesPosition0)
{
    Write_Table_File(Object_Count, 10, [](std::uint32_t) { return Now + 5; });
    Load();
    EXPECT_EQ(table.Update_Object(Make_Event("NEW", Now), false), 0u);
}

// ---- Supervision

TEST_F(Object_Table_Test, TimeOutOfOneMinuteFailsOnThe60thTick)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Set_Ping_Timeout(0, 1);
    for (int tick = 1; tick < 60; ++tick)
        ASSERT_FALSE(table.Supervision_Tick()) << tick;
    EXPECT_EQ(table.Object(0).Ping_Countdown, 1u);
    EXPECT_TRUE(table.Supervision_Tick());
    EXPECT_EQ(table.Object(0).Ping_Countdown, 0u);
    EXPECT_EQ(table.Supervision_Flags(0), Flag_Failed | Flag_Report);
    EXPECT_EQ(File_Record(path, 0).Supervision_Flags, Flag_Failed) << "Flag_Report is set after the write";
    EXPECT_EQ(Ticks_Until_Failure(200), 0) << "a failed object stays failed";
}

TEST_F(Object_Table_Test, AMessageOnThe59thTickRestartsTheMinute)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Set_Ping_Timeout(0, 1);
    for (int tick = 1; tick <= 59; ++tick)
        ASSERT_FALSE(table.Supervision_Tick());
    table.Update_Object(Make_Event("1000", Now + 59), false);
    EXPECT_EQ(Ticks_Until_Failure(100), 60);
}

TEST_F(Object_Table_Test, AMessageFromAFailedObjectIsReportedAsRestore)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Set_Ping_Timeout(0, 1);
    ASSERT_EQ(Ticks_Until_Failure(100), 60);
    ASSERT_TRUE(table.Clear_Flag_Report(0, table.Copy_Object(0)));
    ASSERT_EQ(table.Supervision_Flags(0), Flag_Failed);

    table.Update_Object(Make_Event("1000", Now + 100), false);
    EXPECT_EQ(table.Supervision_Flags(0), Flag_Report);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 60u);
    const Object_Record stored = File_Record(path, 0);
    EXPECT_EQ(stored.Supervision_Flags, 0);
    EXPECT_EQ(stored.Last_Time, Now + 100);
}

TEST_F(Object_Table_Test, TimeOutZeroNeverFails)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Set_Ping_Timeout(0, 0);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 0u);
    table.Update_Object(Make_Event("1000", Now + 1), false);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 0u);
    EXPECT_EQ(Ticks_Until_Failure(500), 0);
    EXPECT_EQ(table.Supervision_Flags(0), 0);
}

TEST_F(Object_Table_Test, EmptyAccountDoesNotCountDown)
{
    auto records = std::make_unique<Object_Record[]>(Object_Count);
    records[0].Last_Time = Now;
    records[0].Ping_Timeout = 5;
    Write_File(path, records.get(), Object_File_Size);
    Load();
    ASSERT_EQ(table.Object(0).Ping_Countdown, 300u);
    EXPECT_EQ(Ticks_Until_Failure(400), 0);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 300u);
}

TEST_F(Object_Table_Test, SetPingTimeoutRestartsOnlyOnChangeAndAlwaysWrites)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Supervision_Tick();
    ASSERT_EQ(table.Object(0).Ping_Countdown, 4199u);

    Write_Zero_File(path, Object_File_Size);
    table.Set_Ping_Timeout(0, 70);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 4199u);
    EXPECT_TRUE(Same_Bytes(File_Record(path, 0), table.Object(0)));

    table.Set_Ping_Timeout(0, 2);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 120u);
}

TEST_F(Object_Table_Test, TimeOutIsClampedSoTheCountdownFits32Bits)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Set_Ping_Timeout(0, 0xFFFFFFFFu);
    EXPECT_EQ(table.Object(0).Ping_Timeout, Max_Ping_Timeout);
    EXPECT_EQ(table.Object(0).Ping_Countdown, 4294967280u);

    Write_Table_File(1, 0xFFFFFFFFu, [](std::uint32_t) { return Now; });
    Load();
    EXPECT_EQ(table.Object(0).Ping_Countdown, 4294967280u);
}

// ---- Output thread access

TEST_F(Object_Table_Test, FlagReportIsKeptWhenTheReportedStateIsStale)
{
    Load();
    table.Update_Object(Make_Event("1000", Now), false);
    table.Set_Ping_Timeout(0, 1);
    ASSERT_EQ(Ticks_Until_Failure(100), 60);
    const Object_Record failure_line = table.Copy_Object(0);

    table.Update_Object(Make_Event("1000", Now + 60), false); // restored while the line was out
    EXPECT_FALSE(table.Clear_Flag_Report(0, failure_line));
    EXPECT_EQ(table.Supervision_Flags(0), Flag_Report);

    Object_Record other_account = table.Copy_Object(0);
    Set_Fixed_Text(other_account.Account_Number, "2000");
    EXPECT_FALSE(table.Clear_Flag_Report(0, other_account));
    EXPECT_TRUE(table.Clear_Flag_Report(0, table.Copy_Object(0)));
    EXPECT_EQ(table.Supervision_Flags(0), 0);
}

// ---- Deleting

TEST_F(Object_Table_Test, DeletingPosition0OfThreeMovesTheOthersDown)
{
    Load();
    for (const char* account : {"A", "B", "C"})
        table.Update_Object(Make_Event(account, Now), false);
    table.Delete_Object(0);

    EXPECT_TRUE(gate.Is_Set());
    EXPECT_EQ(Fixed_Text(table.Object(0).Account_Number), "B");
    EXPECT_EQ(Fixed_Text(table.Object(1).Account_Number), "C");
    EXPECT_EQ(table.Object(2).Last_Time, 0);
    const std::vector<char> file = Read_File(path);
    ASSERT_EQ(file.size(), Object_File_Size);
    EXPECT_EQ(std::memcmp(file.data(), &table.Object(0), Object_File_Size), 0);
    EXPECT_EQ(table.Update_Object(Make_Event("C", Now), false), 1u) << "found at its new position";
    EXPECT_EQ(table.Update_Object(Make_Event("D", Now), false), 2u);
}

TEST_F(Object_Table_Test, DeletingTheLastPositionFreesIt)
{
    Write_Table_File(Object_Count, 10, [](std::uint32_t) { return Now; });
    Load();
    table.Delete_Object(Object_Count - 1);
    EXPECT_EQ(table.Object(Object_Count - 1).Last_Time, 0);
    EXPECT_EQ(Fixed_Text(table.Object(Object_Count - 2).Account_Number), "ACC9998");
    EXPECT_EQ(File_Record(path, Object_Count - 1).Last_Time, 0);
}

TEST_F(Object_Table_Test, DeleteAllZeroesTableAndFile)
{
    Load();
    table.Update_Object(Make_Event("A", Now), false);
    EXPECT_TRUE(table.Delete_All_Objects());
    EXPECT_TRUE(gate.Is_Set());
    EXPECT_EQ(table.Object(0).Last_Time, 0);
    const std::vector<char> file = Read_File(path);
    ASSERT_EQ(file.size(), Object_File_Size);
    EXPECT_EQ(std::count(file.begin(), file.end(), 0), static_cast<long>(Object_File_Size));
    EXPECT_EQ(table.Update_Object(Make_Event("B", Now), false), 0u);
    EXPECT_EQ(table.Update_Object(Make_Event("A", Now), false), 1u);
}

TEST_F(Object_Table_Test, DeleteAllWithTheFileDeletedDoesNothing)
{
    SKIP_WHERE_OPEN_FILES_CANNOT_BE_REMOVED();
    Load();
    table.Update_Object(Make_Event("A", Now), false);
    std::filesystem::remove(path);
    EXPECT_FALSE(table.Delete_All_Objects());
    EXPECT_EQ(Fixed_Text(table.Object(0).Account_Number), "A");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Object_Table_Test, FileFailuresAreSilentAndMemoryChangesAnyway)
{
    Load();
    Replace_With_Directory(path);
    table.Update_Object(Make_Event("A", Now), false);
    EXPECT_EQ(Fixed_Text(table.Object(0).Account_Number), "A");
    EXPECT_FALSE(table.Write_Object_Record(0));
    table.Delete_Object(0);
    EXPECT_EQ(table.Object(0).Last_Time, 0);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

} // namespace

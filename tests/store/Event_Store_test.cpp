#include "Store_Test_Support.h"
#include "store/Event_Store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr std::int64_t Base_Time = 1'700'000'000;

std::int64_t Slot_Offset(std::uint32_t slot)
{
    return 4 + 80 * static_cast<std::int64_t>(slot);
}

std::uint32_t File_Next_Slot(const std::vector<char>& file)
{
    std::uint32_t value = 0;
    std::memcpy(&value, file.data(), sizeof value);
    return value;
}

Event_Record File_Slot(const std::vector<char>& file, std::uint32_t slot)
{
    Event_Record record;
    std::memcpy(&record, file.data() + Slot_Offset(slot), sizeof record);
    return record;
}

bool Same_Bytes(const Event_Record& left, const Event_Record& right)
{
    return std::memcmp(&left, &right, sizeof left) == 0;
}

class Event_Store_Test : public ::testing::Test
{
protected:
    void Load() { message = store.Load_Event_File(path); }

    void Append(int count)
    {
        for (int index = 0; index < count; ++index, ++appended)
            store.Append_Event(Make_Event("ACC" + std::to_string(appended), Base_Time + appended));
    }

    std::string Expected_Message(std::uint64_t actual) const
    {
        return "File " + path + " size (" + std::to_string(actual) + "->327684) error, new file created.";
    }

    Temp_Folder folder;
    std::string path = folder.File("tarvel.dat");
    Manual_Reset_Event gate {true};
    Event_Store store {gate};
    std::string message;
    int appended = 0;
};

// ---- Loading and re-creating the file

TEST_F(Event_Store_Test, MissingFileIsCreatedZeroedWithoutMessage)
{
    Load();
    EXPECT_EQ(message, "");
    const std::vector<char> file = Read_File(path);
    ASSERT_EQ(file.size(), 327684u);
    EXPECT_EQ(std::count(file.begin(), file.end(), 0), 327684);
}

TEST_F(Event_Store_Test, WrongSizedFilesAreRecreatedWithTheExactMessage)
{
    for (const std::size_t size : {327683u, 327685u, 0u}) {
        std::vector<char> content(size, 7);
        Write_File(path, content.data(), content.size());
        Load();
        EXPECT_EQ(message, Expected_Message(size));
        const std::vector<char> file = Read_File(path);
        ASSERT_EQ(file.size(), 327684u);
        EXPECT_EQ(std::count(file.begin(), file.end(), 0), 327684);
        EXPECT_EQ(store.Next_Slot(), 0u);
        EXPECT_EQ(store.Status(0), 0);
    }
}

TEST_F(Event_Store_Test, RightSizedFileIsLoadedUnchanged)
{
    auto image = std::make_unique<Event_Store_Image>();
    image->Next_Slot = 1234;
    image->Slot[0] = Make_Event("1111", Base_Time);
    image->Slot[0].Status = Status_Used | Status_Saved | Status_Reported;
    image->Slot[4095] = Make_Event("2222", Base_Time + 1);
    image->Slot[4095].Status = Status_Used;
    Write_File(path, image.get(), sizeof *image);

    Load();
    EXPECT_EQ(message, "");
    EXPECT_EQ(std::memcmp(&store.Image(), image.get(), sizeof *image), 0);
    EXPECT_EQ(store.Next_Slot(), 1234u);
    EXPECT_EQ(Read_File(path).size(), 327684u);
}

TEST_F(Event_Store_Test, UnopenableFileLeavesStoreEmptyAndFileAlone)
{
    Replace_With_Directory(path);
    Load();
    EXPECT_EQ(message, "");
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(store.Next_Slot(), 0u);
}

// ---- Appending and the ring

TEST_F(Event_Store_Test, AppendFillsNextSlotWithStatusUsedOnly)
{
    Load();
    Event_Record event = Make_Event("123456", Base_Time);
    event.Status = 0xFF; // whatever the caller leaves there
    store.Append_Event(event);

    EXPECT_EQ(store.Next_Slot(), 1u);
    EXPECT_EQ(store.Status(0), Status_Used);
    Event_Record expected = event;
    expected.Status = Status_Used;
    EXPECT_TRUE(Same_Bytes(store.Slot(0), expected));
    EXPECT_EQ(Read_File(path)[4], 0) << "appending writes nothing to the file";
}

// Slot numbers reach the store from the event list's grid: one past the ring must neither read
// nor change memory beyond it.
TEST_F(Event_Store_Test, SlotsPastTheRingReadAsFreeAndChangeNothing)
{
    Load();
    store.Append_Event(Make_Event("123456", Base_Time));
    const std::vector<char> file_before = Read_File(path);
    for (const std::uint32_t slot : {Event_Slot_Count, Event_Slot_Count + 1, 0xFFFFFFFFu}) {
        EXPECT_TRUE(Same_Bytes(store.Slot(slot), Event_Record {})) << slot;
        EXPECT_EQ(store.Status(slot), 0) << slot;
        EXPECT_EQ(store.Generation(slot), 0u) << slot;
        Event_Copy copy;
        EXPECT_FALSE(store.Copy_Event(slot, copy)) << slot;
        Event_File_Pass pass;
        EXPECT_FALSE(store.Mark_Event_Reported(pass, slot).Failed()) << slot;
        EXPECT_FALSE(pass.File_Opened()) << slot;
    }
    EXPECT_EQ(Read_File(path), file_before);
}

TEST_F(Event_Store_Test, The4097thEventOverwritesSlot0)
{
    Load();
    Append(4096);
    EXPECT_EQ(store.Next_Slot(), 0u);
    Append(1);
    EXPECT_EQ(store.Next_Slot(), 1u);
    EXPECT_EQ(Fixed_Text(store.Slot(0).Account_Number), "ACC4096");
    EXPECT_EQ(store.Slot(0).Time_Received, Base_Time + 4096);
    EXPECT_EQ(Fixed_Text(store.Slot(1).Account_Number), "ACC1");
}

TEST_F(Event_Store_Test, WrapReplacesAPendingEventWithANewOne)
{
    Load();
    Append(1);
    store.Save_New_Events();
    ASSERT_EQ(store.Status(0), Status_Used | Status_Saved);
    Append(4096);
    EXPECT_EQ(store.Status(0), Status_Used);
    EXPECT_EQ(Fixed_Text(store.Slot(0).Account_Number), "ACC4096");
}

// The receiver asks before each alarm whether the append would overwrite one still to report.
TEST_F(Event_Store_Test, NextSlotWaitsWhileItHoldsAnUnreportedAlarm)
{
    Load();
    EXPECT_FALSE(store.Next_Slot_Waiting()) << "a free slot";
    store.Append_Event(Make_Event("LINK", Base_Time, "NULL"));
    Append(4095);
    ASSERT_EQ(store.Next_Slot(), 0u);
    EXPECT_FALSE(store.Next_Slot_Waiting()) << "a link test is never reported";
    EXPECT_TRUE(store.Next_Slot_Waiting(2)) << "a block of two events would take slot 1 too";
    store.Append_Event(Make_Event("ALARM", Base_Time));
    EXPECT_TRUE(store.Next_Slot_Waiting()) << "slot 1 holds an event not yet saved";
    store.Save_New_Events();
    EXPECT_TRUE(store.Next_Slot_Waiting()) << "saved, not reported";
    Event_File_Pass pass;
    ASSERT_FALSE(store.Mark_Event_Reported(pass, 1).Failed());
    EXPECT_FALSE(store.Next_Slot_Waiting());
}

// ---- Save passes

TEST_F(Event_Store_Test, SavePassWritesNewRecordsWithStatus1AndNextSlot)
{
    Load();
    Append(3);
    const Save_Result result = store.Save_New_Events();
    EXPECT_FALSE(result.Result.Failed());
    EXPECT_TRUE(result.File_Opened);
    EXPECT_EQ(result.Saved, 3u);

    const std::vector<char> file = Read_File(path);
    EXPECT_EQ(File_Next_Slot(file), 3u);
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(store.Status(slot), Status_Used | Status_Saved);
        Event_Record expected = store.Slot(slot);
        expected.Status = Status_Used;
        EXPECT_TRUE(Same_Bytes(File_Slot(file, slot), expected)) << slot;
    }
    EXPECT_EQ(file[Slot_Offset(3)], 0);
}

TEST_F(Event_Store_Test, SavePassTouchesOnlyNewRecords)
{
    Load();
    Append(2);
    store.Save_New_Events();

    // A mark in the file copy of slot 0 survives the next pass: the record is not written again.
    std::vector<char> file = Read_File(path);
    file[Slot_Offset(0) + 20] = 'X';
    Write_File(path, file.data(), file.size());

    const Save_Result idle = store.Save_New_Events();
    EXPECT_FALSE(idle.File_Opened) << "nothing new: the file is not even opened";

    Append(1);
    const Save_Result result = store.Save_New_Events();
    EXPECT_EQ(result.Saved, 1u);
    file = Read_File(path);
    EXPECT_EQ(file[Slot_Offset(0) + 20], 'X');
    EXPECT_EQ(File_Slot(file, 2).Status, Status_Used);
    EXPECT_EQ(File_Next_Slot(file), 3u);
}

Manual_Reset_Event* gate_to_close = nullptr;

TEST_F(Event_Store_Test, SavePassStopsWhenTheGateCloses)
{
    Load();
    Append(3);
    gate.Reset();
    EXPECT_FALSE(store.Save_New_Events().File_Opened);
    EXPECT_EQ(store.Status(0), Status_Used);
    gate.Set();

    // The gate closes while the first record is being written: the pass ends before the next slot
    // but still records Next_Slot, since the file was opened.
    File_Faults faults;
    gate_to_close = &gate;
    File_Faults::On_Operation = [](File_Operation operation) {
        if (operation == File_Operation::Write)
            gate_to_close->Reset();
    };
    const Save_Result result = store.Save_New_Events();
    EXPECT_FALSE(result.Result.Failed());
    EXPECT_EQ(result.Saved, 1u);
    EXPECT_EQ(store.Status(1), Status_Used);
    EXPECT_EQ(File_Next_Slot(Read_File(path)), 3u);
}

TEST_F(Event_Store_Test, LoadedUnreportedRecordsAreSavedAgain)
{
    Load();
    Append(2);
    store.Save_New_Events();

    Manual_Reset_Event restarted_gate {true};
    Event_Store restarted {restarted_gate};
    restarted.Load_Event_File(path);
    EXPECT_EQ(restarted.Status(0), Status_Used);
    EXPECT_EQ(restarted.Next_Slot(), 2u);
    EXPECT_EQ(restarted.Save_New_Events().Saved, 2u);
}

// ---- Marking reported

TEST_F(Event_Store_Test, MarkWritesTheStatusByteAlone)
{
    Load();
    Append(2);
    store.Save_New_Events();
    std::vector<char> file = Read_File(path);
    file[Slot_Offset(1) + 20] = 'X';
    Write_File(path, file.data(), file.size());

    Event_File_Pass pass;
    EXPECT_FALSE(store.Mark_Event_Reported(pass, 1).Failed());
    pass.Close();

    EXPECT_EQ(store.Status(1), 7);
    file = Read_File(path);
    EXPECT_EQ(file[Slot_Offset(1)], 7);
    EXPECT_EQ(file[Slot_Offset(1) + 20], 'X');
    EXPECT_EQ(file[Slot_Offset(0)], 1);
    EXPECT_TRUE(pass.File_Opened());
}

TEST_F(Event_Store_Test, PassOpensTheFileLazilyAndOnce)
{
    Load();
    Append(3);
    store.Save_New_Events();
    File_Faults faults;
    {
        Event_File_Pass pass;
        EXPECT_FALSE(pass.File_Opened());
        for (std::uint32_t slot = 0; slot < 3; ++slot)
            store.Mark_Event_Reported(pass, slot);
        EXPECT_TRUE(pass.File_Opened());
    }
    EXPECT_EQ(File_Faults::Count(File_Operation::Open), 1);
    EXPECT_EQ(File_Faults::Count(File_Operation::Create), 0) << "passes never create the file";
    EXPECT_EQ(Read_File(path)[Slot_Offset(2)], 7);
}

TEST_F(Event_Store_Test, AnAnswerForAnOverwrittenSlotMarksNothing)
{
    Load();
    Append(1);
    store.Save_New_Events();
    Event_Copy sent;
    ASSERT_TRUE(store.Copy_Event(0, sent));
    EXPECT_EQ(Fixed_Text(sent.Record.Account_Number), "ACC0");

    Append(4096); // slot 0 now holds another event, saved as well
    store.Save_New_Events();
    ASSERT_EQ(store.Status(0), Status_Used | Status_Saved);

    Event_File_Pass pass;
    EXPECT_FALSE(store.Mark_Event_Reported(pass, 0, sent.Generation).Failed());
    EXPECT_EQ(store.Status(0), Status_Used | Status_Saved);

    Event_Copy current;
    ASSERT_TRUE(store.Copy_Event(0, current));
    store.Mark_Event_Reported(pass, 0, current.Generation);
    EXPECT_EQ(store.Status(0), 7);
}

TEST_F(Event_Store_Test, AnUnsavedSlotIsNeverMarked)
{
    Load();
    Append(1);
    Event_File_Pass pass;
    store.Mark_Event_Reported(pass, 0);
    store.Mark_Event_Reported(pass, 1);
    EXPECT_EQ(store.Status(0), Status_Used);
    EXPECT_EQ(store.Status(1), 0);
}

// ---- Clearing

TEST_F(Event_Store_Test, ClearZeroesMemoryAndFileAndRestartsAtSlot0)
{
    Load();
    Append(5);
    store.Save_New_Events();
    ASSERT_EQ(File_Next_Slot(Read_File(path)), 5u);

    EXPECT_TRUE(store.Clear_Events());
    EXPECT_TRUE(gate.Is_Set());
    EXPECT_EQ(store.Next_Slot(), 0u);
    const std::vector<char> file = Read_File(path);
    ASSERT_EQ(file.size(), 327684u);
    EXPECT_EQ(std::count(file.begin(), file.end(), 0), 327684);
    for (std::uint32_t slot = 0; slot < 5; ++slot)
        EXPECT_EQ(store.Status(slot), 0);

    Append(1);
    EXPECT_EQ(Fixed_Text(store.Slot(0).Account_Number), "ACC5");
    EXPECT_EQ(store.Next_Slot(), 1u);
}

TEST_F(Event_Store_Test, ClearWaitsForTheDrainWithTheGateClosedAndBeforeZeroing)
{
    Load();
    Append(1);
    bool gate_open_in_drain = true;
    std::uint8_t status_in_drain = 0;
    store.Set_Bulk_Change_Drain([&] {
        gate_open_in_drain = gate.Is_Set();
        status_in_drain = store.Status(0);
    });
    EXPECT_TRUE(store.Clear_Events());
    EXPECT_FALSE(gate_open_in_drain);
    EXPECT_EQ(status_in_drain, Status_Used) << "the drain ran after the slots were zeroed";
    EXPECT_TRUE(gate.Is_Set());
}

TEST_F(Event_Store_Test, ClearWithTheFileDeletedDoesNothing)
{
    Load();
    Append(2);
    std::filesystem::remove(path);
    EXPECT_FALSE(store.Clear_Events());
    EXPECT_EQ(store.Next_Slot(), 2u);
    EXPECT_EQ(store.Status(1), Status_Used);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Event_Store_Test, AMarkArrivingAfterAClearIsDropped)
{
    Load();
    Append(1);
    store.Save_New_Events();
    Event_Copy sent;
    ASSERT_TRUE(store.Copy_Event(0, sent));
    store.Clear_Events();

    Event_File_Pass pass;
    store.Mark_Event_Reported(pass, 0, sent.Generation);
    pass.Close();
    EXPECT_EQ(store.Status(0), 0);
    EXPECT_EQ(Read_File(path)[Slot_Offset(0)], 0);
}

// ---- Status texts

TEST(Event_Status_Text, FollowsStatusAndLinkTest)
{
    Event_Record record = Make_Event("1", 1);
    const std::pair<std::uint8_t, const char*> cases[]
        = {{7, "Reported"}, {3, "Pending"}, {1, "Unknown"}, {0, "Unknown"}, {5, "Unknown"}};
    for (const auto& [status, text] : cases) {
        record.Status = status;
        EXPECT_EQ(Status_Text(record), text) << int(status);
    }
    Set_Fixed_Text(record.Qualifier_Event, "NULL");
    for (const std::uint8_t status : {0, 1, 3, 7}) {
        record.Status = status;
        EXPECT_EQ(Status_Text(record), "Not reportable");
    }
}

} // namespace

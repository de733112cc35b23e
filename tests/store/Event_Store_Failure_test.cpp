#include "Store_Test_Support.h"
#include "base/System_Error.h"
#include "store/Event_Store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

class Event_Store_Failure_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(store.Load_Event_File(path), "");
        for (int index = 0; index < 3; ++index)
            store.Append_Event(Make_Event("ACC" + std::to_string(index), 1'700'000'000 + index));
    }

    void Save_All() { ASSERT_FALSE(store.Save_New_Events().Result.Failed()); }

    Temp_Folder folder;
    std::string path = folder.File("tarvel.dat");
    Manual_Reset_Event gate {true};
    Event_Store store {gate};
};

TEST_F(Event_Store_Failure_Test, SaveOpenFailureEndsThePassBeforeAnyWrite)
{
    Replace_With_Directory(path);
    const Save_Result result = store.Save_New_Events();
    EXPECT_EQ(result.Result.Failure, Event_File_Failure::Open);
    EXPECT_EQ(result.Result.Error, Is_Directory_Error);
    EXPECT_FALSE(result.File_Opened);
    EXPECT_EQ(result.Saved, 0u);
    EXPECT_EQ(store.Status(0), Status_Used);
}

TEST_F(Event_Store_Failure_Test, SaveOpenNeverCreatesAMissingFile)
{
    std::filesystem::remove(path);
    EXPECT_EQ(store.Save_New_Events().Result.Error, Not_Found_Error);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Event_Store_Failure_Test, SaveSeekFailureKeepsRecordsNewAndSkipsNextSlot)
{
    {
        File_Faults faults;
        faults.Fail(File_Operation::Seek, ESPIPE, 1); // the second record's seek fails
        const Save_Result result = store.Save_New_Events();
        EXPECT_EQ(result.Result.Failure, Event_File_Failure::Seek);
        EXPECT_EQ(result.Result.Error, ESPIPE);
        EXPECT_TRUE(result.File_Opened);
        EXPECT_EQ(result.Saved, 1u);
    }
    EXPECT_EQ(store.Status(0), Status_Used | Status_Saved);
    EXPECT_EQ(store.Status(1), Status_Used);
    EXPECT_EQ(store.Status(2), Status_Used);
    EXPECT_EQ(Read_File(path)[0], 0) << "Next_Slot is not written after a failure";

    const Save_Result retry = store.Save_New_Events();
    EXPECT_FALSE(retry.Result.Failed());
    EXPECT_EQ(retry.Saved, 2u);
    EXPECT_EQ(Read_File(path)[0], 3);
}

TEST_F(Event_Store_Failure_Test, SaveWriteFailureLeavesTheRecordUnsaved)
{
    REPLACE_WITH_FULL_DEVICE_OR_SKIP(path);
    const Save_Result result = store.Save_New_Events();
    EXPECT_EQ(result.Result.Failure, Event_File_Failure::Write);
    EXPECT_EQ(result.Result.Error, Disk_Full_Error);
    EXPECT_TRUE(result.File_Opened);
    EXPECT_EQ(store.Status(0), Status_Used);
}

TEST_F(Event_Store_Failure_Test, MarkOpenFailureLeavesTheEventPending)
{
    Save_All();
    Replace_With_Directory(path);
    Event_File_Pass pass;
    const Event_File_Result result = store.Mark_Event_Reported(pass, 1);
    EXPECT_EQ(result.Failure, Event_File_Failure::Open);
    EXPECT_EQ(result.Error, Is_Directory_Error);
    EXPECT_EQ(store.Status(1), Status_Used | Status_Saved);
    EXPECT_FALSE(pass.File_Opened());
}

TEST_F(Event_Store_Failure_Test, MarkSeekFailureKeepsReportedInMemoryOnly)
{
    Save_All();
    File_Faults faults;
    faults.Fail(File_Operation::Seek, EINVAL);
    Event_File_Pass pass;
    const Event_File_Result result = store.Mark_Event_Reported(pass, 1);
    EXPECT_EQ(result.Failure, Event_File_Failure::Seek);
    EXPECT_EQ(result.Error, EINVAL);
    EXPECT_EQ(store.Status(1), 7);
    EXPECT_EQ(Read_File(path)[4 + 80], 1);
    EXPECT_TRUE(pass.File_Opened()) << "the caller still refreshes the list";
}

TEST_F(Event_Store_Failure_Test, MarkWriteFailureKeepsReportedInMemoryOnly)
{
    Save_All();
    REPLACE_WITH_FULL_DEVICE_OR_SKIP(path);
    Event_File_Pass pass;
    const Event_File_Result result = store.Mark_Event_Reported(pass, 2);
    EXPECT_EQ(result.Failure, Event_File_Failure::Write);
    EXPECT_EQ(result.Error, Disk_Full_Error);
    EXPECT_EQ(store.Status(2), 7);
}

TEST_F(Event_Store_Failure_Test, ClearFailureStillEmptiesMemoryAndOpensTheGate)
{
    Save_All();
    REPLACE_WITH_FULL_DEVICE_OR_SKIP(path);
    EXPECT_TRUE(store.Clear_Events());
    EXPECT_TRUE(gate.Is_Set());
    EXPECT_EQ(store.Next_Slot(), 0u);
    EXPECT_EQ(store.Status(0), 0);
}

TEST(Event_File_Failure_Text, NamesTheStepTheCodeAndTheSystemText)
{
    EXPECT_EQ(Event_File_Failure_Text({Event_File_Failure::Open, ENOENT}),
        std::string("File open error.  Error: 2. ") + System_Error_Text(ENOENT));
    EXPECT_EQ(Event_File_Failure_Text({Event_File_Failure::Seek, ESPIPE}),
        std::string("File seek error.  Error: 29. ") + System_Error_Text(ESPIPE));
    EXPECT_EQ(Event_File_Failure_Text({Event_File_Failure::Write, ENOSPC}),
        std::string("Disk write error.  Error: 28. ") + System_Error_Text(ENOSPC));
    EXPECT_EQ(Event_File_Failure_Text({}), "");
}

} // namespace

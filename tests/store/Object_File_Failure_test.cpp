// The object file failing while the program runs: memory keeps every change, the log gets one line
// when writing starts failing and one when it works again, and the file catches up then.

#include "Store_Test_Support.h"
#include "base/System_Error.h"
#include "store/Object_Table.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr std::int64_t Now = 1'700'000'000;

class Object_File_Failure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(table.Load_Object_File(path), "");
        table.Set_Write_State_Hook(
            [this](const std::string& text, bool failing) { lines.emplace_back(text, failing); });
    }

    std::string File_Account(std::uint32_t position) const
    {
        const std::vector<char> file = Read_File(path);
        if (file.size() != Object_File_Size)
            return "<file size " + std::to_string(file.size()) + ">";
        Object_Record record {};
        std::memcpy(&record, file.data() + sizeof(Object_Record) * position, sizeof record);
        return std::string(Fixed_Text(record.Account_Number));
    }

    Temp_Folder folder;
    std::string path = folder.File("latevn.dat");
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Object_Table table {gate, object_lock, [] { return Now; }};
    std::vector<std::pair<std::string, bool>> lines;
};

TEST_F(Object_File_Failure, OneLineEachWayAndEveryRecordWrittenOnceSpaceReturns)
{
    {
        File_Faults faults;
        faults.Fail(File_Operation::Write, ENOSPC);
        for (const char* account : {"A", "B", "C"})
            table.Update_Object(Make_Event(account, Now), false);
        table.Supervision_Tick();
        table.Update_Object(Make_Event("A", Now + 1), false);
        EXPECT_EQ(table.Unwritten_Count(), 3u);
        EXPECT_EQ(File_Account(0), "") << "nothing reached the file";
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].second);
    EXPECT_EQ(lines[0].first, "Object file write error. Error: 28. " + System_Error_Text(ENOSPC));

    // Space is back: the next tick writes what memory kept.
    table.Supervision_Tick();
    EXPECT_EQ(table.Unwritten_Count(), 0u);
    EXPECT_EQ(File_Account(0), "A");
    EXPECT_EQ(File_Account(1), "B");
    EXPECT_EQ(File_Account(2), "C");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], std::make_pair(std::string("Object file written again."), false));
}

TEST_F(Object_File_Failure, AMessageThatWritesAgainAlsoWritesTheRecordsLeftBehind)
{
    {
        File_Faults faults;
        faults.Fail(File_Operation::Write, EIO);
        table.Update_Object(Make_Event("A", Now), false);
    }
    table.Update_Object(Make_Event("B", Now), false);
    EXPECT_EQ(File_Account(0), "A");
    EXPECT_EQ(File_Account(1), "B");
    EXPECT_EQ(lines.size(), 2u);
}

TEST_F(Object_File_Failure, FileRemovedWhileOpenIsNoticedAndRewrittenWhenItReturns)
{
    SKIP_WHERE_OPEN_FILES_CANNOT_BE_REMOVED();
    table.Update_Object(Make_Event("A", Now), false);
    ASSERT_EQ(File_Account(0), "A");
    std::filesystem::remove(path);
    // Goes to the removed file through the handle that is still open, until the tick notices.
    table.Update_Object(Make_Event("B", Now), false);
    table.Supervision_Tick();
    table.Supervision_Tick();
    EXPECT_FALSE(std::filesystem::exists(path)) << "the object file is never created while running";
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].second);
    EXPECT_EQ(lines[0].first, "Object file write error. Error: 2. " + System_Error_Text(ENOENT));

    // The operator puts a file back: everything in memory goes into it.
    Write_Zero_File(path, Object_File_Size);
    table.Supervision_Tick();
    EXPECT_EQ(File_Account(0), "A");
    EXPECT_EQ(File_Account(1), "B");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[1].second);
}

} // namespace

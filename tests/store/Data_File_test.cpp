#include "Store_Test_Support.h"
#include "store/Data_File.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(Data_File, OpenExistingNeverCreates)
{
    Temp_Folder folder;
    const std::string path = folder.File("missing.dat");
    Data_File file;
    EXPECT_EQ(file.Open_Existing(path, File_Access::Read_Write), Not_Found_Error);
    EXPECT_EQ(file.Open_Existing(path, File_Access::Write_Only), Not_Found_Error);
    EXPECT_FALSE(file.Is_Open());
    EXPECT_FALSE(File_Exists(path));
}

TEST(Data_File, CreateTruncatesAndWritesInPlace)
{
    Temp_Folder folder;
    const std::string path = folder.File("data.dat");
    Write_File(path, "0123456789", 10);

    Data_File file;
    ASSERT_EQ(file.Create(path), 0);
    ASSERT_EQ(file.Write("abcdef", 6), 0);
    ASSERT_EQ(file.Seek(2), 0);
    ASSERT_EQ(file.Write("XY", 2), 0);
    std::int64_t size = 0;
    ASSERT_EQ(file.Size(size), 0);
    EXPECT_EQ(size, 6);
    char read_back[6] = {};
    ASSERT_EQ(file.Read(read_back, sizeof read_back), 0) << "Size leaves the position at the start";
    EXPECT_EQ(std::string(read_back, 6), "abXYef");
    EXPECT_EQ(file.Close(), 0);
    EXPECT_FALSE(file.Is_Open());
}

TEST(Data_File, ShortReadIsAnError)
{
    Temp_Folder folder;
    const std::string path = folder.File("short.dat");
    Write_File(path, "abc", 3);
    Data_File file;
    ASSERT_EQ(file.Open_Existing(path, File_Access::Read_Write), 0);
    char buffer[4];
    EXPECT_NE(file.Read(buffer, sizeof buffer), 0);
}

TEST(Data_File, WriteFailureCarriesTheSystemCode)
{
    Temp_Folder folder;
    const std::string path = folder.File("full.dat");
    REPLACE_WITH_FULL_DEVICE_OR_SKIP(path);
    Data_File file;
    ASSERT_EQ(file.Open_Existing(path, File_Access::Write_Only), 0);
    EXPECT_EQ(file.Write("x", 1), Disk_Full_Error);
}

TEST(Data_File, FaultHookFailsTheChosenOperation)
{
    Temp_Folder folder;
    const std::string path = folder.File("hooked.dat");
    Write_File(path, "abc", 3);
    File_Faults faults;
    faults.Fail(File_Operation::Seek, EOVERFLOW, 1);
    Data_File file;
    ASSERT_EQ(file.Open_Existing(path, File_Access::Read_Write), 0);
    EXPECT_EQ(file.Seek(1), 0);
    EXPECT_EQ(file.Seek(1), EOVERFLOW);
    EXPECT_EQ(file.Write("x", 1), 0);
    EXPECT_EQ(File_Faults::Count(File_Operation::Seek), 2);
}

} // namespace

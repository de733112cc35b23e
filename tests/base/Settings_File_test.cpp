#include "base/Settings_File.h"

#include "base/File_Fault.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

using Bytes = QByteArray;

class Settings_File_Test : public ::testing::Test
{
protected:
    QTemporaryDir Folder;
    std::string Path = QString(Folder.path() + QStringLiteral("/tarvel.cfg")).toStdString();

    Bytes File_Bytes() const
    {
        QFile file(QString::fromStdString(Path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : Bytes();
    }
    void Write_File(const Bytes& bytes) const
    {
        QFile file(QString::fromStdString(Path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static Bytes Record_Bytes(const Settings_Record& settings)
    {
        return Bytes(reinterpret_cast<const char*>(&settings), sizeof settings);
    }
};

void Put_Int32(Bytes& bytes, int offset, std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
}

// The defaults written out by hand at their file offsets, independent of the record declaration.
Bytes Expected_Defaults()
{
    Bytes bytes(256, '\0');
    Put_Int32(bytes, 1, 7777);
    Put_Int32(bytes, 5, 30);
    bytes[49] = 1;
    Put_Int32(bytes, 50, 9999);
    bytes[54] = 1;
    std::memcpy(bytes.data() + 64, "127.0.0.1", 9);
    Put_Int32(bytes, 86, 9600);
    Put_Int32(bytes, 90, 30);
    Put_Int32(bytes, 96, 1602);
    return bytes;
}

TEST_F(Settings_File_Test, NewFileHoldsTheDefaultsByteForByte)
{
    Settings_Record settings;
    std::memset(&settings, 0xAA, sizeof settings);
    Load_Settings(Path, settings);

    EXPECT_EQ(File_Bytes(), Expected_Defaults());
    EXPECT_EQ(Record_Bytes(settings), Expected_Defaults());
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));
}

TEST_F(Settings_File_Test, UncreatableFileLeavesTheDefaultsInMemoryOnly)
{
    const std::string path = QString(Folder.path() + QStringLiteral("/missing/tarvel.cfg")).toStdString();
    Settings_Record settings {};
    Load_Settings(path, settings);

    EXPECT_EQ(Record_Bytes(settings), Expected_Defaults());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_TRUE(Settings_Differ_From_File(path, settings));
}

TEST_F(Settings_File_Test, UnopenableFileLeavesTheRecordZeroWithoutDefaults)
{
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path))); // a folder where the file should be
    Settings_Record settings;
    std::memset(&settings, 0xAA, sizeof settings);
    Load_Settings(Path, settings);

    EXPECT_EQ(Record_Bytes(settings), Bytes(256, '\0'));
}

// A read that fails after a good open (a bad sector, a network folder gone) must not cost the
// operator the stored key, ports and output settings: the file is left alone and the program runs
// on the defaults.
TEST_F(Settings_File_Test, FailedReadKeepsTheFileAndStartsWithTheDefaults)
{
    Bytes stored = Expected_Defaults();
    stored[0] = 1;
    Put_Int32(stored, 50, 4321);
    std::memcpy(stored.data() + 16, "operator-key-0123456789abcdef", 29);
    stored[48] = 2;
    Bytes with_zero_mark = stored;
    Put_Int32(with_zero_mark, 96, 0); // the case that used to write the record back

    for (const Bytes& content : {stored, with_zero_mark}) {
        Write_File(content);
        Set_File_Fault_Hook(
            [](File_Operation operation) { return operation == File_Operation::Read ? EIO : 0; });
        Settings_Record settings;
        std::memset(&settings, 0xAA, sizeof settings);
        const Settings_Load outcome = Load_Settings(Path, settings);
        Set_File_Fault_Hook(nullptr);

        EXPECT_EQ(outcome, Settings_Load::Read_Failed);
        EXPECT_EQ(File_Bytes(), content);
        EXPECT_EQ(Record_Bytes(settings), Expected_Defaults());
    }
}

TEST_F(Settings_File_Test, ShortFileWithoutMarkIsCompletedTo256Bytes)
{
    Bytes stored(10, '\0');
    stored[0] = 1;
    Put_Int32(stored, 1, 1234);
    Put_Int32(stored, 5, 45);
    stored[9] = 3;
    Write_File(stored);

    Settings_Record settings {};
    Load_Settings(Path, settings);

    Bytes expected(256, '\0');
    expected.replace(0, 10, stored);
    Put_Int32(expected, 96, 1602);
    EXPECT_EQ(Record_Bytes(settings), expected);
    EXPECT_EQ(File_Bytes(), expected);
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));
}

TEST_F(Settings_File_Test, ShortFileWithMarkStaysShortAndComparesDifferent)
{
    Bytes stored(100, '\0');
    Put_Int32(stored, 50, 4321);
    Put_Int32(stored, 96, 1602);
    Write_File(stored);

    Settings_Record settings {};
    Load_Settings(Path, settings);

    // Packed fields are copied out (+) before gtest binds a reference to them.
    EXPECT_EQ(+settings.Mon_Port, 4321);
    EXPECT_EQ(+settings.Format_Mark, 1602);
    EXPECT_EQ(+settings.COM_Baud, 0); // missing bytes stay zero, no defaults
    EXPECT_EQ(File_Bytes(), stored);
    EXPECT_TRUE(Settings_Differ_From_File(Path, settings));

    EXPECT_TRUE(Save_Settings(Path, settings));
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));
}

TEST_F(Settings_File_Test, ZeroMarkIsWrittenBackAtOffset96)
{
    Bytes stored = Expected_Defaults();
    Put_Int32(stored, 96, 0);
    Put_Int32(stored, 50, 8888);
    stored[200] = 0x5A; // reserved bytes are carried through
    Write_File(stored);

    Settings_Record settings {};
    Load_Settings(Path, settings);

    Bytes expected = stored;
    expected[96] = 0x42;
    expected[97] = 0x06;
    EXPECT_EQ(File_Bytes(), expected);
    EXPECT_EQ(+settings.Mon_Port, 8888);
}

TEST_F(Settings_File_Test, LongFileUsesItsFirst256BytesAndKeepsItsTail)
{
    Bytes stored = Expected_Defaults();
    const Bytes tail("tail bytes that belong to nobody");
    stored += tail;
    Write_File(stored);

    Settings_Record settings {};
    Load_Settings(Path, settings);
    EXPECT_EQ(Record_Bytes(settings), Expected_Defaults());
    EXPECT_EQ(File_Bytes(), stored); // a mark already in place means no write at load
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));

    settings.Mon_Port = 9998;
    EXPECT_TRUE(Settings_Differ_From_File(Path, settings));
    ASSERT_TRUE(Save_Settings(Path, settings));
    const Bytes saved = File_Bytes();
    ASSERT_EQ(saved.size(), stored.size());
    EXPECT_EQ(saved.left(256), Record_Bytes(settings));
    EXPECT_EQ(saved.mid(256), tail);
}

TEST_F(Settings_File_Test, ChangingAValueAndBackComparesEqualAgain)
{
    Settings_Record settings {};
    Load_Settings(Path, settings);

    settings.Mon_Port = 9998;
    EXPECT_TRUE(Settings_Differ_From_File(Path, settings));
    settings.Mon_Port = 9999;
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));
    settings.Reserved_208[47] = 1; // every byte counts, reserved ones too
    EXPECT_TRUE(Settings_Differ_From_File(Path, settings));
}

TEST_F(Settings_File_Test, SaveWithTheFileDeletedWritesNothing)
{
    Settings_Record settings {};
    Load_Settings(Path, settings);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(Path)));

    settings.Start_In_Background = 1;
    EXPECT_FALSE(Save_Settings(Path, settings));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path)));
    EXPECT_TRUE(Settings_Differ_From_File(Path, settings));
}

TEST(Com_Port_Name_Test, ShortNameLivesInComNr)
{
    Settings_Record settings {};
    std::memset(settings.COM_Path, 'x', sizeof settings.COM_Path);
    ASSERT_TRUE(Set_Com_Port_Name(settings, "COM12"));

    EXPECT_EQ(std::memcmp(settings.COM_Nr, "COM12\0", 6), 0);
    EXPECT_EQ(Bytes(settings.COM_Path, 64), Bytes(64, '\0'));
    EXPECT_EQ(Com_Port_Name(settings), "COM12");
}

TEST(Com_Port_Name_Test, DevicePathLivesInComPathWithComNrZero)
{
    Settings_Record settings {};
    ASSERT_TRUE(Set_Com_Port_Name(settings, "COM1"));
    ASSERT_TRUE(Set_Com_Port_Name(settings, "/dev/ttyUSB0"));

    EXPECT_EQ(Bytes(settings.COM_Nr, 6), Bytes(6, '\0'));
    const auto* record = reinterpret_cast<const char*>(&settings);
    EXPECT_EQ(Bytes(record + 128, 13), Bytes("/dev/ttyUSB0", 13));
    EXPECT_EQ(Com_Port_Name(settings), "/dev/ttyUSB0");

    const std::string longest(63, 'p');
    ASSERT_TRUE(Set_Com_Port_Name(settings, longest));
    EXPECT_EQ(Com_Port_Name(settings), longest);
    EXPECT_EQ(record[191], '\0');
}

TEST(Com_Port_Name_Test, TooLongNameIsRefusedAndChangesNothing)
{
    Settings_Record settings {};
    ASSERT_TRUE(Set_Com_Port_Name(settings, "/dev/pts/3"));
    const Settings_Record before = settings;

    EXPECT_FALSE(Set_Com_Port_Name(settings, std::string(64, 'p')));
    EXPECT_FALSE(Set_Com_Port_Name(settings, std::string_view("CO\0M1", 5)));
    EXPECT_EQ(std::memcmp(&before, &settings, sizeof settings), 0);
}

TEST(Com_Port_Name_Test, SixByteNameFromAnOlderFileIsReadWhole)
{
    Settings_Record settings {};
    std::memcpy(settings.COM_Nr, "COM123", 6); // no terminator inside the field
    EXPECT_EQ(Com_Port_Name(settings), "COM123");
}

TEST(Out_IP_Test, StoredOnlyUpTo16BytesAndZeroFilled)
{
    Settings_Record settings {};
    ASSERT_TRUE(Set_Out_IP(settings, "192.168.100.200"));
    ASSERT_TRUE(Set_Out_IP(settings, "10.0.0.1"));
    EXPECT_EQ(Bytes(settings.Out_IP, 16), Bytes("10.0.0.1\0\0\0\0\0\0\0\0", 16));

    ASSERT_TRUE(Set_Out_IP(settings, "1234567890123456"));
    EXPECT_EQ(Out_IP_Text(settings), "1234567890123456");
    EXPECT_EQ(settings.COM_Nr[0], '\0'); // the unterminated field ends where it should

    EXPECT_FALSE(Set_Out_IP(settings, "12345678901234567"));
    EXPECT_EQ(Out_IP_Text(settings), "1234567890123456");
}

} // namespace

#include "base/Settings_File.h"

#include "base/File_Fault.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(Settings_File_Test, GoodFileIsLoadedByteForByteAndLeftAlone)
{
    Bytes stored = Expected_Defaults();
    Put_Int32(stored, 50, 8888);
    stored[200] = 0x5A; // reserved bytes are carried through
    Write_File(stored);

    Settings_Record settings {};
    EXPECT_EQ(Load_Settings(Path, settings), Settings_Load::Loaded);
    EXPECT_EQ(Record_Bytes(settings), stored);
    EXPECT_EQ(File_Bytes(), stored);
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));
}

// A cut or grown file, or one without the mark, may hold anything in the fields that decide what
// the receiver accepts (encryption off, an all-zero key): it is never used, only kept aside.
TEST_F(Settings_File_Test, DamagedFileIsKeptAsideAndTheDefaultsTakeItsPlace)
{
    Bytes strong = Expected_Defaults();
    strong[0] = 1; // receiver port open
    strong[9] = 3; // AES-256
    std::memcpy(strong.data() + 16, "0123456789abcdef0123456789abcdef", 32);
    Bytes zero_mark = strong;
    Put_Int32(zero_mark, 96, 0);
    Bytes other_mark = strong;
    Put_Int32(other_mark, 96, 1601);
    const struct
    {
        Bytes Content;
        std::string Reason;
    } cases[] = {
        {strong.left(16), "it holds 16 bytes, not 256"},
        {strong.left(9), "it holds 9 bytes, not 256"},
        {Bytes(), "it holds 0 bytes, not 256"},
        {strong + Bytes("tail"), "it holds 260 bytes, not 256"},
        {zero_mark, "its format mark is 0, not 1602"},
        {other_mark, "its format mark is 1601, not 1602"},
    };
    for (const auto& damaged : cases) {
        SCOPED_TRACE(damaged.Reason);
        Write_File(damaged.Content);
        Settings_Record settings;
        std::memset(&settings, 0xAA, sizeof settings);
        Settings_Damage damage;
        ASSERT_EQ(Load_Settings(Path, settings, &damage), Settings_Load::Damaged);

        EXPECT_EQ(damage.Reason, damaged.Reason);
        EXPECT_EQ(Record_Bytes(settings), Expected_Defaults());
        EXPECT_EQ(settings.DC9_Port_Enable, 0);
        EXPECT_EQ(File_Bytes(), Expected_Defaults());
        ASSERT_TRUE(damage.Kept_As.starts_with(Path + ".damaged-")) << damage.Kept_As;
        QFile aside(QString::fromStdString(damage.Kept_As));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), damaged.Content);
    }
    // Six damaged files within a second or two: each kept under a name of its own.
    EXPECT_GE(QDir(Folder.path()).entryList({QStringLiteral("tarvel.cfg.damaged-*")}).size(), 6);
}

TEST_F(Settings_File_Test, LinkFolderAndFifoAreKeptAsideWithoutBeingOpened)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + QStringLiteral("/target.cfg");
    Bytes operator_file = Expected_Defaults();
    operator_file[0] = 1;
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(operator_file);
    }
    const QString name = QString::fromStdString(Path);
    const auto make_link = [&] { ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), Path.c_str()), 0); };
    const auto make_dangling_link = [&] { ASSERT_EQ(::symlink("/nonexistent/velmor.cfg", Path.c_str()), 0); };
    const auto make_folder = [&] { ASSERT_TRUE(QDir().mkdir(name)); };
    // Without O_NONBLOCK the open of a FIFO that no one writes to would never return.
    const auto make_fifo = [&] { ASSERT_EQ(::mkfifo(Path.c_str(), 0600), 0); };
    const struct
    {
        std::function<void()> Make;
        std::string Reason;
    } cases[] = {
        {make_link, "it is a symbolic link"},
        {make_dangling_link, "it is a symbolic link"},
        {make_folder, "it is not a regular file"},
        {make_fifo, "it is not a regular file"},
    };
    for (const auto& odd : cases) {
        SCOPED_TRACE(odd.Reason);
        odd.Make();
        EXPECT_TRUE(Settings_Differ_From_File(Path, Settings_Record {}));
        Settings_Record settings {};
        Settings_Damage damage;
        ASSERT_EQ(Load_Settings(Path, settings, &damage), Settings_Load::Damaged);
        EXPECT_EQ(damage.Reason, odd.Reason);
        EXPECT_EQ(Record_Bytes(settings), Expected_Defaults());
        EXPECT_EQ(File_Bytes(), Expected_Defaults());
        EXPECT_TRUE(QFileInfo(name).isFile() && !QFileInfo(name).isSymLink());
        EXPECT_FALSE(damage.Kept_As.empty());
        ASSERT_TRUE(QFile::remove(name));
    }
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), operator_file);
}

// The new content is renamed over the old: a second name of the old file still shows the old
// bytes, and a link put at the name is replaced, not written through.
TEST_F(Settings_File_Test, SaveReplacesTheFileWholeAndNeverThroughALink)
{
    Settings_Record settings {};
    ASSERT_EQ(Load_Settings(Path, settings), Settings_Load::Created);
    const std::string old_name = Path + ".old";
    ASSERT_EQ(::link(Path.c_str(), old_name.c_str()), 0);

    settings.Mon_Port = 9998;
    ASSERT_TRUE(Save_Settings(Path, settings));
    EXPECT_EQ(File_Bytes(), Record_Bytes(settings));
    EXPECT_FALSE(Settings_Differ_From_File(Path, settings));
    QFile old_file(QString::fromStdString(old_name));
    ASSERT_TRUE(old_file.open(QIODevice::ReadOnly));
    EXPECT_EQ(old_file.readAll(), Expected_Defaults());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path + ".new")));

    ASSERT_TRUE(QFile::remove(QString::fromStdString(Path)));
    ASSERT_EQ(::symlink(old_name.c_str(), Path.c_str()), 0);
    settings.Mon_Port = 9997;
    ASSERT_TRUE(Save_Settings(Path, settings));
    EXPECT_FALSE(QFileInfo(QString::fromStdString(Path)).isSymLink());
    old_file.seek(0);
    EXPECT_EQ(old_file.readAll(), Expected_Defaults());
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

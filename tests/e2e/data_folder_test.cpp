// What the program finds in its data folder and what it leaves there: a damaged settings file never
// weakens the receiver, and the folder and its files are the owner's alone.

#include "tests/e2e/E2E_Common.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Started_Text = "Program started. Hostname of this computer: \"";

std::string Whole_File(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class Data_Folder : public ::testing::Test
{
protected:
    // Settings that open the receiver on a free port with AES-256 and a real key: the station's
    // intent, which damage must never turn into "accept clear frames".
    Settings_Record Strong_Settings()
    {
        Settings_Record settings = Receiver_Settings(3, Test_Key_Bytes());
        settings.DC9_Port_Enable = 1;
        settings.DC9_Port = m_port;
        return settings;
    }

    void Start_And_Wait_For_First_Tick()
    {
        ASSERT_TRUE(m_runner.Start());
        ASSERT_TRUE(m_runner.Wait_For_Log(Started_Text, 10000)) << m_runner.Standard_Error();
    }

    // The red line about the damage, and the receiver still closed two ticks later.
    void Expect_Damage_Kept_Aside_And_Receiver_Closed(std::string_view reason)
    {
        const std::string line = Find_Log_Line(m_runner, "Settings file " + m_runner.Data_Path("tarvel.cfg"));
        EXPECT_NE(
            line.find(std::string("is damaged (") + std::string(reason) + "): kept as "), std::string::npos)
            << m_runner.Standard_Error();
        EXPECT_NE(line.find("default settings in use, receiver port closed."), std::string::npos) << line;
        QThread::msleep(2500);
        EXPECT_EQ(Find_Log_Line(m_runner, " is open."), "") << m_runner.Standard_Error();
        DC09_Test_Client client;
        EXPECT_FALSE(client.Connect(m_port, 500));
        EXPECT_EQ(m_runner.Read_Data_File("tarvel.cfg"), Record_Bytes(Test_Default_Settings()));
    }

    // The names the damaged file was kept under.
    std::vector<fs::path> Kept_Aside() const
    {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(m_runner.Data_Folder()))
            if (entry.path().filename().string().starts_with("tarvel.cfg.damaged-"))
                names.push_back(entry.path());
        return names;
    }

    Program_Runner m_runner;
    int m_port = Pick_Free_Port();
};

TEST_F(Data_Folder, CutSettingsFileIsKeptAsideAndTheReceiverStaysClosed)
{
    for (const std::size_t size : {16, 9}) {
        SCOPED_TRACE(size);
        const std::string cut = Record_Bytes(Strong_Settings()).substr(0, size);
        ASSERT_TRUE(m_runner.Write_Data_File("tarvel.cfg", cut));
        ASSERT_NO_FATAL_FAILURE(Start_And_Wait_For_First_Tick());
        Expect_Damage_Kept_Aside_And_Receiver_Closed("it holds " + std::to_string(size) + " bytes, not 256");
        ASSERT_EQ(m_runner.Stop(), std::optional<int>(0));

        const auto kept = Kept_Aside();
        ASSERT_EQ(kept.size(), 1U);
        EXPECT_EQ(Whole_File(kept.front()), cut);
        fs::remove(kept.front());
    }
}

TEST_F(Data_Folder, SettingsLinkIsKeptAsideAndItsTargetUntouched)
{
    const std::string target = m_runner.Home() + "/elsewhere.cfg";
    const std::string stored = Record_Bytes(Strong_Settings());
    std::ofstream(target, std::ios::binary) << stored;
    fs::create_directories(m_runner.Data_Folder());
    fs::create_symlink(target, m_runner.Data_Path("tarvel.cfg"));
    ASSERT_NO_FATAL_FAILURE(Start_And_Wait_For_First_Tick());
    Expect_Damage_Kept_Aside_And_Receiver_Closed("it is a symbolic link");
    ASSERT_EQ(m_runner.Stop(), std::optional<int>(0));

    EXPECT_FALSE(fs::is_symlink(m_runner.Data_Path("tarvel.cfg")));
    const auto kept = Kept_Aside();
    ASSERT_EQ(kept.size(), 1U);
    ASSERT_TRUE(fs::is_symlink(kept.front()));
    EXPECT_EQ(fs::read_symlink(kept.front()), target);
    EXPECT_EQ(Whole_File(target), stored);
}

TEST_F(Data_Folder, SettingsFifoDoesNotHoldTheStart)
{
    fs::create_directories(m_runner.Data_Folder());
    ASSERT_EQ(::mkfifo(m_runner.Data_Path("tarvel.cfg").c_str(), 0600), 0);
    ASSERT_NO_FATAL_FAILURE(Start_And_Wait_For_First_Tick());
    Expect_Damage_Kept_Aside_And_Receiver_Closed("it is not a regular file");
}

unsigned Mode_Of(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<unsigned>(info.st_mode & 07777) : 07777U;
}

TEST_F(Data_Folder, FolderAndFilesAreTheOwnersAlone)
{
    ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
    // A new folder with a settings file written by the test (0644 under the usual umask) is
    // closed at the next start; everything the program makes is 0600 from the first.
    ASSERT_EQ(m_runner.Stop(), std::optional<int>(0));
    fs::permissions(m_runner.Data_Folder(),
        fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec,
        fs::perm_options::add);
    ASSERT_TRUE(m_runner.Write_Data_File("tarvel.cfg", Record_Bytes(Receiver_Settings())));
    ::chmod(m_runner.Data_Path("tarvel.cfg").c_str(), 0644);
    ASSERT_EQ(Mode_Of(m_runner.Data_Path("tarvel.cfg")), 0644U);
    fs::remove(m_runner.Data_Path("tarvel.dat"));
    fs::remove(m_runner.Data_Path("latevn.dat"));

    Start_And_Wait_For_First_Tick();
    const std::string folder = m_runner.Data_Folder();
    EXPECT_NE(
        Find_Log_Line(m_runner, "Data folder " + folder + " was open to other users (mode 0755), now 0700"),
        "")
        << m_runner.Standard_Error();
    EXPECT_NE(Find_Log_Line(
                  m_runner, "File " + folder + "tarvel.cfg was open to other users (mode 0644), now 0600"),
        "")
        << m_runner.Standard_Error();
    ASSERT_EQ(m_runner.Stop(), std::optional<int>(0));

    EXPECT_EQ(Mode_Of(folder), 0700U);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(Mode_Of(entry.path().string()), 0600U) << entry.path();
        ++files;
    }
    EXPECT_GE(files, 4U); // settings, event file, object file, a monthly log

    // Said once: a start that finds nothing open says nothing.
    Start_And_Wait_For_First_Tick();
    EXPECT_EQ(Find_Log_Line(m_runner, "was open to other users"), "") << m_runner.Standard_Error();
}

} // namespace

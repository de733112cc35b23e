// Start-up and shutdown of the real program: the data folder and files, re-created files and their
// messages, the single-instance rule, an orderly end on SIGTERM, a new start after a kill and the
// notifications to a service manager.

#include "tests/e2e/E2E_Common.h"
#include "tests/support/Service_Manager_Stub.h"

#include <QSysInfo>

#include <filesystem>
#include <regex>

namespace {

constexpr std::string_view Started_Text = "Program started. Hostname of this computer: \"";

class Startup : public ::testing::Test
{
protected:
    void Start_And_Wait_For_First_Tick()
    {
        ASSERT_TRUE(m_runner.Start());
        ASSERT_TRUE(m_runner.Wait_For_Log(Started_Text, 10000)) << m_runner.Standard_Error();
    }

    // Index of the first log line ending with `text`, or -1.
    int Line_Ending_With(std::string_view text) const
    {
        const auto lines = m_runner.Log_Lines();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].ends_with(text))
                return static_cast<int>(i);
        return -1;
    }

    int Line_Containing(std::string_view text) const
    {
        const auto lines = m_runner.Log_Lines();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos)
                return static_cast<int>(i);
        return -1;
    }

    std::string Size_Message(std::string_view file_name, std::size_t actual, std::size_t expected) const
    {
        return "File " + m_runner.Data_Path(file_name) + " size (" + std::to_string(actual) + "->"
            + std::to_string(expected) + ") error, new file created.";
    }

    void Send_Events(int count)
    {
        DC09_Test_Client client;
        ASSERT_TRUE(client.Connect(m_runner.Port()));
        for (int i = 0; i < count; ++i) {
            Test_Message message;
            message.account = std::to_string(2000 + i);
            message.content = "#" + message.account + "|1401 01 001]";
            ASSERT_EQ(Decode_Reply(client.Exchange(Build_Clear_Frame(message))).token, "ACK");
        }
    }

    Program_Runner m_runner;
};

TEST_F(Startup, FirstStartCreatesFolderAndFiles)
{
    ASSERT_FALSE(std::filesystem::exists(m_runner.Data_Folder()));
    Start_And_Wait_For_First_Tick();

    const auto settings = m_runner.Read_Data_File("tarvel.cfg");
    ASSERT_TRUE(settings);
    EXPECT_EQ(Hex_Upper(*settings), Hex_Upper(Record_Bytes(Test_Default_Settings())));
    const auto events = m_runner.Read_Data_File("tarvel.dat");
    ASSERT_TRUE(events);
    EXPECT_EQ(*events, std::string(Event_File_Size, '\0'));
    const auto objects = m_runner.Read_Data_File("latevn.dat");
    ASSERT_TRUE(objects);
    EXPECT_EQ(*objects, std::string(Object_File_Size, '\0'));

    const std::string started = Find_Log_Line(m_runner, Started_Text);
    const std::string host = QSysInfo::machineHostName().toStdString();
    EXPECT_NE(started.find(std::string(Started_Text) + host + "\"  IP:"), std::string::npos) << started;
    EXPECT_TRUE(std::regex_search(started, std::regex("  IP:[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$"))) << started;
    EXPECT_EQ(Line_Containing(") error, new file created."), -1) << m_runner.Standard_Error();
    const std::string log_file = m_runner.Read_Log_Files();
    EXPECT_TRUE(std::regex_search(log_file,
        std::regex("(^|\r\n)[0-3][0-9]\\.[01][0-9]\\.[0-9]{4} [0-2][0-9]:[0-5][0-9]:"
                   "[0-5][0-9]  Program started\\. Hostname")))
        << log_file;
}

TEST_F(Startup, WrongSizeFilesRecreatedAndReportedInOrder)
{
    ASSERT_TRUE(m_runner.Write_Settings(Test_Default_Settings()));
    ASSERT_TRUE(m_runner.Write_Data_File("tarvel.dat", std::string(1000, '\x7F')));
    ASSERT_TRUE(m_runner.Write_Data_File("latevn.dat", std::string(Object_File_Size + 1, '\x7F')));
    Start_And_Wait_For_First_Tick();
    const std::string event_message = Size_Message("tarvel.dat", 1000, Event_File_Size);
    ASSERT_TRUE(m_runner.Wait_For_Log(event_message, 3000)) << m_runner.Standard_Error();

    const int started = Line_Containing(Started_Text);
    const int object_line
        = Line_Ending_With(Size_Message("latevn.dat", Object_File_Size + 1, Object_File_Size));
    const int event_line = Line_Ending_With(event_message);
    EXPECT_GE(object_line, 0) << m_runner.Standard_Error();
    EXPECT_LT(started, object_line);
    EXPECT_LT(object_line, event_line);
    EXPECT_EQ(m_runner.Read_Data_File("tarvel.dat"), std::string(Event_File_Size, '\0'));
    EXPECT_EQ(m_runner.Read_Data_File("latevn.dat"), std::string(Object_File_Size, '\0'));
}

TEST_F(Startup, EmptyEventFileReportedWithSizeZero)
{
    ASSERT_TRUE(m_runner.Write_Settings(Test_Default_Settings()));
    ASSERT_TRUE(m_runner.Write_Data_File("tarvel.dat", ""));
    Start_And_Wait_For_First_Tick();
    const std::string event_message = Size_Message("tarvel.dat", 0, Event_File_Size);
    ASSERT_TRUE(m_runner.Wait_For_Log(event_message, 3000)) << m_runner.Standard_Error();
    EXPECT_EQ(Line_Containing("latevn.dat size"), -1) << m_runner.Standard_Error();
    EXPECT_EQ(m_runner.Read_Data_File("tarvel.dat"), std::string(Event_File_Size, '\0'));
    EXPECT_EQ(m_runner.Read_Data_File("latevn.dat"), std::string(Object_File_Size, '\0'));
}

TEST_F(Startup, SecondCopyExitsAndLeavesFilesAlone)
{
    ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
    Send_Events(1);
    ASSERT_TRUE(Wait_For_Next_Slot(m_runner, 1));
    QThread::msleep(200);
    const auto files = {"tarvel.cfg", "tarvel.dat", "latevn.dat"};
    std::vector<std::optional<std::string>> before;
    std::vector<std::filesystem::file_time_type> times_before;
    for (const char* name : files) {
        before.push_back(m_runner.Read_Data_File(name));
        times_before.push_back(std::filesystem::last_write_time(m_runner.Data_Path(name)));
    }

    const Program_Runner::Copy_Result copy = m_runner.Run_Second_Copy(10000);
    ASSERT_TRUE(copy.finished);
    EXPECT_EQ(copy.exit_code, 0);
    EXPECT_NE(copy.standard_error.find("SIA-IP Receiver is already running?"), std::string::npos)
        << copy.standard_error;

    std::size_t i = 0;
    for (const char* name : files) {
        EXPECT_EQ(m_runner.Read_Data_File(name), before[i]) << name;
        EXPECT_EQ(std::filesystem::last_write_time(m_runner.Data_Path(name)), times_before[i]) << name;
        ++i;
    }
    ASSERT_TRUE(m_runner.Is_Running());
    Send_Events(1);
}

TEST_F(Startup, TerminateEndsInOrderWithEveryEventSaved)
{
    ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
    constexpr int count = 20;
    Send_Events(count);
    // New events reach the file within about 100 ms of their acknowledgement.
    QThread::msleep(300);
    EXPECT_EQ(m_runner.Stop(10000), std::optional<int>(0)) << m_runner.Exit_Description() << "\n"
                                                           << m_runner.Standard_Error();

    const auto lines = m_runner.Log_Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().ends_with("Program closed")) << m_runner.Standard_Error();
    const std::string log_file = m_runner.Read_Log_Files();
    EXPECT_TRUE(log_file.ends_with("  Program closed\r\n"))
        << log_file.substr(log_file.size() - std::min<std::size_t>(log_file.size(), 300));

    const auto store = Read_Event_Store(m_runner);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, static_cast<std::uint32_t>(count));
    EXPECT_EQ(Used_Event_Count(*store), static_cast<std::size_t>(count));
    EXPECT_EQ(Used_Object_Count(Read_Object_Table(m_runner)), static_cast<std::size_t>(count));
}

TEST_F(Startup, NextStartWorksAfterKill)
{
    ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
    Send_Events(1);
    ASSERT_TRUE(Wait_For_Next_Slot(m_runner, 1));
    m_runner.Kill();
    ASSERT_FALSE(m_runner.Is_Running());

    // Same home and runtime folder: whatever lock the killed copy left must not stop this one.
    ASSERT_TRUE(m_runner.Start_Receiver(Receiver_Settings())) << m_runner.Standard_Error();
    Send_Events(2);
    const auto store = Wait_For_Next_Slot(m_runner, 3);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Next_Slot, 3u);
    EXPECT_EQ(Fixed_Text(store->Slot[0].Account_Number), "2000");
    EXPECT_EQ(Fixed_Text(store->Slot[2].Account_Number), "2001");
}

// Under a service manager: watchdog pings from the start, READY=1 once the receiver port listens,
// STOPPING=1 at the end.
TEST(Startup_Service, ReadyOnceTheReceiverListensWithWatchdogPings)
{
    Service_Manager_Stub manager;
    ASSERT_TRUE(manager.Bound());
    ::setenv("WATCHDOG_USEC", "400000", 1);
    Program_Runner runner; // takes the environment as it is now
    ::unsetenv("WATCHDOG_USEC");
    ASSERT_TRUE(runner.Start_Receiver(Receiver_Settings())) << runner.Standard_Error();

    const std::string ready = "READY=1\nSTATUS=Receiver port " + std::to_string(runner.Port()) + " open";
    const auto pings_after_ready = [&] {
        const auto& received = manager.Collect();
        const auto at = std::find(received.begin(), received.end(), ready);
        return at == received.end() ? 0 : std::count(at, received.end(), std::string("WATCHDOG=1"));
    };
    for (int i = 0; i < 400 && pings_after_ready() < 2; ++i)
        QThread::msleep(20);
    EXPECT_GE(pings_after_ready(), 2) << ::testing::PrintToString(manager.Collect());
    EXPECT_EQ(manager.Count(ready), 1);
    ASSERT_FALSE(manager.Collect().empty());
    EXPECT_EQ(manager.Collect().front(), "WATCHDOG=1");

    ASSERT_EQ(runner.Stop(), std::optional<int>(0));
    manager.Collect();
    EXPECT_EQ(manager.Count("STOPPING=1"), 1);
}

} // namespace

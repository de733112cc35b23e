// The command line of the real program: help and version without a display and without touching
// the data folder, refused arguments, and a start in background mode that is for one run only.

#include "tests/e2e/E2E_Common.h"

#include <filesystem>

namespace {

constexpr std::string_view Started_Text = "Program started. Hostname of this computer: \"";
constexpr std::string_view Background_Text = "The application is running in background mode";

class Command_Line_Run : public ::testing::Test
{
protected:
    bool Data_Folder_Exists() const { return std::filesystem::exists(m_runner.Data_Folder()); }

    Program_Runner m_runner;
};

TEST_F(Command_Line_Run, VersionAndHelpNeedNoDisplayAndTouchNoFile)
{
    const auto version = m_runner.Run_Second_Copy(10000, {QStringLiteral("--version")}, true);
    ASSERT_TRUE(version.finished);
    EXPECT_EQ(version.exit_code, 0) << version.standard_error;
    EXPECT_EQ(version.standard_output, "velmor " VELMOR_VERSION "\n");

    const auto help = m_runner.Run_Second_Copy(10000, {QStringLiteral("--help")}, true);
    ASSERT_TRUE(help.finished);
    EXPECT_EQ(help.exit_code, 0) << help.standard_error;
    EXPECT_TRUE(help.standard_output.starts_with("Usage: velmor [options]")) << help.standard_output;
    for (const char* option : {"--help", "--version", "--background"})
        EXPECT_NE(help.standard_output.find(option), std::string::npos) << option;

    EXPECT_FALSE(Data_Folder_Exists());
}

TEST_F(Command_Line_Run, UnknownOptionOrArgumentIsRefusedBeforeStart)
{
    for (const QString& argument : {QStringLiteral("--bogus"), QStringLiteral("extra")}) {
        const auto run = m_runner.Run_Second_Copy(10000, {argument}, true);
        ASSERT_TRUE(run.finished) << argument.toStdString();
        EXPECT_EQ(run.exit_code, 2) << argument.toStdString();
        EXPECT_NE(run.standard_error.find("Try 'velmor --help'"), std::string::npos) << run.standard_error;
        EXPECT_TRUE(run.standard_output.empty()) << run.standard_output;
    }
    EXPECT_FALSE(Data_Folder_Exists());
}

TEST_F(Command_Line_Run, BackgroundIsForThisRunOnly)
{
    const Settings_Record stored = Test_Default_Settings();
    ASSERT_EQ(stored.Start_In_Background, 0);
    ASSERT_TRUE(m_runner.Write_Settings(stored));
    const std::string stored_bytes(reinterpret_cast<const char*>(&stored), sizeof stored);

    ASSERT_TRUE(m_runner.Start({QStringLiteral("--background")}));
    EXPECT_TRUE(m_runner.Wait_For_Log(Background_Text, 10000)) << m_runner.Standard_Error();
    ASSERT_TRUE(m_runner.Wait_For_Log(Started_Text, 10000)) << m_runner.Standard_Error();
    EXPECT_EQ(m_runner.Stop(10000), std::optional<int>(0)) << m_runner.Exit_Description();
    EXPECT_EQ(m_runner.Read_Data_File("tarvel.cfg"), std::optional<std::string>(stored_bytes));

    // The next plain start shows the window again, as the stored setting says.
    ASSERT_TRUE(m_runner.Start());
    ASSERT_TRUE(m_runner.Wait_For_Log(Started_Text, 10000)) << m_runner.Standard_Error();
    EXPECT_EQ(m_runner.Standard_Error().find(Background_Text), std::string::npos)
        << m_runner.Standard_Error();
    EXPECT_EQ(m_runner.Stop(10000), std::optional<int>(0)) << m_runner.Exit_Description();
    EXPECT_EQ(m_runner.Read_Data_File("tarvel.cfg"), std::optional<std::string>(stored_bytes));
}

TEST_F(Command_Line_Run, StoredBackgroundSettingStillStartsHidden)
{
    Settings_Record stored = Test_Default_Settings();
    stored.Start_In_Background = 1;
    ASSERT_TRUE(m_runner.Write_Settings(stored));
    ASSERT_TRUE(m_runner.Start());
    EXPECT_TRUE(m_runner.Wait_For_Log(Background_Text, 10000)) << m_runner.Standard_Error();
    EXPECT_EQ(m_runner.Stop(10000), std::optional<int>(0)) << m_runner.Exit_Description();
}

} // namespace

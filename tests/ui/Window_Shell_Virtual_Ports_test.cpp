// The menu item "Virtual Serial Ports" on Linux, through the real paths: the real program's start-up,
// window and menu action in this process (the menu cannot be clicked from outside) make the pair with
// the real socat, and then the real program, as its own process, forwards over that pair to a
// simulated automation software on the other end.

#include "app/Virtual_Ports.h"
#include "base/Settings_File.h"
#include "output/Output_Transport.h"
#include "tests/support/Forwarding_Session.h"
#include "tests/ui/In_Process_Program.h"
#include "ui/Message_Box.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every socat whose arguments name `link`.
std::vector<pid_t> Socat_Naming(const std::string& link)
{
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        const std::string arguments((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (arguments.find("socat") != std::string::npos
            && arguments.find("link=" + link + ",") != std::string::npos)
            found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return found;
}

// Ends the socat the test caused, whatever happens to the test.
struct Socat_Cleanup
{
    std::string link;
    ~Socat_Cleanup()
    {
        for (const pid_t process : Socat_Naming(link))
            ::kill(process, SIGTERM);
        for (int wait = 0; wait < 100 && !Socat_Naming(link).empty(); ++wait)
            std::this_thread::sleep_for(20ms);
    }
};

// The in-process program sees the same home as the program the runner starts. Its runtime folder is
// one of its own: the single-instance lock there lives as long as this process.
struct Environment_Of
{
    Environment_Of(const Program_Runner& runner, const std::string& runtime_folder)
        : home(qgetenv("HOME"))
        , runtime(qgetenv("XDG_RUNTIME_DIR"))
        , data(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("HOME", QByteArray::fromStdString(runner.Home()));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime_folder));
        qunsetenv("XDG_DATA_HOME");
    }
    ~Environment_Of()
    {
        qputenv("HOME", home);
        if (runtime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtime);
        if (!data.isEmpty())
            qputenv("XDG_DATA_HOME", data);
    }
    QByteArray home, runtime, data;
};

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.push_back(box->itemText(i));
    return items;
}

TEST(Virtual_Ports, MenuMakesALinkedPairThatCarriesReportsToTheAutomationSoftware)
{
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        << "socat is missing: bash scripts/install-deps.sh";
    Forwarding_Session session;
    Program_Runner& runner = session.runner;
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/vpXXXXXX"));
    ASSERT_TRUE(runtime.isValid());
    const std::string end_0 = runtime.path().toStdString() + "/velmor-vcom0";
    const std::string end_1 = runtime.path().toStdString() + "/velmor-vcom1";
    ASSERT_LE(end_0.size(), Com_Path_Max_Length);
    const Socat_Cleanup cleanup {end_0};
    ASSERT_TRUE(runner.Write_Settings(Test_Default_Settings()));

    {
        const Environment_Of environment(runner, runtime.path().toStdString());
        In_Process_Program program;
        ASSERT_TRUE(program.Start());
        QWidget* main_form = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QStringLiteral("Main_Form"))
                main_form = widget;
        ASSERT_NE(main_form, nullptr);
        auto* menu_item = main_form->findChild<QAction*>(QStringLiteral("VirtualPortsTool1"));
        auto* ports = main_form->findChild<QComboBox*>(QStringLiteral("ComboBox_COM_Nr"));
        ASSERT_NE(menu_item, nullptr);
        ASSERT_NE(ports, nullptr);
        const int boxes = Message_Box_Count();

        menu_item->trigger();
        const std::vector<pid_t> socat = Socat_Naming(end_0);
        ASSERT_EQ(socat.size(), 1u);
        // It holds nothing of the program's: a kept single-instance lock would stop the next start.
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(socat[0]) + "/fd")) {
            std::error_code unreadable;
            const std::string target = fs::read_symlink(fd.path(), unreadable).string();
            // socat's own socket pair and its terminals; no file of the program's.
            EXPECT_TRUE(!target.starts_with("/") || target.starts_with("/dev/")) << target;
        }
        EXPECT_TRUE(fs::is_character_file(end_0));
        EXPECT_TRUE(fs::is_character_file(end_1));
        EXPECT_TRUE(Items(ports).contains(QString::fromStdString(end_0)))
            << Items(ports).join(u' ').toStdString();
        EXPECT_TRUE(Items(ports).contains(QString::fromStdString(end_1)));
        EXPECT_EQ(Message_Box_Count(), boxes);
        const std::string logged = "Virtual serial ports: " + end_0 + " <-> " + end_1;
        EXPECT_NE(runner.Read_Log_Files().find(logged), std::string::npos) << runner.Read_Log_Files();

        // While the pair lives a second click starts nothing and says nothing.
        menu_item->trigger();
        EXPECT_EQ(Socat_Naming(end_0), socat);
        EXPECT_EQ(Message_Box_Count(), boxes);
        std::string log = runner.Read_Log_Files();
        EXPECT_EQ(log.find(logged), log.rfind(logged));

        // The operator picks the first end and saves.
        ports->setCurrentIndex(ports->findText(QString::fromStdString(end_0)));
        auto* save = main_form->findChild<QPushButton*>(QStringLiteral("BitBtn_Save"));
        ASSERT_NE(save, nullptr);
        QTest::mouseClick(save, Qt::LeftButton);
        program.End();
        ASSERT_TRUE(program.station.Safe_To_Delete());
    }

    // The pair outlives the program that made it.
    ASSERT_EQ(Socat_Naming(end_0).size(), 1u);
    const auto saved = runner.Read_Data_File("tarvel.cfg");
    ASSERT_TRUE(saved && saved->size() == sizeof(Settings_Record));
    Settings_Record settings {};
    std::memcpy(&settings, saved->data(), sizeof settings);
    ASSERT_EQ(Com_Port_Name(settings), end_0);

    Automation_Simulator& automation = session.simulator;
    ASSERT_TRUE(automation.Open_Serial_Device(end_1));
    Set_Transport(settings, Output_Transport::Serial);
    settings.Test_Heartbeat_Period = 30;
    ASSERT_TRUE(session.Start(settings)) << session.problem;
    EXPECT_TRUE(runner.Wait_For_Log("Automation software port " + end_0 + " is open.", 6000))
        << runner.Standard_Error();
    ASSERT_TRUE(automation.Wait_For_Line(Heartbeat_Text(1), 0, 5000)) << runner.Standard_Error();

    ASSERT_EQ(session.Send_Event(Event_Message("1234", "1401", "01", "015")), "ACK");
    ASSERT_TRUE(automation.Wait_For_Line(Event_Line_Text(12, 3, "1234", "E401", "01", "015"), 0, 3000))
        << runner.Standard_Error();
    EXPECT_EQ(Wait_For_Event_Status(runner, 0, 7, 3000), 7);
    EXPECT_EQ(runner.Stop(), 0);
}

// The real system's failure paths: no socat on PATH, and a socat that starts but ends at once
// because its folder does not exist.
TEST(Virtual_Ports, RealSystemReportsAMissingOrFailingSocat)
{
    const QByteArray path = qgetenv("PATH");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    // A short folder: with the test's own name in it, the ends would not fit a port name and the
    // pair would move to the temporary folder, where socat can make it.
    QTemporaryDir empty(QDir::tempPath() + QStringLiteral("/vpXXXXXX"));
    ASSERT_TRUE(empty.isValid());

    qputenv("PATH", empty.path().toUtf8());
    Virtual_Ports_Outcome outcome = Run_Virtual_Ports_Tool();
    EXPECT_EQ(outcome.Warning, "Configuration tool not found");
    EXPECT_EQ(outcome.Log_Line, "");
    qputenv("PATH", path);

    const std::string missing = empty.path().toStdString() + "/gone";
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(missing));
    const Socat_Cleanup cleanup {missing + "/velmor-vcom0"};
    outcome = Run_Virtual_Ports_Tool();
    EXPECT_EQ(outcome.Warning, "Inst file open error");
    EXPECT_EQ(outcome.Log_Line, "");
    EXPECT_TRUE(Socat_Naming(missing + "/velmor-vcom0").empty());
    EXPECT_TRUE(Virtual_Port_Pair_Ends().empty()) << "no ends to offer";
    if (runtime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
}

} // namespace

#include "app/Virtual_Ports.h"

#include "base/Settings_File.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* Tool_64 = "c:\\Program Files\\com0com\\setupg.exe";
constexpr const char* Tool_32 = "c:\\Program Files (x86)\\com0com\\setupg.exe";
constexpr int X64 = 9;
constexpr int X86 = 0;

// A Windows machine as the driver's handler sees it: named devices, files, the processor and a
// shell that records what it was asked to open.
struct Fake_Windows : Null_Modem_System
{
    std::map<std::string, std::string> devices;
    std::set<std::string> files;
    int architecture = X64;
    std::string folder = "C:\\Alarm\\";
    bool shell_accepts = true;
    std::vector<std::string> opened;
    std::vector<std::string> queried;

    std::optional<std::string> Device_Path(const std::string& name) override
    {
        queried.push_back(name);
        const auto found = devices.find(name);
        return found == devices.end() ? std::nullopt : std::optional(found->second);
    }
    bool File_Exists(const std::string& path) override { return files.contains(path); }
    int Native_Architecture() override { return architecture; }
    std::string Executable_Folder() override { return folder; }
    bool Open(const std::string& path) override
    {
        opened.push_back(path);
        return shell_accepts;
    }
};

TEST(Null_Modem_Tool, DriverPortWithoutToolWarnsAndStartsNothing)
{
    Fake_Windows system;
    system.devices["COM1"] = "\\Device\\Serial0";
    system.devices["COM5"] = "\\Device\\com0com10";
    const Virtual_Ports_Outcome outcome = Run_Null_Modem_Tool(system);
    EXPECT_EQ(outcome.Warning, "Configuration tool not found");
    EXPECT_EQ(outcome.Log_Line, "");
    EXPECT_TRUE(system.opened.empty());
    // The search stops at the first port of the driver.
    EXPECT_EQ(system.queried.back(), "COM5");
}

TEST(Null_Modem_Tool, WithoutDriverTheInstallerOfTheArchitectureStarts)
{
    for (const int architecture : {9, 12, 6}) {
        Fake_Windows system;
        system.architecture = architecture;
        system.devices["COM1"] = "\\Device\\Serial0";
        const Virtual_Ports_Outcome outcome = Run_Null_Modem_Tool(system);
        EXPECT_EQ(system.opened, std::vector<std::string> {"C:\\Alarm\\setup_com0com_x64.exe"})
            << architecture;
        EXPECT_EQ(outcome.Log_Line, "Installing: C:\\Alarm\\setup_com0com_x64.exe");
        EXPECT_EQ(outcome.Warning, "");
        EXPECT_EQ(system.queried.size(), 63u) << "COM1 to COM63";
    }
    for (const int architecture : {X86, 5, 0xFFFF}) {
        Fake_Windows system;
        system.architecture = architecture;
        const Virtual_Ports_Outcome outcome = Run_Null_Modem_Tool(system);
        EXPECT_EQ(system.opened, std::vector<std::string> {"C:\\Alarm\\setup_com0com_x86.exe"})
            << architecture;
        EXPECT_EQ(outcome.Log_Line, "Installing: C:\\Alarm\\setup_com0com_x86.exe");
    }
}

TEST(Null_Modem_Tool, RefusedInstallerWarnsAndLogsNothing)
{
    Fake_Windows system;
    system.shell_accepts = false;
    const Virtual_Ports_Outcome outcome = Run_Null_Modem_Tool(system);
    EXPECT_EQ(outcome.Warning, "Inst file open error");
    EXPECT_EQ(outcome.Log_Line, "");
    EXPECT_EQ(system.opened.size(), 1u);
}

TEST(Null_Modem_Tool, FirstToolLocationWinsAndAToolIsStartedEvenWithTheDriver)
{
    Fake_Windows both;
    both.files = {Tool_64, Tool_32};
    EXPECT_EQ(Run_Null_Modem_Tool(both).Warning, "");
    EXPECT_EQ(both.opened, std::vector<std::string> {Tool_64});

    Fake_Windows second_only;
    second_only.files = {Tool_32};
    second_only.devices["COM2"] = "\\Device\\com0com20";
    second_only.shell_accepts = false; // a tool that won't start is not reported
    const Virtual_Ports_Outcome outcome = Run_Null_Modem_Tool(second_only);
    EXPECT_EQ(second_only.opened, std::vector<std::string> {Tool_32});
    EXPECT_EQ(outcome.Warning, "");
    EXPECT_EQ(outcome.Log_Line, "");
}

TEST(Null_Modem_Tool, DriverPortAbove63IsNotDetected)
{
    Fake_Windows system;
    system.devices["COM64"] = "\\Device\\com0com64";
    system.devices["COM100"] = "\\Device\\com0com100";
    EXPECT_FALSE(Null_Modem_Driver_Present(system));
    EXPECT_EQ(Run_Null_Modem_Tool(system).Log_Line, "Installing: C:\\Alarm\\setup_com0com_x64.exe");

    system.devices["COM63"] = "\\Device\\com0com63";
    EXPECT_TRUE(Null_Modem_Driver_Present(system));
}

TEST(Null_Modem_Tool, OverLongFolderIsRefusedWithoutStartingAnything)
{
    const std::string file = "setup_com0com_x64.exe";
    // 255 bytes and the terminator fill the 256 exactly; one more does not fit.
    const std::string fits(255 - file.size(), 'a');
    ASSERT_EQ(Null_Modem_Installer(fits, X64), fits + file);
    EXPECT_EQ(Null_Modem_Installer(fits + "a", X64), std::nullopt);

    Fake_Windows system;
    system.folder = std::string(4000, 'b') + "\\";
    const Virtual_Ports_Outcome outcome = Run_Null_Modem_Tool(system);
    EXPECT_EQ(outcome.Warning, "Inst file open error");
    EXPECT_EQ(outcome.Log_Line, "");
    EXPECT_TRUE(system.opened.empty());
}

// A POSIX machine as the pair's handler sees it.
struct Fake_Posix : Port_Pair_System
{
    std::string socat = "/usr/bin/socat";
    std::string runtime = "/run/user/1000";
    std::string temporary = "/tmp";
    bool running = false;
    long process_id = 4242;
    bool pair_appears = true;
    std::vector<std::vector<std::string>> started;
    std::vector<std::string> removed_for;

    std::string Find_Program(const std::string& name) override { return name == "socat" ? socat : ""; }
    std::string Runtime_Folder() override { return runtime; }
    std::string Temporary_Folder() override { return temporary; }
    bool Pair_Running(const Virtual_Port_Pair&) override { return running; }
    void Remove_Stale_Ends(const Virtual_Port_Pair& pair) override { removed_for.push_back(pair.End_0); }
    long Start_Detached(const std::string& program, const std::vector<std::string>& arguments) override
    {
        std::vector<std::string> call {program};
        call.insert(call.end(), arguments.begin(), arguments.end());
        started.push_back(call);
        return process_id;
    }
    bool Wait_For_Pair(const Virtual_Port_Pair&, long id) override
    {
        return id == process_id && pair_appears;
    }
};

TEST(Port_Pair_Tool, StartsOneRawPairInTheRuntimeFolderAndLogsBothEnds)
{
    Fake_Posix system;
    const Virtual_Ports_Outcome outcome = Run_Port_Pair_Tool(system);
    EXPECT_EQ(outcome.Warning, "");
    EXPECT_EQ(outcome.Log_Line,
        "Virtual serial ports: /run/user/1000/velmor-vcom0 <-> /run/user/1000/velmor-vcom1");
    ASSERT_EQ(system.started.size(), 1u);
    EXPECT_EQ(system.started[0],
        (std::vector<std::string> {"/usr/bin/socat", "PTY,link=/run/user/1000/velmor-vcom0,raw,echo=0",
            "PTY,link=/run/user/1000/velmor-vcom1,raw,echo=0"}));
    EXPECT_EQ(system.removed_for, std::vector<std::string> {"/run/user/1000/velmor-vcom0"});
}

TEST(Port_Pair_Tool, LivingPairStartsNothing)
{
    Fake_Posix system;
    system.running = true;
    const Virtual_Ports_Outcome outcome = Run_Port_Pair_Tool(system);
    EXPECT_EQ(outcome.Warning, "");
    EXPECT_EQ(outcome.Log_Line, "");
    EXPECT_TRUE(system.started.empty());
    EXPECT_TRUE(system.removed_for.empty()) << "a living pair's links are not touched";
}

TEST(Port_Pair_Tool, FailuresWarnAndLogNothing)
{
    Fake_Posix missing;
    missing.socat.clear();
    Virtual_Ports_Outcome outcome = Run_Port_Pair_Tool(missing);
    EXPECT_EQ(outcome.Warning, "Configuration tool not found");
    EXPECT_EQ(outcome.Log_Line, "");
    EXPECT_TRUE(missing.started.empty());

    Fake_Posix refused;
    refused.process_id = 0;
    outcome = Run_Port_Pair_Tool(refused);
    EXPECT_EQ(outcome.Warning, "Inst file open error");
    EXPECT_EQ(outcome.Log_Line, "");

    // socat ran but ended without making the pair (a folder it cannot write, say).
    Fake_Posix ended;
    ended.pair_appears = false;
    outcome = Run_Port_Pair_Tool(ended);
    EXPECT_EQ(outcome.Warning, "Inst file open error");
    EXPECT_EQ(outcome.Log_Line, "");
}

TEST(Port_Pair_Tool, EndsFitTheSettingsOrTheTemporaryFolderIsUsed)
{
    // "/" + "velmor-vcom0" is 13 bytes: a 50-byte folder gives 63-byte ends, the longest that fit.
    const std::string fits = "/" + std::string(49, 'r');
    auto pair = Virtual_Port_Pair_Paths(fits, "/tmp");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->End_0, fits + "/velmor-vcom0");
    EXPECT_EQ(pair->End_1.size(), Com_Path_Max_Length);
    Settings_Record settings {};
    EXPECT_TRUE(Set_Com_Port_Name(settings, pair->End_1));

    pair = Virtual_Port_Pair_Paths(fits + "r", "/tmp/");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->End_0, "/tmp/velmor-vcom0");
    EXPECT_EQ(pair->End_1, "/tmp/velmor-vcom1");

    // Unset runtime folder, and folders socat's addresses would misread.
    EXPECT_EQ(Virtual_Port_Pair_Paths("", "/tmp")->End_0, "/tmp/velmor-vcom0");
    EXPECT_EQ(Virtual_Port_Pair_Paths("/run/a,b", "/tmp")->End_0, "/tmp/velmor-vcom0");
    EXPECT_EQ(Virtual_Port_Pair_Paths("relative", "/tmp")->End_0, "/tmp/velmor-vcom0");

    EXPECT_EQ(Virtual_Port_Pair_Paths(std::string(300, 'x'), "/" + std::string(60, 't')), std::nullopt);
    Fake_Posix system;
    system.runtime = "/" + std::string(100, 'r');
    system.temporary = "/" + std::string(100, 't');
    const Virtual_Ports_Outcome outcome = Run_Port_Pair_Tool(system);
    EXPECT_EQ(outcome.Warning, "Inst file open error");
    EXPECT_TRUE(system.started.empty());
}

} // namespace

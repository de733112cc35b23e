#include "output/Com_Ports.h"

#include "base/Settings_File.h"
#include "output/Comm_Port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A device folder of fake serial devices: plain files can be opened like a free port, and the
// test makes some of them unopenable or busy.
class Com_Ports_Test : public ::testing::Test
{
protected:
    fs::path Folder;
    std::vector<int> Held;

    void SetUp() override
    {
        // Short, so that the device paths fit the settings' port name.
        std::string folder = (fs::temp_directory_path() / "vcpXXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr) << std::strerror(errno);
        Folder = folder;
    }

    void TearDown() override
    {
        for (const int fd : Held)
            ::close(fd);
        fs::remove_all(Folder);
    }

    std::string Device(const std::string& name) const { return (Folder / name).string(); }

    void Make(const std::vector<std::string>& names)
    {
        for (const std::string& name : names)
            std::ofstream(Folder / name).put('\0');
    }

    // Another program has the device, the way the serial port itself takes it.
    void Hold(const std::string& name)
    {
        const int fd = ::open(Device(name).c_str(), O_RDWR);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
        Held.push_back(fd);
    }

    Com_Port_Search Search(std::vector<std::string> prefixes = {"ttyS", "ttyUSB", "ttyACM"}) const
    {
        return {Folder.string(), std::move(prefixes)};
    }

    std::vector<std::string> Devices(const std::vector<std::string>& names) const
    {
        std::vector<std::string> paths;
        for (const std::string& name : names)
            paths.push_back(Device(name));
        return paths;
    }
};

TEST_F(Com_Ports_Test, PrefixByPrefixAndNumbersAscending)
{
    Make({"ttyS10", "ttyACM0", "ttyS2", "ttyUSB1", "ttyS0", "ttyUSB0", "ttyS1"});
    // Names that only look like devices.
    Make({"ttyS", "ttyUSBx", "ttyS1a", "ttys3", "xttyS4", "console", "ttyS-1"});

    EXPECT_EQ(Available_Com_Ports(Search()),
        Devices({"ttyS0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyACM0"}));
    EXPECT_EQ(Available_Com_Ports(Search({"ttyACM", "ttyUSB"})), Devices({"ttyACM0", "ttyUSB0", "ttyUSB1"}));
}

TEST_F(Com_Ports_Test, PortsThatCannotBeOpenedAreLeftOut)
{
    Make({"ttyS0", "ttyS2", "ttyS5"});
    fs::create_symlink(Folder / "gone", Folder / "ttyS1");
    fs::create_directory(Folder / "ttyS3");
    Hold("ttyS2");

    EXPECT_EQ(Available_Com_Ports(Search()), Devices({"ttyS0", "ttyS5"}));
}

TEST_F(Com_Ports_Test, PseudoTerminalIsListedUntilTheSerialPortTakesIt)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
    Held.insert(Held.end(), {master, slave});
    fs::create_symlink(::ptsname(master), Folder / "ttyUSB0");

    EXPECT_EQ(Available_Com_Ports(Search()), Devices({"ttyUSB0"}));

    Comm_Port port;
    port.Set_Port_Name(Device("ttyUSB0"));
    port.Open();
    EXPECT_TRUE(Available_Com_Ports(Search()).empty());
    port.Close();
    EXPECT_EQ(Available_Com_Ports(Search()), Devices({"ttyUSB0"}));
}

TEST_F(Com_Ports_Test, ExtraDevicesFollowTheNumberedOnesWhenTheyOpen)
{
    Make({"ttyS0", "pair0", "pair1", "pair2"});
    fs::create_symlink(Folder / "gone", Folder / "pair3");
    Hold("pair2");
    Com_Port_Search search = Search();
    search.Extra_Devices = Devices({"pair1", "missing", "pair0", "pair2", "pair3"});

    EXPECT_EQ(Available_Com_Ports(search), Devices({"ttyS0", "pair1", "pair0"}));
}

TEST_F(Com_Ports_Test, MissingFolderListsNothing)
{
    EXPECT_TRUE(Available_Com_Ports({(Folder / "none").string(), {"ttyS"}}).empty());
}

// Five ports, the second held by another program, the fourth chosen: it is listed third.
TEST_F(Com_Ports_Test, ChosenPortIsSelected)
{
    Make({"ttyS1", "ttyS2", "ttyS3", "ttyS4", "ttyS5"});
    Hold("ttyS2");
    Settings_Record settings {};
    ASSERT_TRUE(Set_Com_Port_Name(settings, Device("ttyS4")));

    const Com_Port_List list = Rebuild_Com_Port_List(settings, Search());
    EXPECT_EQ(list.Names, Devices({"ttyS1", "ttyS3", "ttyS4", "ttyS5"}));
    EXPECT_EQ(list.Selected, 2);
    EXPECT_EQ(Com_Port_Name(settings), Device("ttyS4"));
}

TEST_F(Com_Ports_Test, EmptyNameTakesTheFirstPortThatOpens)
{
    Make({"ttyS1", "ttyS2", "ttyS3"});
    Hold("ttyS1");
    Settings_Record settings {};

    const Com_Port_List list = Rebuild_Com_Port_List(settings, Search());
    EXPECT_EQ(list.Names, Devices({"ttyS2", "ttyS3"}));
    EXPECT_EQ(list.Selected, 0);
    EXPECT_EQ(Com_Port_Name(settings), Device("ttyS2"));
}

// A chosen port that is gone or busy selects nothing, and the choice is kept for when it returns.
TEST_F(Com_Ports_Test, UnlistedChoiceSelectsNothingAndIsKept)
{
    Make({"ttyS1", "ttyS2"});
    Hold("ttyS2");
    Settings_Record settings {};
    ASSERT_TRUE(Set_Com_Port_Name(settings, Device("ttyS2")));

    const Com_Port_List list = Rebuild_Com_Port_List(settings, Search());
    EXPECT_EQ(list.Names, Devices({"ttyS1"}));
    EXPECT_EQ(list.Selected, 1);
    EXPECT_EQ(Com_Port_Name(settings), Device("ttyS2"));
}

TEST(Com_Ports_Choice_Test, ShortNamesLiveInComNr)
{
    Settings_Record settings {};
    const Com_Port_List first = Choose_Com_Port({"COM1", "COM3", "COM4", "COM5"}, settings);
    EXPECT_EQ(first.Selected, 0);
    EXPECT_EQ(std::memcmp(settings.COM_Nr, "COM1\0\0", sizeof settings.COM_Nr), 0);

    ASSERT_TRUE(Set_Com_Port_Name(settings, "COM4"));
    const Com_Port_List chosen = Choose_Com_Port({"COM1", "COM3", "COM4", "COM5"}, settings);
    EXPECT_EQ(chosen.Selected, 2);
    EXPECT_EQ(Com_Port_Name(settings), "COM4");
}

TEST(Com_Ports_Choice_Test, NoPortsLeaveTheNameEmpty)
{
    Settings_Record settings {};
    const Com_Port_List list = Choose_Com_Port({}, settings);
    EXPECT_TRUE(list.Names.empty());
    EXPECT_EQ(list.Selected, 0);
    EXPECT_EQ(Com_Port_Name(settings), "");
}

} // namespace

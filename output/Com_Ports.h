#pragma once

#include <string>
#include <vector>

struct Settings_Record;

// Where serial ports are looked for. POSIX: the device folder and the name prefixes of the
// candidate devices, each followed by a decimal number (/dev + ttyUSB -> /dev/ttyUSB0 ...).
// Windows: the prefix is "COM", numbered 1 to 64, and the folder is the device namespace "\\.\".
// Tests point the folder at a temporary directory of fake devices. Extra_Devices are offered after
// the numbered ones, by their full names, when they exist and can be opened: the linked virtual
// port pair, whose place the application shell decides.
struct Com_Port_Search
{
    std::string Device_Folder;
    std::vector<std::string> Name_Prefixes;
    std::vector<std::string> Extra_Devices {};
};

Com_Port_Search Default_Com_Port_Search();

// The ports that exist and can be opened right now, in a stable order: prefix by prefix as listed,
// numbers ascending. A port that exists but is held by another program is left out. Each is opened
// exclusively for a moment and closed again. The names are what the settings store and what
// Com_Port_Device_Path turns into the device to open: "COM3" on Windows, "/dev/ttyUSB0" on POSIX.
std::vector<std::string> Available_Com_Ports(const Com_Port_Search& search = Default_Com_Port_Search());

// The device path the serial port opens for a port name: "\\.\COM3" on Windows, the name itself
// on POSIX.
std::string Com_Port_Device_Path(const std::string& port_name);

// The port list as the serial page shows it, with the entry to select. Selected equals the number
// of names when the chosen port is not among them: then no entry is selected.
struct Com_Port_List
{
    std::vector<std::string> Names;
    int Selected = 0;
};

// Picks the chosen port (Com_Port_Name of the settings) out of the available ones. When no port is
// chosen yet, the first available one becomes the chosen port and is stored in the settings; that
// is the only change this makes to them.
Com_Port_List Choose_Com_Port(std::vector<std::string> available, Settings_Record& settings);

// Rebuilding the list when the serial page is shown: Available_Com_Ports, then Choose_Com_Port.
Com_Port_List Rebuild_Com_Port_List(
    Settings_Record& settings, const Com_Port_Search& search = Default_Com_Port_Search());

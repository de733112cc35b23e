#include "output/Com_Ports.h"

#include <windows.h>

// COM1 to COM64, as the system names them in its device namespace.

namespace {

constexpr int Highest_Com_Number = 64;

bool Device_Exists(const std::string& name)
{
    char target[256];
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

// Exclusive, as the serial port opens it: a port another program holds fails here.
bool Can_Open(const std::string& path)
{
    const HANDLE device
        = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(device);
    return true;
}

} // namespace

Com_Port_Search Default_Com_Port_Search()
{
    return {"\\\\.\\", {"COM"}};
}

std::vector<std::string> Available_Com_Ports(const Com_Port_Search& search)
{
    std::vector<std::string> ports;
    for (const std::string& prefix : search.Name_Prefixes) {
        for (int number = 1; number <= Highest_Com_Number; ++number) {
            const std::string name = prefix + std::to_string(number);
            if (Device_Exists(name) && Can_Open(search.Device_Folder + name))
                ports.push_back(name);
        }
    }
    for (const std::string& name : search.Extra_Devices) {
        if (Device_Exists(name) && Can_Open(search.Device_Folder + name))
            ports.push_back(name);
    }
    return ports;
}

std::string Com_Port_Device_Path(const std::string& port_name)
{
    return "\\\\.\\" + port_name;
}

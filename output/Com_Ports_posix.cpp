#include "output/Com_Ports.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Serial devices of the common Linux drivers: on-board and PCI UARTs, USB adapters, USB modems.

namespace {

// The number after the prefix, when the rest of the name is nothing but decimal digits.
bool Device_Number(const std::string& name, const std::string& prefix, unsigned long& number)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, failed] = std::from_chars(first, last, number);
    return failed == std::errc {} && end == last;
}

// The test the serial port itself would make: it takes the device with an exclusive flock, so a
// device another program holds that way is left out; a missing driver makes the open fail (EIO).
bool Can_Open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace

Com_Port_Search Default_Com_Port_Search()
{
    return {"/dev", {"ttyS", "ttyUSB", "ttyACM"}};
}

std::vector<std::string> Available_Com_Ports(const Com_Port_Search& search)
{
    namespace fs = std::filesystem;
    std::vector<std::string> ports;
    for (const std::string& prefix : search.Name_Prefixes) {
        std::vector<std::pair<unsigned long, std::string>> numbered;
        std::error_code failed;
        for (fs::directory_iterator entry(search.Device_Folder, failed), end; !failed && entry != end;
             entry.increment(failed)) {
            const std::string name = entry->path().filename().string();
            unsigned long number = 0;
            if (Device_Number(name, prefix, number))
                numbered.emplace_back(number, entry->path().string());
        }
        std::sort(numbered.begin(), numbered.end());
        for (auto& [number, path] : numbered) {
            if (Can_Open(path))
                ports.push_back(std::move(path));
        }
    }
    for (const std::string& path : search.Extra_Devices) {
        if (Can_Open(path))
            ports.push_back(path);
    }
    return ports;
}

std::string Com_Port_Device_Path(const std::string& port_name)
{
    return port_name;
}

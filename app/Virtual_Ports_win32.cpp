#include "app/Virtual_Ports.h"

#include <windows.h>

#include <shellapi.h>

namespace {

class Windows_Null_Modem_System : public Null_Modem_System
{
public:
    std::optional<std::string> Device_Path(const std::string& port_name) override
    {
        char target[256];
        if (QueryDosDeviceA(port_name.c_str(), target, sizeof target) == 0)
            return std::nullopt;
        // The answer is a list of NUL-terminated paths; the first names the device.
        target[sizeof target - 1] = '\0';
        return std::string(target);
    }

    bool File_Exists(const std::string& path) override
    {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    int Native_Architecture() override
    {
        SYSTEM_INFO info {};
        GetNativeSystemInfo(&info);
        return info.wProcessorArchitecture;
    }

    std::string Executable_Folder() override
    {
        // Room for the longest path the system can name, so a long folder is seen whole and the
        // installer's own bound refuses it rather than a cut path being started.
        std::string path(32768, '\0');
        const DWORD size = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        path.resize(size);
        return path.substr(0, path.rfind('\\') + 1);
    }

    bool Open(const std::string& path) override
    {
        const HINSTANCE result
            = ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }
};

} // namespace

Virtual_Ports_Outcome Run_Virtual_Ports_Tool()
{
    Windows_Null_Modem_System system;
    return Run_Null_Modem_Tool(system);
}

std::vector<std::string> Virtual_Port_Pair_Ends()
{
    return {};
}

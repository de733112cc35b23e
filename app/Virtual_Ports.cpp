#include "app/Virtual_Ports.h"

#include "base/Settings_File.h"

namespace {

constexpr int Highest_Probed_Com_Number = 63;
constexpr const char* Null_Modem_Marker = "com0com";
constexpr const char* Null_Modem_Tool_Paths[] = {
    "c:\\Program Files\\com0com\\setupg.exe",
    "c:\\Program Files (x86)\\com0com\\setupg.exe",
};
constexpr int Architecture_IA64 = 6;
constexpr int Architecture_AMD64 = 9;
constexpr int Architecture_ARM64 = 12;

constexpr const char* Pair_Name_0 = "velmor-vcom0";
constexpr const char* Pair_Name_1 = "velmor-vcom1";

// socat splits its addresses at these and reads quotes and escapes; a folder holding any of them
// would need quoting that differs between socat versions, so such a folder is not used.
bool Plain_For_Socat(const std::string& folder)
{
    return folder.find_first_of(",:!\\\"'()[]{} \t\n") == std::string::npos;
}

std::optional<Virtual_Port_Pair> Pair_In(std::string folder)
{
    if (folder.empty() || folder.front() != '/' || !Plain_For_Socat(folder))
        return std::nullopt;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.back() != '/')
        folder += '/';
    Virtual_Port_Pair pair {folder + Pair_Name_0, folder + Pair_Name_1};
    if (pair.End_0.size() > Com_Path_Max_Length || pair.End_1.size() > Com_Path_Max_Length)
        return std::nullopt;
    return pair;
}

} // namespace

bool Null_Modem_Driver_Present(Null_Modem_System& system)
{
    for (int number = 1; number <= Highest_Probed_Com_Number; ++number) {
        const auto path = system.Device_Path("COM" + std::to_string(number));
        if (path && path->find(Null_Modem_Marker) != std::string::npos)
            return true;
    }
    return false;
}

std::optional<std::string> Null_Modem_Tool(Null_Modem_System& system)
{
    for (const char* path : Null_Modem_Tool_Paths) {
        if (system.File_Exists(path))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> Null_Modem_Installer(const std::string& folder, int architecture)
{
    const bool wide = architecture == Architecture_IA64 || architecture == Architecture_AMD64
        || architecture == Architecture_ARM64;
    std::string path = folder + (wide ? "setup_com0com_x64.exe" : "setup_com0com_x86.exe");
    if (path.size() >= Installer_Path_Size)
        return std::nullopt;
    return path;
}

Virtual_Ports_Outcome Run_Null_Modem_Tool(Null_Modem_System& system)
{
    const bool driver_present = Null_Modem_Driver_Present(system);
    if (const auto tool = Null_Modem_Tool(system)) {
        // A tool that will not start is not reported: the operator sees nothing open and can retry.
        system.Open(*tool);
        return {};
    }
    if (driver_present)
        return {Tool_Not_Found_Text, {}};

    const auto installer = Null_Modem_Installer(system.Executable_Folder(), system.Native_Architecture());
    if (!installer || !system.Open(*installer))
        return {Tool_Start_Failed_Text, {}};
    return {{}, "Installing: " + *installer};
}

std::optional<Virtual_Port_Pair> Virtual_Port_Pair_Paths(
    const std::string& runtime_folder, const std::string& temporary_folder)
{
    if (auto pair = Pair_In(runtime_folder))
        return pair;
    return Pair_In(temporary_folder);
}

std::vector<std::string> Port_Pair_Arguments(const Virtual_Port_Pair& pair)
{
    return {"PTY,link=" + pair.End_0 + ",raw,echo=0", "PTY,link=" + pair.End_1 + ",raw,echo=0"};
}

Virtual_Ports_Outcome Run_Port_Pair_Tool(Port_Pair_System& system)
{
    const std::string socat = system.Find_Program("socat");
    if (socat.empty())
        return {Tool_Not_Found_Text, {}};

    const auto pair = Virtual_Port_Pair_Paths(system.Runtime_Folder(), system.Temporary_Folder());
    if (!pair)
        return {Tool_Start_Failed_Text, {}};
    // One pair per user: a second click while it lives must not start a socat that fights over the
    // link names.
    if (system.Pair_Running(*pair))
        return {};

    system.Remove_Stale_Ends(*pair);
    const long process_id = system.Start_Detached(socat, Port_Pair_Arguments(*pair));
    if (process_id <= 0 || !system.Wait_For_Pair(*pair, process_id))
        return {Tool_Start_Failed_Text, {}};
    return {{}, "Virtual serial ports: " + pair->End_0 + " <-> " + pair->End_1};
}

#pragma once

// The menu item "Virtual Serial Ports": a pair of linked serial ports without hardware, for
// automation software that runs on the same computer. On Windows a null-modem driver provides the
// pair and the program only starts its configuration tool or its installer; elsewhere the program
// starts socat, which links two pseudo-terminals. Which branch, which message and which path are
// decided here, over a small system interface that tests replace with a fake.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the handler shows: a warning box for the operator and a normal log line, either may be empty.
struct Virtual_Ports_Outcome
{
    std::string Warning;
    std::string Log_Line;
};

inline constexpr const char* Tool_Not_Found_Text = "Configuration tool not found";
inline constexpr const char* Tool_Start_Failed_Text = "Inst file open error";

// ---- Windows: the null-modem driver's tool or installer ----

// The shell path handed to the launcher is a narrow string of at most 256 bytes, terminator included.
inline constexpr std::size_t Installer_Path_Size = 256;

class Null_Modem_System
{
public:
    virtual ~Null_Modem_System() = default;
    // The device path the system names for a port name ("COM5"), or nothing when it names none.
    virtual std::optional<std::string> Device_Path(const std::string& port_name) = 0;
    virtual bool File_Exists(const std::string& path) = 0;
    // The native processor architecture as the system numbers it (9 x64, 12 ARM64, 6 IA-64).
    virtual int Native_Architecture() = 0;
    // The folder of the program's executable file, with its trailing separator.
    virtual std::string Executable_Folder() = 0;
    // Opens the file with the shell without waiting for it; false when the shell refuses.
    virtual bool Open(const std::string& path) = 0;
};

// True when one of COM1 to COM63 is a port of the driver.
bool Null_Modem_Driver_Present(Null_Modem_System& system);
// The configuration tool of the first location that holds one.
std::optional<std::string> Null_Modem_Tool(Null_Modem_System& system);
// The installer for the architecture in `folder`; nothing when the path would not fit its 256 bytes.
std::optional<std::string> Null_Modem_Installer(const std::string& folder, int architecture);
Virtual_Ports_Outcome Run_Null_Modem_Tool(Null_Modem_System& system);

// ---- POSIX: a linked pseudo-terminal pair made by socat ----

struct Virtual_Port_Pair
{
    std::string End_0; // "<folder>/velmor-vcom0"
    std::string End_1; // "<folder>/velmor-vcom1"
};

// The pair's ends in the runtime folder, else in the temporary folder: the first folder whose ends
// fit the settings' port name (63 bytes) and that socat's address syntax takes as it is. Nothing
// when neither does.
std::optional<Virtual_Port_Pair> Virtual_Port_Pair_Paths(
    const std::string& runtime_folder, const std::string& temporary_folder);

// socat's two addresses for the pair: raw lines without echo, each end a stable link name.
std::vector<std::string> Port_Pair_Arguments(const Virtual_Port_Pair& pair);

class Port_Pair_System
{
public:
    virtual ~Port_Pair_System() = default;
    // The program's full path as found on PATH, or empty.
    virtual std::string Find_Program(const std::string& name) = 0;
    virtual std::string Runtime_Folder() = 0; // $XDG_RUNTIME_DIR, empty when unset
    virtual std::string Temporary_Folder() = 0;
    // True when both ends exist and the socat that made them still runs.
    virtual bool Pair_Running(const Virtual_Port_Pair& pair) = 0;
    // Links left behind by a socat that is gone, so a new one can take the names.
    virtual void Remove_Stale_Ends(const Virtual_Port_Pair& pair) = 0;
    // Starts the program detached from this one, in a session of its own, not waited for; its
    // process id, or 0 when it could not be started.
    virtual long Start_Detached(const std::string& program, const std::vector<std::string>& arguments) = 0;
    // Waits a bounded time for both ends; false when the started program ended without making them.
    virtual bool Wait_For_Pair(const Virtual_Port_Pair& pair, long process_id) = 0;
};

Virtual_Ports_Outcome Run_Port_Pair_Tool(Port_Pair_System& system);

// ---- This platform ----

// The handler's work with the real system; the caller shows the outcome and refreshes the port list.
Virtual_Ports_Outcome Run_Virtual_Ports_Tool();
// The pair's ends for the serial port list: those that exist and belong to this user; empty where
// the pair is the driver's own COM ports.
std::vector<std::string> Virtual_Port_Pair_Ends();

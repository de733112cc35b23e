#include "app/Virtual_Ports.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// socat makes its links within milliseconds; the bound only matters on a machine under load.
constexpr auto Pair_Wait = std::chrono::milliseconds(3000);
constexpr auto Pair_Poll = std::chrono::milliseconds(10);

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool Is_Character_Device(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// A tool that ended stays a zombie until the system's first process reaps it, which some
// containers do late: such a process no longer counts as running.
bool Process_Running(long process_id)
{
    std::ifstream file("/proc/" + std::to_string(process_id) + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM;
    const std::size_t name_end = line.rfind(')');
    return name_end != std::string::npos && name_end + 2 < line.size() && line[name_end + 2] != 'Z'
        && line[name_end + 2] != 'X';
}

// The arguments of a running process, as it was started.
std::vector<std::string> Process_Arguments(const fs::path& process_folder)
{
    std::ifstream file(process_folder / "cmdline", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\0', start);
        arguments.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return arguments;
}

// A socat of ours is recognised by its first address, which names the pair's first end.
bool Pair_Socat_Runs(const Virtual_Port_Pair& pair)
{
    const std::string first_address = Port_Pair_Arguments(pair).front();
    std::error_code failed;
    for (fs::directory_iterator entry("/proc", failed), end; !failed && entry != end;
         entry.increment(failed)) {
        const std::string name = entry->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // Only the user's own: in a shared temporary folder another user's pair must not receive
        // this user's reports.
        struct stat owner
        {
        };
        if (::stat(entry->path().c_str(), &owner) != 0 || owner.st_uid != ::geteuid())
            continue;
        const auto arguments = Process_Arguments(entry->path());
        if (arguments.size() >= 2 && fs::path(arguments[0]).filename() == "socat"
            && std::find(arguments.begin() + 1, arguments.end(), first_address) != arguments.end())
            return true;
    }
    return false;
}

class Posix_Port_Pair_System : public Port_Pair_System
{
public:
    std::string Find_Program(const std::string& name) override
    {
        const std::string search = Environment("PATH");
        for (std::size_t start = 0; start <= search.size();) {
            std::size_t end = search.find(':', start);
            if (end == std::string::npos)
                end = search.size();
            const std::string folder = search.substr(start, end - start);
            if (!folder.empty()) {
                const std::string path = folder + "/" + name;
                struct stat info
                {
                };
                if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)
                    && ::access(path.c_str(), X_OK) == 0)
                    return path;
            }
            start = end + 1;
        }
        return {};
    }

    std::string Runtime_Folder() override { return Environment("XDG_RUNTIME_DIR"); }

    std::string Temporary_Folder() override
    {
        const std::string temp = Environment("TMPDIR");
        return temp.empty() ? "/tmp" : temp;
    }

    bool Pair_Running(const Virtual_Port_Pair& pair) override
    {
        return Is_Character_Device(pair.End_0) && Is_Character_Device(pair.End_1) && Pair_Socat_Runs(pair);
    }

    void Remove_Stale_Ends(const Virtual_Port_Pair& pair) override
    {
        // Only links: a file or device of someone else under that name is left alone, and socat's
        // failure to take the name is then reported.
        for (const std::string& end : {pair.End_0, pair.End_1}) {
            std::error_code failed;
            if (fs::is_symlink(fs::symlink_status(end, failed)))
                fs::remove(end, failed);
        }
    }

    long Start_Detached(const std::string& program, const std::vector<std::string>& arguments) override;

    bool Wait_For_Pair(const Virtual_Port_Pair& pair, long process_id) override
    {
        const auto deadline = std::chrono::steady_clock::now() + Pair_Wait;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Is_Character_Device(pair.End_0) && Is_Character_Device(pair.End_1))
                return true;
            if (!Process_Running(process_id))
                return false;
            std::this_thread::sleep_for(Pair_Poll);
        }
        // Still running but slow: it was started, and the ends show up at the next list refresh.
        return Process_Running(process_id);
    }
};

// Fork twice so the tool is nobody's child: it outlives the program, leaves no zombie behind and
// sits in a session of its own, away from the program's terminal signals. It inherits none of the
// program's descriptors (the single-instance lock above all, which would otherwise keep the next
// start of the program from running). Only async-signal-safe calls between fork and exec.
long Posix_Port_Pair_System::Start_Detached(
    const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const int null_device = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    int report[2];
    if (null_device < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
        if (null_device >= 0)
            ::close(null_device);
        return 0;
    }

    const pid_t middle = ::fork();
    if (middle == 0) {
        ::setsid();
        const pid_t tool = ::fork();
        if (tool != 0) {
            [[maybe_unused]] const ssize_t sent = ::write(report[1], &tool, sizeof tool);
            ::_exit(0);
        }
        ::dup2(null_device, 0);
        ::dup2(null_device, 1);
        ::dup2(null_device, 2);
        if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (int fd = 3; fd < 1024; ++fd)
                ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        ::execv(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t sent = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(null_device);
    ::close(report[1]);
    if (middle < 0) {
        ::close(report[0]);
        return 0;
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) { }

    // The tool's id from the middle process, then an exec error from the tool, or end of file once
    // its exec closed the pipe.
    pid_t tool = 0;
    int error = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &tool, sizeof tool)) < 0 && errno == EINTR) { }
    const bool have_id = got == sizeof tool && tool > 0;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) { }
    ::close(report[0]);
    return have_id && got == 0 ? static_cast<long>(tool) : 0;
}

} // namespace

Virtual_Ports_Outcome Run_Virtual_Ports_Tool()
{
    Posix_Port_Pair_System system;
    return Run_Port_Pair_Tool(system);
}

std::vector<std::string> Virtual_Port_Pair_Ends()
{
    Posix_Port_Pair_System system;
    const auto pair = Virtual_Port_Pair_Paths(system.Runtime_Folder(), system.Temporary_Folder());
    if (!pair)
        return {};
    std::vector<std::string> ends;
    for (const std::string& end : {pair->End_0, pair->End_1}) {
        struct stat link
        {
        };
        if (::lstat(end.c_str(), &link) == 0 && link.st_uid == ::geteuid())
            ends.push_back(end);
    }
    return ends;
}

#include "tests/support/Automation_Pty.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

bool Open_Pseudo_Terminal_Pair(Pseudo_Terminal& pair)
{
    char name[PATH_MAX] = {};
    if (::openpty(&pair.master, &pair.slave, name, nullptr, nullptr) != 0)
        return false;
    // Until the program configures its end, the line must not echo our answers back to us.
    termios state {};
    if (::tcgetattr(pair.slave, &state) == 0) {
        cfmakeraw(&state);
        ::tcsetattr(pair.slave, TCSANOW, &state);
    }
    ::fcntl(pair.master, F_SETFL, ::fcntl(pair.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(pair.master, F_SETFD, FD_CLOEXEC);
    // The program under test is a child process: it must not inherit our end of the slave.
    ::fcntl(pair.slave, F_SETFD, FD_CLOEXEC);
    pair.slave_path = name;
    return true;
}

bool Open_Serial_Device(const std::string& path, Pseudo_Terminal& line)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios state {};
    if (::tcgetattr(fd, &state) == 0) {
        cfmakeraw(&state);
        ::tcsetattr(fd, TCSANOW, &state);
    }
    line.master = fd;
    line.slave_path = path;
    return true;
}

long Read_Pseudo_Terminal(int master, char* buffer, std::size_t size)
{
    const ssize_t got = ::read(master, buffer, size);
    if (got >= 0)
        return static_cast<long>(got);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

bool Write_Pseudo_Terminal(int master, std::string_view bytes)
{
    std::size_t written = 0;
    for (int attempt = 0; written < bytes.size() && attempt < 100; ++attempt) {
        const ssize_t done = ::write(master, bytes.data() + written, bytes.size() - written);
        if (done > 0) {
            written += static_cast<std::size_t>(done);
        } else if (done < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd waiting {master, POLLOUT, 0};
            ::poll(&waiting, 1, 10);
        }
    }
    return written == bytes.size();
}

void Close_Pseudo_Terminal(Pseudo_Terminal& pair)
{
    if (pair.master >= 0)
        ::close(pair.master);
    if (pair.slave >= 0)
        ::close(pair.slave);
    pair = {};
}

#include "output/Line_Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "output/Socket_Address_Text.h" // after the system's socket headers

namespace {

int Fd(std::intptr_t descriptor)
{
    return static_cast<int>(descriptor);
}

} // namespace

std::shared_ptr<Line_Socket> Line_Socket::Duplicate(std::intptr_t descriptor)
{
    // The duplicate shares the original's non-blocking mode, which is set again all the same.
    const int copy = ::fcntl(Fd(descriptor), F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return {};
    return Adopt(copy);
}

bool Line_Socket::Set_Non_Blocking(std::intptr_t descriptor)
{
    const int flags = ::fcntl(Fd(descriptor), F_GETFL);
    return flags >= 0 && ::fcntl(Fd(descriptor), F_SETFL, flags | O_NONBLOCK) == 0;
}

void Line_Socket::Close(std::intptr_t descriptor)
{
    ::close(Fd(descriptor));
}

std::int64_t Line_Socket::Receive(char* buffer, std::size_t size, bool peek, int& error) const
{
    for (;;) {
        const ssize_t got = ::recv(Fd(descriptor), buffer, size, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Would_Block;
        // A reset is the other side's goodbye, not a fault.
        error = errno == ECONNRESET || errno == ECONNABORTED || errno == EPIPE ? 0 : errno;
        return Gone;
    }
}

std::int64_t Line_Socket::Send_Some(const char* data, std::size_t size) const
{
    for (;;) {
        // No SIGPIPE for a closed peer: the line then goes unanswered.
        const ssize_t sent = ::send(Fd(descriptor), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0)
            return sent;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Would_Block : Gone;
    }
}

bool Line_Socket::Wait_Ready(bool for_writing, std::chrono::milliseconds limit) const
{
    pollfd wanted {Fd(descriptor), static_cast<short>(for_writing ? POLLOUT : POLLIN), 0};
    return ::poll(&wanted, 1, static_cast<int>(limit.count())) >= 0 || errno == EINTR;
}

std::string Line_Socket::Peer_Text() const
{
    sockaddr_storage address {};
    socklen_t size = sizeof address;
    if (::getpeername(Fd(descriptor), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return "unknown";
    return Socket_Address_Text(address);
}

#include "receiver/Receiver_Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace receiver_socket {

namespace {

int Fd(std::intptr_t descriptor)
{
    return static_cast<int>(descriptor);
}

std::int64_t Outcome(ssize_t done)
{
    if (done >= 0)
        return done;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return Would_Block;
    if (errno == ECONNRESET || errno == EPIPE || errno == ECONNABORTED || errno == ETIMEDOUT)
        return Peer_Gone;
    return Failed;
}

} // namespace

bool Prepare(std::intptr_t descriptor)
{
    const int flags = ::fcntl(Fd(descriptor), F_GETFL);
    return flags >= 0 && ::fcntl(Fd(descriptor), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool Peer(std::intptr_t descriptor, std::string& address, std::uint16_t& port)
{
    sockaddr_storage storage {};
    socklen_t length = sizeof storage;
    if (::getpeername(Fd(descriptor), reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return false;
    char text[INET6_ADDRSTRLEN] = {};
    if (storage.ss_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(&storage);
        ::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
        port = ntohs(ipv4->sin_port);
    } else if (storage.ss_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        ::inet_ntop(AF_INET6, &ipv6->sin6_addr, text, sizeof text);
        port = ntohs(ipv6->sin6_port);
    } else {
        return false;
    }
    address = text;
    return true;
}

std::int64_t Receive(std::intptr_t descriptor, char* buffer, std::size_t size)
{
    return Outcome(::recv(Fd(descriptor), buffer, size, 0));
}

std::int64_t Send(std::intptr_t descriptor, const char* bytes, std::size_t size)
{
    // MSG_NOSIGNAL: a peer that went away must not end the program with SIGPIPE.
    return Outcome(::send(Fd(descriptor), bytes, size, MSG_NOSIGNAL));
}

void Close(std::intptr_t descriptor)
{
    ::close(Fd(descriptor));
}

int Last_Error()
{
    return errno;
}

bool Descriptors_Low(std::intptr_t open)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    // The system hands out the lowest free number, so a copy numbered near the limit means the
    // numbers below it are taken.
    const int saved_errno = errno;
    const int copy = ::fcntl(Fd(open), F_DUPFD_CLOEXEC, 0);
    if (copy >= 0)
        ::close(copy);
    errno = saved_errno;
    return copy < 0 || static_cast<rlim_t>(copy) + Descriptor_Reserve >= limit.rlim_cur;
}

std::int64_t Descriptor_Alarm()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY
        || limit.rlim_cur > static_cast<rlim_t>(INT64_MAX))
        return INT64_MAX;
    return static_cast<std::int64_t>(limit.rlim_cur) - Descriptor_Reserve;
}

void Allow_Descriptors(int wanted)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t needed = static_cast<rlim_t>(wanted) + 256;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > needed ? needed : limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace receiver_socket

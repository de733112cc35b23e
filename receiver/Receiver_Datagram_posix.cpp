#include "receiver/Receiver_Datagram.h"

#include "receiver/Receiver_Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace receiver_datagram {

namespace {

// Room for a burst of datagrams while the window thread is busy; the system caps it.
constexpr int Receive_Buffer_Bytes = 4 * 1024 * 1024;

std::int64_t Outcome(ssize_t done)
{
    if (done >= 0)
        return done;
    // A refusal the system reports for an earlier reply's peer is no fault of this socket.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED)
        return receiver_socket::Would_Block;
    return receiver_socket::Failed;
}

} // namespace

std::intptr_t Open(std::uint16_t port, int& error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &Receive_Buffer_Bytes, sizeof Receive_Buffer_Bytes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::int64_t Receive(std::intptr_t socket, char* buffer, std::size_t size, Sender& from)
{
    socklen_t length = sizeof from.Address;
    const ssize_t done = ::recvfrom(
        static_cast<int>(socket), buffer, size, 0, reinterpret_cast<sockaddr*>(from.Address), &length);
    from.Length = length;
    return Outcome(done);
}

std::int64_t Send(std::intptr_t socket, const char* bytes, std::size_t size, const Sender& to)
{
    return Outcome(::sendto(static_cast<int>(socket), bytes, size, MSG_NOSIGNAL,
        reinterpret_cast<const sockaddr*>(to.Address), static_cast<socklen_t>(to.Length)));
}

bool Text(const Sender& sender, char (&address)[46], std::uint8_t& length, std::uint16_t& port)
{
    const auto* any = reinterpret_cast<const sockaddr*>(sender.Address);
    const char* written = nullptr;
    if (any->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(sender.Address);
        written = ::inet_ntop(AF_INET, &ipv4->sin_addr, address, sizeof address);
        port = ntohs(ipv4->sin_port);
    } else if (any->sa_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(sender.Address);
        written = ::inet_ntop(AF_INET6, &ipv6->sin6_addr, address, sizeof address);
        port = ntohs(ipv6->sin6_port);
    }
    if (written == nullptr)
        return false;
    length = static_cast<std::uint8_t>(::strnlen(address, sizeof address));
    return true;
}

void Close(std::intptr_t socket)
{
    ::close(static_cast<int>(socket));
}

} // namespace receiver_datagram

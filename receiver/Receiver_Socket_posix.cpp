#include "receiver/Receiver_Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
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

} // namespace receiver_socket

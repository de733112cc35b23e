#include "receiver/Receiver_Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace receiver_socket {

namespace {

SOCKET To_Socket(std::intptr_t descriptor)
{
    return static_cast<SOCKET>(descriptor);
}

std::int64_t Outcome(int done)
{
    if (done != SOCKET_ERROR)
        return done;
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR)
        return Would_Block;
    if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN || error == WSAETIMEDOUT)
        return Peer_Gone;
    return Failed;
}

int Chunk(std::size_t size)
{
    return size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
}

} // namespace

bool Prepare(std::intptr_t descriptor)
{
    u_long non_blocking = 1;
    return ioctlsocket(To_Socket(descriptor), FIONBIO, &non_blocking) == 0;
}

bool Peer(std::intptr_t descriptor, std::string& address, std::uint16_t& port)
{
    sockaddr_storage storage {};
    int length = sizeof storage;
    if (getpeername(To_Socket(descriptor), reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return false;
    char text[INET6_ADDRSTRLEN] = {};
    if (storage.ss_family == AF_INET) {
        auto* ipv4 = reinterpret_cast<sockaddr_in*>(&storage);
        inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
        port = ntohs(ipv4->sin_port);
    } else if (storage.ss_family == AF_INET6) {
        auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&storage);
        inet_ntop(AF_INET6, &ipv6->sin6_addr, text, sizeof text);
        port = ntohs(ipv6->sin6_port);
    } else {
        return false;
    }
    address = text;
    return true;
}

std::int64_t Receive(std::intptr_t descriptor, char* buffer, std::size_t size)
{
    return Outcome(recv(To_Socket(descriptor), buffer, Chunk(size), 0));
}

std::int64_t Send(std::intptr_t descriptor, const char* bytes, std::size_t size)
{
    return Outcome(send(To_Socket(descriptor), bytes, Chunk(size), 0));
}

void Close(std::intptr_t descriptor)
{
    closesocket(To_Socket(descriptor));
}

int Last_Error()
{
    return WSAGetLastError();
}

// Sockets are not numbered from a per-process table here; running out shows as a failed accept.
bool Descriptors_Low(std::intptr_t)
{
    return false;
}

std::int64_t Descriptor_Alarm()
{
    return INT64_MAX;
}

void Allow_Descriptors(int)
{ }

} // namespace receiver_socket

#include "receiver/Receiver_Datagram.h"

#include "receiver/Receiver_Socket.h"

#include <mstcpip.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

// Older SDK headers lack the name; the value is the documented one.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace receiver_datagram {

namespace {

constexpr int Receive_Buffer_Bytes = 4 * 1024 * 1024;

SOCKET To_Socket(std::intptr_t socket)
{
    return static_cast<SOCKET>(socket);
}

std::int64_t Outcome(int done)
{
    if (done != SOCKET_ERROR)
        return done;
    const int error = WSAGetLastError();
    // WSAEMSGSIZE: a datagram longer than the buffer, whose start was read; the parse refuses it.
    if (error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAECONNRESET)
        return receiver_socket::Would_Block;
    return receiver_socket::Failed;
}

int Chunk(std::size_t size)
{
    return size > 0x10000 ? 0x10000 : static_cast<int>(size);
}

} // namespace

std::intptr_t Open(std::uint16_t port, int& error)
{
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) {
        error = WSAGetLastError();
        return -1;
    }
    // Without this, an ICMP "port unreachable" for an earlier reply makes the next receive fail.
    BOOL report_resets = FALSE;
    DWORD returned = 0;
    WSAIoctl(socket, SIO_UDP_CONNRESET, &report_resets, sizeof report_resets, nullptr, 0, &returned, nullptr,
        nullptr);
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&Receive_Buffer_Bytes),
        sizeof Receive_Buffer_Bytes);
    u_long non_blocking = 1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (ioctlsocket(socket, FIONBIO, &non_blocking) != 0
        || bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = WSAGetLastError();
        closesocket(socket);
        return -1;
    }
    return static_cast<std::intptr_t>(socket);
}

std::int64_t Receive(std::intptr_t socket, char* buffer, std::size_t size, Sender& from)
{
    int length = sizeof from.Address;
    const int done = recvfrom(
        To_Socket(socket), buffer, Chunk(size), 0, reinterpret_cast<sockaddr*>(from.Address), &length);
    from.Length = static_cast<std::uint32_t>(length);
    return Outcome(done);
}

std::int64_t Send(std::intptr_t socket, const char* bytes, std::size_t size, const Sender& to)
{
    return Outcome(sendto(To_Socket(socket), bytes, Chunk(size), 0,
        reinterpret_cast<const sockaddr*>(to.Address), static_cast<int>(to.Length)));
}

bool Text(const Sender& sender, char (&address)[46], std::uint8_t& length, std::uint16_t& port)
{
    const auto* any = reinterpret_cast<const sockaddr*>(sender.Address);
    const char* written = nullptr;
    if (any->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(sender.Address);
        written = inet_ntop(AF_INET, &ipv4->sin_addr, address, sizeof address);
        port = ntohs(ipv4->sin_port);
    } else if (any->sa_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(sender.Address);
        written = inet_ntop(AF_INET6, &ipv6->sin6_addr, address, sizeof address);
        port = ntohs(ipv6->sin6_port);
    }
    if (written == nullptr)
        return false;
    length = static_cast<std::uint8_t>(strnlen(address, sizeof address));
    return true;
}

void Close(std::intptr_t socket)
{
    closesocket(To_Socket(socket));
}

} // namespace receiver_datagram

#include "output/Line_Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <climits>

#include "output/Socket_Address_Text.h" // after the system's socket headers

namespace {

SOCKET Handle(std::intptr_t descriptor)
{
    return static_cast<SOCKET>(descriptor);
}

int Chunk(std::size_t size)
{
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

} // namespace

std::shared_ptr<Line_Socket> Line_Socket::Duplicate(std::intptr_t descriptor)
{
    WSAPROTOCOL_INFOW info {};
    if (::WSADuplicateSocketW(Handle(descriptor), ::GetCurrentProcessId(), &info) != 0)
        return {};
    const SOCKET copy = ::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
        WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (copy == INVALID_SOCKET)
        return {};
    return Adopt(static_cast<std::intptr_t>(copy));
}

bool Line_Socket::Set_Non_Blocking(std::intptr_t descriptor)
{
    // An accepted socket inherits the listening socket's event selection, which would refuse the
    // mode change; nothing selects events on this one.
    ::WSAEventSelect(Handle(descriptor), nullptr, 0);
    u_long non_blocking = 1;
    return ::ioctlsocket(Handle(descriptor), FIONBIO, &non_blocking) == 0;
}

void Line_Socket::Close(std::intptr_t descriptor)
{
    ::closesocket(Handle(descriptor));
}

std::int64_t Line_Socket::Receive(char* buffer, std::size_t size, bool peek, int& error) const
{
    const int got = ::recv(Handle(descriptor), buffer, Chunk(size), peek ? MSG_PEEK : 0);
    if (got != SOCKET_ERROR)
        return got;
    const int code = ::WSAGetLastError();
    if (code == WSAEWOULDBLOCK || code == WSAEINTR)
        return Would_Block;
    // A reset is the other side's goodbye, not a fault.
    error = code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN ? 0 : code;
    return Gone;
}

std::int64_t Line_Socket::Send_Some(const char* data, std::size_t size) const
{
    const int sent = ::send(Handle(descriptor), data, Chunk(size), 0);
    if (sent != SOCKET_ERROR)
        return sent;
    const int code = ::WSAGetLastError();
    return code == WSAEWOULDBLOCK || code == WSAEINTR ? Would_Block : Gone;
}

bool Line_Socket::Wait_Ready(bool for_writing, std::chrono::milliseconds limit) const
{
    WSAPOLLFD wanted {Handle(descriptor), static_cast<SHORT>(for_writing ? POLLWRNORM : POLLRDNORM), 0};
    return ::WSAPoll(&wanted, 1, static_cast<INT>(limit.count())) != SOCKET_ERROR;
}

std::string Line_Socket::Peer_Text() const
{
    sockaddr_storage address {};
    int size = sizeof address;
    if (::getpeername(Handle(descriptor), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return "unknown";
    return Socket_Address_Text(address);
}

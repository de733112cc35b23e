#pragma once

#include <cstddef>
#include <cstdint>

// The UDP side of the receiver port, one file per OS: one bound, non-blocking socket on the
// receiver port number, each datagram read with its sender and answered to it. Results of a
// receive or send are those of receiver_socket (bytes, Would_Block, Failed).
namespace receiver_datagram {

// A sender's address as the system gives it; opaque outside the OS files.
struct Sender
{
    alignas(8) unsigned char Address[128];
    std::uint32_t Length = 0;
};

// Bound to every IPv4 address on `port`; -1 with the system's error code in `error` on failure.
std::intptr_t Open(std::uint16_t port, int& error);
std::int64_t Receive(std::intptr_t socket, char* buffer, std::size_t size, Sender& from);
std::int64_t Send(std::intptr_t socket, const char* bytes, std::size_t size, const Sender& to);
// The sender's dotted address text (NUL-free, at most 45 characters) and port; false for a family
// other than IPv4 or IPv6.
bool Text(const Sender& sender, char (&address)[46], std::uint8_t& length, std::uint16_t& port);
void Close(std::intptr_t socket);

} // namespace receiver_datagram

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The few calls the receiver port makes on an accepted connection, one file per OS. Descriptors
// are carried as integers so this header names no system type. The port reads and answers each
// connection itself: a message costs one receive and one send, with no buffering layer between.
namespace receiver_socket {

// Result of a receive or send: bytes moved, or one of these.
inline constexpr std::int64_t Would_Block = -1; // nothing to read, or no room to send, right now
inline constexpr std::int64_t Peer_Gone = -2; // reset or broken by the peer: a goodbye, not a fault
inline constexpr std::int64_t Failed = -3; // any other error; Last_Error() tells which

// Non-blocking mode; false when the system refused it.
bool Prepare(std::intptr_t descriptor);
// The peer's dotted address text and port; false when the peer is gone already.
bool Peer(std::intptr_t descriptor, std::string& address, std::uint16_t& port);
std::int64_t Receive(std::intptr_t descriptor, char* buffer, std::size_t size);
std::int64_t Send(std::intptr_t descriptor, const char* bytes, std::size_t size);
void Close(std::intptr_t descriptor);
int Last_Error();

// Descriptors the process keeps free for its files and its other links, whatever the peers do.
inline constexpr int Descriptor_Reserve = 16;
// True when fewer than Descriptor_Reserve descriptors are left below the process's limit. `open`
// is any descriptor the process holds (a fresh copy of it tells the lowest free number). Systems
// without a descriptor limit of that kind always say false.
bool Descriptors_Low(std::intptr_t open);
// The lowest descriptor number that leaves fewer than Descriptor_Reserve free; a descriptor just
// handed out at or above it says the numbers below are taken. The largest value where there is no
// such limit.
std::int64_t Descriptor_Alarm();
// Raises the process's own descriptor limit towards the system's ceiling, so that `wanted`
// connections fit; best effort, a refusal leaves the limit as it was.
void Allow_Descriptors(int wanted);

} // namespace receiver_socket

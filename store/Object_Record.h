#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(
    std::endian::native == std::endian::little, "the data files are little-endian images of memory");

// One supervised account: 88 bytes, the exact image of a record of the object file "latevn.dat".
#pragma pack(push, 1)
struct Object_Record
{
    std::int64_t Last_Time; // Time_Received of the last message; 0 = free position
    char Account_Number[17]; // the key of the list
    char Receiver_Number[7];
    char Line_Number[7];
    char Qualifier_Event[5];
    char Group_Partition[3];
    char Zone_User[4];
    char IP_Address[16]; // may be full with no terminator
    std::uint8_t Reserved_67[5];
    std::uint8_t Signal_Quality; // 255 = not reported
    std::uint8_t Supervision_Flags; // Flag_* bits, changed only by atomic single-bit operations
    std::uint8_t Reserved_74[2];
    std::uint32_t Ping_Timeout; // minutes; 0 = not supervised
    std::uint32_t Ping_Countdown; // seconds; 0 = expired or not supervised
    std::uint8_t Reserved_84[4];
};
#pragma pack(pop)

static_assert(sizeof(Object_Record) == 88);
static_assert(offsetof(Object_Record, Account_Number) == 8);
static_assert(offsetof(Object_Record, Receiver_Number) == 25);
static_assert(offsetof(Object_Record, Line_Number) == 32);
static_assert(offsetof(Object_Record, Qualifier_Event) == 39);
static_assert(offsetof(Object_Record, Group_Partition) == 44);
static_assert(offsetof(Object_Record, Zone_User) == 47);
static_assert(offsetof(Object_Record, IP_Address) == 51);
static_assert(offsetof(Object_Record, Signal_Quality) == 72);
static_assert(offsetof(Object_Record, Supervision_Flags) == 73);
static_assert(offsetof(Object_Record, Ping_Timeout) == 76);
static_assert(offsetof(Object_Record, Ping_Countdown) == 80);

inline constexpr std::uint8_t Flag_Failed = 1;
inline constexpr std::uint8_t Flag_Report = 2;

inline constexpr std::uint32_t Object_Count = 10000;
inline constexpr std::size_t Object_File_Size = sizeof(Object_Record) * Object_Count;
static_assert(Object_File_Size == 880000);

// The countdown is kept in seconds in 32 bits.
inline constexpr std::uint32_t Max_Ping_Timeout = 71582788;

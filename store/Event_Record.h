#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(
    std::endian::native == std::endian::little, "the data files are little-endian images of memory");

// One stored event: 80 bytes, the exact image of a slot of the event file "tarvel.dat".
#pragma pack(push, 1)
struct Event_Record
{
    std::uint8_t Status; // Status_* bits; 0 = free slot
    char Receiver_Number[7];
    char Line_Number[7];
    char Account_Number[17];
    char Qualifier_Event[5]; // "1401", "NULL" for a link test, "NBA" for SIA-DCS, or empty
    char Group_Partition[3];
    char Zone_User[4]; // an SIA address of four digits fills it; Reserved_44 keeps it ended
    std::uint8_t Reserved_44[4];
    std::int64_t Time_Received; // reception time, seconds since 1970 UTC
    char IP_Address[16]; // may be full with no terminator
    std::int32_t Signal_Quality; // 0..255, 255 = not reported
    std::uint8_t Content; // Content_*: what the message carried; older files hold 0 here
    std::uint8_t Reserved_77[3];
};
#pragma pack(pop)

static_assert(sizeof(Event_Record) == 80);
static_assert(offsetof(Event_Record, Receiver_Number) == 1);
static_assert(offsetof(Event_Record, Line_Number) == 8);
static_assert(offsetof(Event_Record, Account_Number) == 15);
static_assert(offsetof(Event_Record, Qualifier_Event) == 32);
static_assert(offsetof(Event_Record, Group_Partition) == 37);
static_assert(offsetof(Event_Record, Zone_User) == 40);
static_assert(offsetof(Event_Record, Time_Received) == 48);
static_assert(offsetof(Event_Record, IP_Address) == 56);
static_assert(offsetof(Event_Record, Signal_Quality) == 72);
static_assert(offsetof(Event_Record, Content) == 76);

// Content values. A reserved byte was 0 in every record ever written, so Contact ID (and link
// tests) keep 0 and their records stay what they always were.
inline constexpr std::uint8_t Content_Contact_Id = 0;
inline constexpr std::uint8_t Content_Sia_Dcs = 1; // "SIA-DCS" or "*SIA-DCS": one record per event

inline constexpr std::uint8_t Status_Used = 1;
inline constexpr std::uint8_t Status_Saved = 2; // in memory only
inline constexpr std::uint8_t Status_Reported = 4;

inline constexpr std::uint32_t Event_Slot_Count = 4096;

// The whole ring, the exact image of the event file.
#pragma pack(push, 1)
struct Event_Store_Image
{
    std::uint32_t Next_Slot;
    Event_Record Slot[Event_Slot_Count];
};
#pragma pack(pop)

static_assert(sizeof(Event_Store_Image) == 327684);
static_assert(offsetof(Event_Store_Image, Slot) == 4);

inline constexpr std::size_t Event_File_Size = sizeof(Event_Store_Image);

// The account field of the line forwarded to the automation software holds this many characters;
// a longer account is cut to them.
inline constexpr std::size_t Line_Account_Width = 4;
// The SIA line's account field is wider.
inline constexpr std::size_t Sia_Line_Account_Width = 6;

inline std::size_t Line_Account_Width_Of(const Event_Record& record)
{
    return record.Content == Content_Sia_Dcs ? Sia_Line_Account_Width : Line_Account_Width;
}

#pragma once

#include "store/Event_Record.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The message kind, from the ID token. None until the token has been read.
enum class DC09_Kind : std::uint8_t {
    None,
    ADM_CID, // "ADM-CID"
    Link_Test, // "NULL"
    Encrypted_ADM_CID, // "*ADM-CID"
    Encrypted_Link_Test, // "*NULL"
    Sia_Dcs, // "SIA-DCS"
    Encrypted_Sia_Dcs // "*SIA-DCS"
};

enum class DC09_Outcome : std::uint8_t {
    Unrecognised, // not a frame: no reply at all
    Rejected, // a frame whose content is refused
    Accepted, // a good clear message
    AcceptedEncrypted // a good encrypted message
};

// Longest stored extended data text, without its terminator.
inline constexpr std::size_t DC09_Extended_Data_Size = 64;

// Most SIA events one message may carry; a block with more is refused rather than partly stored.
inline constexpr std::size_t DC09_Sia_Event_Limit = 16;

// One event of an SIA-DCS block, in the widths of the event fields it is stored in. The zone
// may fill its field: four digits with no terminator.
struct DC09_Sia_Event
{
    char Event[4] = {}; // function code and the two-letter event code: "NBA"
    char Group[sizeof(Event_Record::Group_Partition)] = {}; // the "ri" value in force
    char Zone[sizeof(Event_Record::Zone_User) + 1] = {}; // the address, else the "id" value
};

// One parsed message. The text widths are those of the event fields that the receiver copies them
// into, so a copy never truncates; every text is zero-terminated inside its width.
struct DC09_Frame
{
    DC09_Kind Kind = DC09_Kind::None;
    std::int32_t Sequence = 0; // 0 until the sequence number has been read
    char Receiver[sizeof(Event_Record::Receiver_Number)] = {};
    char Line[sizeof(Event_Record::Line_Number)] = {};
    char Account[sizeof(Event_Record::Account_Number)] = {};
    char Event[sizeof(Event_Record::Qualifier_Event)] = {}; // qualifier and event code, or "NULL"
    char Group[sizeof(Event_Record::Group_Partition)] = {};
    char Zone[sizeof(Event_Record::Zone_User)] = {};
    std::int64_t Message_Time = 0; // non-zero only when the message carried a valid time stamp
    char Extended_Data[DC09_Extended_Data_Size + 1] = {};
    // SIA-DCS only: the events of the block, in order. None when the block has no event data.
    std::uint8_t Sia_Count = 0;
    DC09_Sia_Event Sia_Events[DC09_Sia_Event_Limit];
};

// One complete message to send: line feed, CRC, length, body, carriage return. Fixed storage so that
// building a reply never allocates.
struct DC09_Message
{
    char Bytes[128];
    std::size_t Size = 0;

    std::string_view View() const { return {Bytes, Size}; }
};

// Longest body DC09_Write_Frame takes; the longest reply body is 106 characters.
inline constexpr std::size_t DC09_Max_Body = sizeof(DC09_Message::Bytes) - 10;

// Frames a reply body that begins with the opening quote of its ID token. A body longer than
// DC09_Max_Body is cut there.
DC09_Message DC09_Write_Frame(std::string_view body);

bool DC09_Is_Encrypted(DC09_Kind kind);
bool DC09_Is_Sia(DC09_Kind kind);

// The ID token of a kind, without quotes; empty for None.
std::string_view DC09_Kind_Token(DC09_Kind kind);

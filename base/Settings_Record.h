#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(
    std::endian::native == std::endian::little, "the settings file is a little-endian image of memory");

// The 256-byte settings record, byte for byte the settings file "tarvel.cfg".
#pragma pack(push, 1)
struct Settings_Record
{
    std::uint8_t DC9_Port_Enable;
    std::int32_t DC9_Port;
    std::int32_t DC9_Conn_Timeout;
    std::uint8_t DC9_AES_Mode; // 0 off, 1 AES-128, 2 AES-192, 3 AES-256
    std::uint8_t DC9_Udp_Off; // 0: the receiver port number takes UDP too (older files hold 0)
    std::uint8_t Reserved_11[5];
    std::uint8_t DC9_Encoding_Key[32];
    std::uint8_t Out_Port_Type; // 0 closed, 1 TCP/IP, 2 serial
    std::uint8_t Mon_Server_Mode; // 1 server, 0 client
    std::int32_t Mon_Port;
    std::int8_t Test_Rec_Nr;
    std::uint8_t Reserved_55[9];
    char Out_IP[16];
    char COM_Nr[6]; // a port name of at most 5 bytes
    std::int32_t COM_Baud;
    std::int32_t Test_Heartbeat_Period;
    std::uint8_t Report_Format; // 0 "SG MLR2-DG", 1 "SG MLR2000"
    std::uint8_t Time_Synch;
    std::int32_t Format_Mark;
    std::uint8_t Reserved_100[12];
    std::uint8_t Start_In_Background;
    std::uint8_t Reserved_113[15];
    // Serial device paths longer than COM_Nr holds (/dev/ttyUSB0 ...) live here, NUL-padded, with
    // COM_Nr zero-filled. Files of installations that never used it carry zeros here.
    char COM_Path[64];
    // The address the automation software port listens on when the program is the server, NUL-padded
    // text; empty (zeros, as in files of installations that never set it) means every address.
    char Out_Listen_Address[16];
    std::uint8_t Reserved_208[48];
};
#pragma pack(pop)

static_assert(sizeof(Settings_Record) == 256);
static_assert(offsetof(Settings_Record, DC9_Port) == 1);
static_assert(offsetof(Settings_Record, DC9_Conn_Timeout) == 5);
static_assert(offsetof(Settings_Record, DC9_AES_Mode) == 9);
static_assert(offsetof(Settings_Record, DC9_Udp_Off) == 10);
static_assert(offsetof(Settings_Record, DC9_Encoding_Key) == 16);
static_assert(offsetof(Settings_Record, Out_Port_Type) == 48);
static_assert(offsetof(Settings_Record, Mon_Server_Mode) == 49);
static_assert(offsetof(Settings_Record, Mon_Port) == 50);
static_assert(offsetof(Settings_Record, Test_Rec_Nr) == 54);
static_assert(offsetof(Settings_Record, Out_IP) == 64);
static_assert(offsetof(Settings_Record, COM_Nr) == 80);
static_assert(offsetof(Settings_Record, COM_Baud) == 86);
static_assert(offsetof(Settings_Record, Test_Heartbeat_Period) == 90);
static_assert(offsetof(Settings_Record, Report_Format) == 94);
static_assert(offsetof(Settings_Record, Time_Synch) == 95);
static_assert(offsetof(Settings_Record, Format_Mark) == 96);
static_assert(offsetof(Settings_Record, Start_In_Background) == 112);
static_assert(offsetof(Settings_Record, COM_Path) == 128);
static_assert(offsetof(Settings_Record, Out_Listen_Address) == 192);

inline constexpr std::int32_t Format_Mark_Value = 1602;

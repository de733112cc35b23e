#pragma once

#include "base/Settings_Record.h"

#include <cstdint>
#include <string>
#include <string_view>

// The settings file "tarvel.cfg": a byte-for-byte image of Settings_Record. Every failure to open,
// read, create or write it is silent; callers see only the result flags below.

inline constexpr const char* Settings_File_Name = "tarvel.cfg";

// Zero the record, then set the defaults of a new settings file.
void Set_Default_Settings(Settings_Record& settings);

// Fills the record from the file at path, or creates the file with the defaults. The record is
// zeroed first, so a short file leaves its missing bytes zero and a file that exists but can't be
// opened leaves the whole record zero (no defaults). A file whose Format_Mark is 0 gets the mark
// and the whole 256-byte record written back at offset 0; bytes beyond 256 are never touched.
// A file that opens but can't be read is never written: the record gets the defaults and the
// caller reports Read_Failed.
enum class Settings_Load : std::uint8_t { Loaded, Created, Not_Opened, Read_Failed };
Settings_Load Load_Settings(const std::string& path, Settings_Record& settings);

// The comparison behind the Save button: true when the file can't be opened, is shorter than 256
// bytes or its first 256 bytes differ from the record.
bool Settings_Differ_From_File(const std::string& path, const Settings_Record& settings);

// Writes the record over the first 256 bytes of the existing file (never created, never
// truncated). Returns false, having written nothing, when the file can't be opened.
bool Save_Settings(const std::string& path, const Settings_Record& settings);

// The serial port name: up to 5 bytes in COM_Nr (the layout older files use), longer names of up
// to 63 bytes in COM_Path with COM_Nr zero-filled. A longer name, or one holding a NUL byte, is
// refused and leaves the record unchanged.
inline constexpr std::size_t Com_Nr_Max_Length = sizeof(Settings_Record::COM_Nr) - 1;
inline constexpr std::size_t Com_Path_Max_Length = sizeof(Settings_Record::COM_Path) - 1;
std::string Com_Port_Name(const Settings_Record& settings);
bool Set_Com_Port_Name(Settings_Record& settings, std::string_view name);

// Out_IP holds up to 16 bytes with no room needed for a terminator. A longer text is refused and
// leaves the field unchanged; otherwise the field is zero-filled before the copy.
std::string Out_IP_Text(const Settings_Record& settings);
bool Set_Out_IP(Settings_Record& settings, std::string_view text);

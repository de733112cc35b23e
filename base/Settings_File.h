#pragma once

#include "base/Settings_Record.h"

#include <cstdint>
#include <string>
#include <string_view>

// The settings file "tarvel.cfg": a byte-for-byte image of Settings_Record. Failures are not logged
// here; callers see the result flags below and report them.

inline constexpr const char* Settings_File_Name = "tarvel.cfg";

// Zero the record, then set the defaults of a new settings file.
void Set_Default_Settings(Settings_Record& settings);

// Fills the record from the file at path, or creates the file with the defaults. Only a regular
// file of exactly 256 bytes that carries Format_Mark_Value is loaded. Anything else at that name
// (another size or mark, a symbolic link, folder, FIFO or device) is damage: it is renamed aside
// untouched, the defaults (receiver port closed) are written in its place, and the caller reports
// Damaged with what `damage` says. A file that can't be opened or read is never written: the record
// gets the defaults and the caller reports Not_Opened or Read_Failed.
enum class Settings_Load : std::uint8_t { Loaded, Created, Not_Opened, Read_Failed, Damaged };
struct Settings_Damage
{
    std::string Reason; // "it holds 16 bytes, not 256"
    std::string Kept_As; // full name it was renamed to; empty when it could not be moved
    int Error = 0; // why it could not be opened, read or moved
};
Settings_Load Load_Settings(
    const std::string& path, Settings_Record& settings, Settings_Damage* damage = nullptr);

// The comparison behind the Save button: true unless the file is a regular file of 256 bytes
// equal to the record.
bool Settings_Differ_From_File(const std::string& path, const Settings_Record& settings);

// Replaces the existing file with the record as a whole (a new file renamed over it, never a write
// in place), so a crash leaves the old or the new settings, never a mix. Returns false, having
// written nothing, when nothing carries the name or the write fails.
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

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One implementation per platform (Settings_File_posix.cpp, Settings_File_win32.cpp). The settings
// file holds the receiver's key and decides what the receiver accepts, so it is never reached
// through a symbolic link, and a FIFO or device in its place is refused without waiting on it.
namespace settings_file_os {

enum class Open_Result : std::uint8_t {
    Opened,
    Missing,
    Not_Regular, // a symbolic link, folder, FIFO, device or socket; nothing stays open
    Failed, // `error` says why
};

struct Opened_File
{
    std::intptr_t Handle = -1;
    std::int64_t Size = 0;
    bool Is_Link = false; // with Not_Regular: the name is a symbolic link
    int Error = 0;
};

Open_Result Open_For_Read(const std::string& path, Opened_File& file);
// Reads until `length` bytes or the end of the file; returns 0 or an error code.
int Read(std::intptr_t handle, void* buffer, std::size_t length, std::size_t& done);
void Close(std::intptr_t handle);

// True when anything at all carries the name, a dangling link included.
bool Name_Exists(const std::string& path);

// Writes a new file beside `path` (owner-only access), has it reach the disk and renames it over
// `path`, so the name always holds either the old or the whole new content. A link at `path` is
// replaced, never followed. Returns 0 or an error code.
int Replace_Whole_File(const std::string& path, const void* bytes, std::size_t length);

// Renames `from` to `to` without replacing anything already called `to`.
int Move_Aside(const std::string& from, const std::string& to);

} // namespace settings_file_os

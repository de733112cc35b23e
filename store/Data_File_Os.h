#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class File_Access : std::uint8_t;

// One implementation per platform (Data_File_posix.cpp, Data_File_win32.cpp). Handles are carried
// as integers so that the shared header names no system type. Results are 0 or an error code.
namespace data_file_os {

inline constexpr std::intptr_t No_Handle = -1;

int Open_Existing(const std::string& path, File_Access access, std::intptr_t& handle);
int Create(const std::string& path, std::intptr_t& handle);
int Seek(std::intptr_t handle, std::int64_t offset, bool from_end, std::int64_t& position);
int Read(std::intptr_t handle, void* buffer, std::size_t length);
int Write(std::intptr_t handle, const void* buffer, std::size_t length);
int Write_At(std::intptr_t handle, std::int64_t offset, const void* buffer, std::size_t length);
bool Is_File_At(std::intptr_t handle, const std::string& path);
int Close(std::intptr_t handle);

} // namespace data_file_os

#pragma once

#include "base/File_Fault.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class File_Access : std::uint8_t { Read_Write, Write_Only };

// The few file operations the data files need. Every failing call returns the system's error code
// of that failure (errno, or GetLastError on Windows); 0 is success. A Data_File owns its handle
// and closes it when destroyed.
class Data_File
{
public:
    Data_File() = default;
    ~Data_File();
    Data_File(Data_File&& other) noexcept;
    Data_File& operator=(Data_File&& other) noexcept;
    Data_File(const Data_File&) = delete;
    Data_File& operator=(const Data_File&) = delete;

    // Opens a file that must exist already; a missing file is an error, never created.
    int Open_Existing(const std::string& path, File_Access access);
    // Creates the file, or truncates it to 0 bytes when it exists.
    int Create(const std::string& path);

    bool Is_Open() const { return handle != No_Handle; }

    // Seeks to the end and back to the start.
    int Size(std::int64_t& size);
    int Seek(std::int64_t offset);
    // Reads or writes exactly `length` bytes; a short transfer is an error.
    int Read(void* buffer, std::size_t length);
    int Write(const void* buffer, std::size_t length);
    // Writes exactly `length` bytes at `offset` in one call, leaving the file position alone.
    int Write_At(std::int64_t offset, const void* buffer, std::size_t length);
    // Whether `path` still names the file this object has open: false once it was removed,
    // renamed or replaced, since writes would then land in a file nobody reads.
    bool Is_File_At(const std::string& path) const;
    int Close();

private:
    static constexpr std::intptr_t No_Handle = -1;
    std::intptr_t handle = No_Handle;
};

bool File_Exists(const std::string& path);

#include "store/Data_File.h"
#include "store/Data_File_Os.h"

#include "base/Wide_Path_win32.h"

#include <windows.h>

namespace data_file_os {

namespace {

HANDLE To_Handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

int Open(const std::string& path, DWORD access, DWORD disposition, std::intptr_t& handle)
{
    const HANDLE file = CreateFileW(Wide_Path(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return static_cast<int>(GetLastError());
    handle = reinterpret_cast<std::intptr_t>(file);
    return 0;
}

} // namespace

int Open_Existing(const std::string& path, File_Access access, std::intptr_t& handle)
{
    const DWORD rights = access == File_Access::Write_Only ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE;
    return Open(path, rights, OPEN_EXISTING, handle);
}

int Create(const std::string& path, std::intptr_t& handle)
{
    return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, handle);
}

int Seek(std::intptr_t handle, std::int64_t offset, bool from_end, std::int64_t& position)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!SetFilePointerEx(To_Handle(handle), distance, &result, from_end ? FILE_END : FILE_BEGIN))
        return static_cast<int>(GetLastError());
    position = result.QuadPart;
    return 0;
}

int Read(std::intptr_t handle, void* buffer, std::size_t length)
{
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        DWORD done = 0;
        const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        if (!ReadFile(To_Handle(handle), bytes, chunk, &done, nullptr))
            return static_cast<int>(GetLastError());
        if (done == 0)
            return ERROR_HANDLE_EOF;
        bytes += done;
        length -= done;
    }
    return 0;
}

int Write(std::intptr_t handle, const void* buffer, std::size_t length)
{
    const auto* bytes = static_cast<const char*>(buffer);
    while (length > 0) {
        DWORD done = 0;
        const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        if (!WriteFile(To_Handle(handle), bytes, chunk, &done, nullptr))
            return static_cast<int>(GetLastError());
        if (done == 0)
            return ERROR_WRITE_FAULT;
        bytes += done;
        length -= done;
    }
    return 0;
}

int Write_At(std::intptr_t handle, std::int64_t offset, const void* buffer, std::size_t length)
{
    const auto* bytes = static_cast<const char*>(buffer);
    while (length > 0) {
        // A synchronous handle takes the offset from the OVERLAPPED block; no seek is needed.
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
        DWORD done = 0;
        const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        if (!WriteFile(To_Handle(handle), bytes, chunk, &done, &at))
            return static_cast<int>(GetLastError());
        if (done == 0)
            return ERROR_WRITE_FAULT;
        bytes += done;
        offset += done;
        length -= done;
    }
    return 0;
}

bool Is_File_At(std::intptr_t handle, const std::string& path)
{
    BY_HANDLE_FILE_INFORMATION open_file {};
    if (!GetFileInformationByHandle(To_Handle(handle), &open_file))
        return false;
    const HANDLE named
        = CreateFileW(Wide_Path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION named_file {};
    const bool same = GetFileInformationByHandle(named, &named_file)
        && named_file.dwVolumeSerialNumber == open_file.dwVolumeSerialNumber
        && named_file.nFileIndexHigh == open_file.nFileIndexHigh
        && named_file.nFileIndexLow == open_file.nFileIndexLow;
    CloseHandle(named);
    return same;
}

int Close(std::intptr_t handle)
{
    return CloseHandle(To_Handle(handle)) ? 0 : static_cast<int>(GetLastError());
}

} // namespace data_file_os

#include "base/Settings_File_Os.h"
#include "base/Wide_Path_win32.h"

#include <windows.h>

namespace settings_file_os {

namespace {

int Last_Error()
{
    return static_cast<int>(GetLastError());
}

} // namespace

Open_Result Open_For_Read(const std::string& path, Opened_File& file)
{
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then refused below.
    const HANDLE handle
        = CreateFileW(Wide_Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.Error = Last_Error();
        const bool missing = file.Error == ERROR_FILE_NOT_FOUND || file.Error == ERROR_PATH_NOT_FOUND;
        return missing ? Open_Result::Missing : Open_Result::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        file.Is_Link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        CloseHandle(handle);
        return Open_Result::Not_Regular;
    }
    file.Handle = reinterpret_cast<std::intptr_t>(handle);
    file.Size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return Open_Result::Opened;
}

int Read(std::intptr_t handle, void* buffer, std::size_t length, std::size_t& done)
{
    done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle), static_cast<char*>(buffer) + done,
                static_cast<DWORD>(length - done), &got, nullptr))
            return Last_Error();
        if (got == 0)
            break;
        done += got;
    }
    return 0;
}

void Close(std::intptr_t handle)
{
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool Name_Exists(const std::string& path)
{
    return GetFileAttributesW(Wide_Path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int Replace_Whole_File(const std::string& path, const void* bytes, std::size_t length)
{
    const std::wstring temporary = Wide_Path(path + ".new");
    const HANDLE handle = CreateFileW(
        temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Last_Error();
    DWORD written = 0;
    int error = 0;
    if (!WriteFile(handle, bytes, static_cast<DWORD>(length), &written, nullptr) || written != length
        || !FlushFileBuffers(handle))
        error = Last_Error() != 0 ? Last_Error() : ERROR_WRITE_FAULT;
    CloseHandle(handle);
    if (error == 0
        && !MoveFileExW(
            temporary.c_str(), Wide_Path(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = Last_Error();
    if (error != 0)
        DeleteFileW(temporary.c_str());
    return error;
}

int Move_Aside(const std::string& from, const std::string& to)
{
    return MoveFileExW(Wide_Path(from).c_str(), Wide_Path(to).c_str(), MOVEFILE_WRITE_THROUGH) ? 0
                                                                                               : Last_Error();
}

} // namespace settings_file_os

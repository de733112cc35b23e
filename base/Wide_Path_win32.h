#pragma once

#include <string>

#include <windows.h>

// Paths arrive as UTF-8; the wide API takes any name the file system allows. Windows only.
inline std::wstring Wide_Path(const std::string& path)
{
    const int length
        = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

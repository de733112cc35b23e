#include "app/Settings_Folder.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

std::string Locate_Settings_Folder()
{
    char path[MAX_PATH];
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path))) {
        ::PathAppendA(path, "\\Varnek SIA-IP Receiver\\");
        return path;
    }
    char exe[MAX_PATH];
    const DWORD size = ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string text(exe, size);
    return text.substr(0, text.rfind('\\') + 1);
}

bool Ensure_Settings_Folder(const std::string& folder)
{
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return ::CreateDirectoryA(folder.c_str(), nullptr) != 0;
}

#include "app/Settings_Folder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Executable_Folder()
{
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (size <= 0)
        return "./";
    std::string text(path, static_cast<std::size_t>(size));
    return text.substr(0, text.rfind('/') + 1);
}

// Like the Windows look-up with its create flag: the base folder is made when missing.
bool Make_Folder_Chain(const std::string& folder)
{
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/') {
            const std::string part = folder.substr(0, at);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

} // namespace

std::string Locate_Settings_Folder()
{
    std::string base;
    if (const char* data_home = std::getenv("XDG_DATA_HOME"); data_home && *data_home == '/')
        base = data_home;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    if (base.empty() || !Make_Folder_Chain(base))
        return Executable_Folder();
    if (base.back() != '/')
        base += '/';
    return base + Settings_Folder_Name + "/";
}

bool Ensure_Settings_Folder(const std::string& folder)
{
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    return ::mkdir(folder.c_str(), 0700) == 0;
}

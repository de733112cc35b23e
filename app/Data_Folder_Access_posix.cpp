#include "app/Data_Folder_Access.h"

#include "app/Settings_Folder.h"

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Mode_Text(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Changes the mode of what `descriptor` names and says so; the caller has opened it without
// following a link, so a link planted in the folder never redirects the change.
void Restrict(int descriptor, const std::string& name, mode_t owner_mode, std::vector<std::string>& lines)
{
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0 || (info.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return;
    const bool changed = ::fchmod(descriptor, info.st_mode & owner_mode) == 0;
    const std::string kind = S_ISDIR(info.st_mode) ? "Data folder " : "File ";
    lines.push_back(kind + name + " was open to other users (mode " + Mode_Text(info.st_mode) + "), "
        + (changed ? "now " + Mode_Text(info.st_mode & owner_mode) : std::string("can't be changed")));
}

} // namespace

std::vector<std::string> Restrict_Data_Folder_Access(const std::string& folder)
{
    std::vector<std::string> lines;
    if (!folder.ends_with(std::string("/") + Settings_Folder_Name + "/"))
        return lines;
    const int folder_descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder_descriptor < 0)
        return lines;
    Restrict(folder_descriptor, folder, S_IRWXU, lines);
    const int listing_descriptor = ::dup(folder_descriptor);
    DIR* listing = listing_descriptor >= 0 ? ::fdopendir(listing_descriptor) : nullptr;
    if (listing == nullptr && listing_descriptor >= 0)
        ::close(listing_descriptor);
    while (dirent* entry = listing ? ::readdir(listing) : nullptr) {
        // Regular files only, and only those are opened: opening a device can act on it.
        struct stat info
        {
        };
        if (::fstatat(folder_descriptor, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(info.st_mode))
            continue;
        const int file
            = ::openat(folder_descriptor, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (file < 0)
            continue;
        if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode))
            Restrict(file, folder + entry->d_name, S_IRUSR | S_IWUSR, lines);
        ::close(file);
    }
    if (listing)
        ::closedir(listing);
    ::close(folder_descriptor);
    return lines;
}

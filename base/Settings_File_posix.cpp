#include "base/Settings_File_Os.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace settings_file_os {

namespace {

int Retry_Open(const std::string& path, int flags, mode_t mode = 0)
{
    int descriptor = -1;
    do {
        descriptor = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

int Write_All(int descriptor, const char* bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t done = ::write(descriptor, bytes, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return done < 0 ? errno : EIO;
        bytes += done;
        length -= static_cast<std::size_t>(done);
    }
    return 0;
}

std::string Folder_Of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// The rename itself lives in the folder: without this a power cut may bring the old name back.
void Sync_Folder(const std::string& path)
{
    const int folder = Retry_Open(Folder_Of(path), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace

Open_Result Open_For_Read(const std::string& path, Opened_File& file)
{
    // O_NOFOLLOW fails on a link; O_NONBLOCK keeps a FIFO without writer from holding the start.
    const int descriptor = Retry_Open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) {
        file.Error = errno;
        if (errno == ENOENT)
            return Open_Result::Missing;
        struct stat link
        {
        };
        if (errno == ELOOP && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            file.Is_Link = true;
            return Open_Result::Not_Regular;
        }
        return Open_Result::Failed;
    }
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0) {
        file.Error = errno;
        ::close(descriptor);
        return Open_Result::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return Open_Result::Not_Regular;
    }
    file.Handle = descriptor;
    file.Size = info.st_size;
    return Open_Result::Opened;
}

int Read(std::intptr_t handle, void* buffer, std::size_t length, std::size_t& done)
{
    auto* bytes = static_cast<char*>(buffer);
    done = 0;
    while (done < length) {
        const ssize_t got = ::read(static_cast<int>(handle), bytes + done, length - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

void Close(std::intptr_t handle)
{
    ::close(static_cast<int>(handle));
}

bool Name_Exists(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

int Replace_Whole_File(const std::string& path, const void* bytes, std::size_t length)
{
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str()); // left over by a write that a crash cut short
    const int descriptor = Retry_Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return errno;
    int error = Write_All(descriptor, static_cast<const char*>(bytes), length);
    if (error == 0 && ::fsync(descriptor) != 0)
        error = errno;
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    Sync_Folder(path);
    return 0;
}

int Move_Aside(const std::string& from, const std::string& to)
{
    if (Name_Exists(to))
        return EEXIST;
    if (::rename(from.c_str(), to.c_str()) != 0)
        return errno;
    Sync_Folder(to);
    return 0;
}

} // namespace settings_file_os

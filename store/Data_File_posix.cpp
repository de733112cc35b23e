#include "store/Data_File.h"
#include "store/Data_File_Os.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace data_file_os {

namespace {

int Descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

// Writes until every byte is out: a short write goes on with the rest, an interrupted one again.
// `write_some(bytes, rest, written)` writes from `bytes`, `written` bytes into the whole.
template<typename Write_Some> int Write_All(const void* buffer, std::size_t length, Write_Some write_some)
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::int64_t written = 0;
    while (length > 0) {
        const ssize_t done = write_some(bytes, length, written);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return errno;
        if (done == 0)
            return EIO;
        bytes += done;
        written += done;
        length -= static_cast<std::size_t>(done);
    }
    return 0;
}

int Open(const std::string& path, int flags, std::intptr_t& handle)
{
    int descriptor = -1;
    do {
        descriptor = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return errno;
    handle = descriptor;
    return 0;
}

} // namespace

int Open_Existing(const std::string& path, File_Access access, std::intptr_t& handle)
{
    return Open(path, access == File_Access::Write_Only ? O_WRONLY : O_RDWR, handle);
}

int Create(const std::string& path, std::intptr_t& handle)
{
    return Open(path, O_RDWR | O_CREAT | O_TRUNC, handle);
}

int Seek(std::intptr_t handle, std::int64_t offset, bool from_end, std::int64_t& position)
{
    const off_t result
        = ::lseek(Descriptor(handle), static_cast<off_t>(offset), from_end ? SEEK_END : SEEK_SET);
    if (result < 0)
        return errno;
    position = result;
    return 0;
}

int Read(std::intptr_t handle, void* buffer, std::size_t length)
{
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        const ssize_t done = ::read(Descriptor(handle), bytes, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return errno;
        if (done == 0)
            return EIO; // the file ended early
        bytes += done;
        length -= static_cast<std::size_t>(done);
    }
    return 0;
}

int Write(std::intptr_t handle, const void* buffer, std::size_t length)
{
    return Write_All(buffer, length, [handle](const char* bytes, std::size_t rest, std::int64_t) {
        return ::write(Descriptor(handle), bytes, rest);
    });
}

int Write_At(std::intptr_t handle, std::int64_t offset, const void* buffer, std::size_t length)
{
    return Write_All(
        buffer, length, [handle, offset](const char* bytes, std::size_t rest, std::int64_t written) {
            return ::pwrite(Descriptor(handle), bytes, rest, static_cast<off_t>(offset + written));
        });
}

bool Is_File_At(std::intptr_t handle, const std::string& path)
{
    struct stat open_file
    {
    };
    struct stat named_file
    {
    };
    return ::fstat(Descriptor(handle), &open_file) == 0 && ::stat(path.c_str(), &named_file) == 0
        && open_file.st_dev == named_file.st_dev && open_file.st_ino == named_file.st_ino;
}

int Close(std::intptr_t handle)
{
    // No retry on EINTR: the descriptor is released either way on Linux.
    return ::close(Descriptor(handle)) == 0 ? 0 : errno;
}

} // namespace data_file_os

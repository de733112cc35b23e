#include "app/Single_Instance.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

// The lock is an flock on a file in the session's runtime folder: the kernel drops it when the
// last descriptor closes, so a killed copy never leaves a stale lock behind.
bool Single_Instance::Acquire(const std::string& name, const std::string& private_folder)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime ? std::string(runtime) + "/" : private_folder;
    const std::string path = folder + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no place for a lock: run rather than refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

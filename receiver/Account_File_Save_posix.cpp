#include "receiver/Account_File.h"

#include "base/System_Error.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool Save_Account_File(const std::string& path, const std::vector<Account_Row>& rows, std::string& error)
{
    const std::string text = Format_Account_File(rows);
    const std::string temporary = path + ".tmp";
    // Created 0600 from the first byte: the file holds keys. A temporary file left by a crash is
    // replaced, not appended to.
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = System_Error_Text(errno);
        return false;
    }
    const char* bytes = text.data();
    std::size_t left = text.size();
    int failure = 0;
    while (left > 0 && failure == 0) {
        const ssize_t done = ::write(fd, bytes, left);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            failure = done < 0 ? errno : EIO;
            break;
        }
        bytes += done;
        left -= static_cast<std::size_t>(done);
    }
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error = System_Error_Text(failure);
        return false;
    }
    return true;
}

#include "app/Service_Notify.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

bool Notify_Service_Manager(std::string_view state)
{
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@'))
        return false; // not under a manager, or an address kind it is not given here
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(name);
    if (length >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name, length);
    if (name[0] == '@')
        address.sun_path[0] = '\0';
    const int descriptor = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return false;
    const auto address_size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    const ssize_t sent = ::sendto(descriptor, state.data(), state.size(), MSG_NOSIGNAL,
        reinterpret_cast<const sockaddr*>(&address), address_size);
    ::close(descriptor);
    return sent == static_cast<ssize_t>(state.size());
}

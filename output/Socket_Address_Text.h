#pragma once

// The text of a socket address as "address:port", shared by the OS files of Line_Socket. It
// includes no system header itself: each OS file includes its own socket headers first, which
// declare the same names on both systems.

#include <string>

inline std::string Socket_Address_Text(const sockaddr_storage& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    unsigned port = 0;
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    } else {
        return "unknown";
    }
    return std::string(text) + ":" + std::to_string(port);
}

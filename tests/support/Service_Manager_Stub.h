#pragma once

// Stands in for the service manager: a datagram socket in a temporary folder, named in
// NOTIFY_SOCKET while the stub lives, collecting the notifications sent to it. POSIX only.

#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

class Service_Manager_Stub
{
public:
    Service_Manager_Stub()
    {
        const std::string path = m_folder.path().toStdString() + "/notify";
        m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (path.size() < sizeof address.sun_path)
            path.copy(address.sun_path, path.size());
        m_bound = ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    }
    ~Service_Manager_Stub()
    {
        ::unsetenv("NOTIFY_SOCKET");
        ::close(m_socket);
    }
    Service_Manager_Stub(const Service_Manager_Stub&) = delete;
    Service_Manager_Stub& operator=(const Service_Manager_Stub&) = delete;

    bool Bound() const { return m_bound; }

    // Every datagram that has arrived, in order.
    const std::vector<std::string>& Collect()
    {
        char buffer[512];
        for (ssize_t size; (size = ::recv(m_socket, buffer, sizeof buffer, 0)) > 0;)
            m_received.emplace_back(buffer, static_cast<std::size_t>(size));
        return m_received;
    }
    long Count(const std::string& text) const
    {
        return std::count(m_received.begin(), m_received.end(), text);
    }

private:
    QTemporaryDir m_folder;
    int m_socket = -1;
    bool m_bound = false;
    std::vector<std::string> m_received;
};

#include "bench/Bare_Automation.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Connect_Once(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

} // namespace

Bare_Automation::~Bare_Automation()
{
    ending.store(true);
    if (socket >= 0)
        ::shutdown(socket, SHUT_RDWR);
    if (thread.joinable())
        thread.join();
    if (socket >= 0)
        ::close(socket);
}

bool Bare_Automation::Connect(int port, int timeout_ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while ((socket = Connect_Once(port)) < 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    lines.reserve(200000);
    thread = std::thread([this] { Answer_Lines(); });
    return true;
}

void Bare_Automation::Answer_Lines()
{
    const char ack = 0x06;
    std::string pending;
    char buffer[4096];
    while (!ending.load()) {
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != Line_End_Byte) {
                pending.push_back(buffer[i]);
                continue;
            }
            const auto arrived = Simulator_Clock::now();
            if (::send(socket, &ack, 1, MSG_NOSIGNAL) != 1)
                return;
            std::lock_guard lock(mutex);
            lines.push_back({std::move(pending), 1, arrived});
            pending.clear();
        }
    }
}

std::vector<Received_Line> Bare_Automation::Lines_From(std::size_t first) const
{
    std::lock_guard lock(mutex);
    if (first >= lines.size())
        return {};
    return {lines.begin() + static_cast<long>(first), lines.end()};
}

double Bare_Automation::Floor_Lines_Per_Second(const std::string& line, int count)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 1) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0)
            ::close(listener);
        return 0;
    }
    double rate = 0;
    {
        Bare_Automation automation;
        const int port = ntohs(address.sin_port);
        std::thread sender([listener, &line, count] {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const std::string framed = line + Line_End_Byte;
            for (int i = 0; i < count; ++i) {
                char answer = 0;
                if (::send(fd, framed.data(), framed.size(), MSG_NOSIGNAL)
                        != static_cast<ssize_t>(framed.size())
                    || ::recv(fd, &answer, 1, 0) != 1)
                    break;
            }
            ::close(fd);
        });
        if (automation.Connect(port, 3000)) {
            sender.join();
            // The last ACK was read, so the last line is recorded.
            const std::vector<Received_Line> seen = automation.Lines_From(0);
            if (seen.size() == static_cast<std::size_t>(count) && count > 1)
                rate = (count - 1)
                    / std::chrono::duration<double>(seen.back().arrived - seen.front().arrived).count();
        } else {
            ::shutdown(listener, SHUT_RDWR);
            sender.join();
        }
    }
    ::close(listener);
    return rate;
}

#include "bench/DC09_Floor_Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// What the receiver answers to the load tool's clear frames, so both send the same bytes.
constexpr char Fixed_Ack[] = "\n1BC10012\"ACK\"0001L0#1234[]\r";

void Add(int poller, int descriptor)
{
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.fd = descriptor;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, descriptor, &event);
}

} // namespace

DC09_Floor_Server::~DC09_Floor_Server()
{
    if (thread.joinable()) {
        stopping = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(waker, &one, sizeof one);
        thread.join();
    }
    for (const int descriptor : {listener, poller, waker})
        if (descriptor >= 0)
            ::close(descriptor);
}

int DC09_Floor_Server::Start()
{
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 4096) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    poller = ::epoll_create1(EPOLL_CLOEXEC);
    waker = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (poller < 0 || waker < 0)
        return 0;
    Add(poller, listener);
    Add(poller, waker);
    thread = std::thread([this] { Serve(); });
    return ntohs(address.sin_port);
}

void DC09_Floor_Server::Serve()
{
    epoll_event events[256];
    char buffer[64 * 1024];
    while (!stopping) {
        const int ready = ::epoll_wait(poller, events, 256, 200);
        for (int i = 0; i < ready; ++i) {
            const int descriptor = events[i].data.fd;
            if (descriptor == waker)
                continue;
            if (descriptor == listener) {
                int accepted = -1;
                while (
                    (accepted = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
                    const int one = 1;
                    ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    Add(poller, accepted);
                }
                continue;
            }
            const ssize_t got = ::recv(descriptor, buffer, sizeof buffer, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                ::close(descriptor); // also leaves the epoll set
                continue;
            }
            for (ssize_t at = 0; at < got; ++at)
                if (buffer[at] == '\r')
                    ::send(descriptor, Fixed_Ack, sizeof Fixed_Ack - 1, MSG_NOSIGNAL);
        }
    }
}

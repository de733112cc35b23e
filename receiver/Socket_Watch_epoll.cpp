#include "receiver/Socket_Watch.h"

#include <QObject>
#include <QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>

#include <array>

// One epoll set holds every connection; the event loop watches only the set's descriptor. The
// set is level-triggered and read a bounded batch at a time, so a connection not served in this
// batch is reported again in the next one and other work of the thread runs in between.
struct Socket_Watch::State
{
    static constexpr int Batch = 64;

    explicit State(QObject& owner, Ready ready_)
        : set(::epoll_create1(EPOLL_CLOEXEC))
        , ready(std::move(ready_))
        , notifier(set, QSocketNotifier::Read)
    {
        QObject::connect(&notifier, &QSocketNotifier::activated, &owner, [this] { Serve(); });
    }

    ~State()
    {
        notifier.setEnabled(false);
        if (set >= 0)
            ::close(set);
    }

    void Serve()
    {
        const int count = ::epoll_wait(set, events.data(), Batch, 0);
        for (int i = 0; i < count; ++i) {
            const std::uint32_t what = events[static_cast<std::size_t>(i)].events;
            ready(events[static_cast<std::size_t>(i)].data.ptr, (what & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0,
                (what & EPOLLOUT) != 0);
        }
    }

    bool Control(int operation, std::intptr_t descriptor, void* tag, std::uint32_t what)
    {
        epoll_event event {};
        event.events = what;
        event.data.ptr = tag;
        return ::epoll_ctl(set, operation, static_cast<int>(descriptor), &event) == 0;
    }

    int set;
    Ready ready;
    QSocketNotifier notifier;
    std::array<epoll_event, Batch> events {};
};

Socket_Watch::Socket_Watch(QObject& owner, Ready ready)
    : state(std::make_unique<State>(owner, std::move(ready)))
{ }

Socket_Watch::~Socket_Watch() = default;

bool Socket_Watch::Add(std::intptr_t descriptor, void* tag)
{
    return state->Control(EPOLL_CTL_ADD, descriptor, tag, EPOLLIN);
}

void Socket_Watch::Want_Write(std::intptr_t descriptor, void* tag, bool wanted)
{
    state->Control(EPOLL_CTL_MOD, descriptor, tag, wanted ? EPOLLIN | EPOLLOUT : EPOLLIN);
}

void Socket_Watch::Remove(std::intptr_t descriptor)
{
    state->Control(EPOLL_CTL_DEL, descriptor, nullptr, 0);
}

#include "app/Process_Setup.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Signal_Pipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte into the pipe wakes the window thread.
void On_Signal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(Signal_Pipe[1], &byte, 1);
}

} // namespace

void Raise_Descriptor_Limit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void Watch_Termination_Requests(QObject* owner, std::function<void()> on_request)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Signal_Pipe) != 0)
        return;
    ::fcntl(Signal_Pipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(Signal_Pipe[0], QSocketNotifier::Read, owner);
    QObject::connect(
        notifier, &QSocketNotifier::activated, owner, [notifier, on_request = std::move(on_request)] {
            char byte;
            [[maybe_unused]] const ssize_t got = ::read(Signal_Pipe[0], &byte, 1);
            notifier->setEnabled(false);
            on_request();
        });

    struct sigaction action
    {
    };
    action.sa_handler = On_Signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // A communicator that vanishes mid-write must not end the program.
    ::signal(SIGPIPE, SIG_IGN);
}

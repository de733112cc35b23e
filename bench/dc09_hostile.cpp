// Hostile load on the receiver port: the program is started here (its own temporary home), N
// hostile connections work on it, and one real communicator sends a frame every second on a
// connection of its own and records how long each reply takes.
//
//   dc09_hostile [--mode garbage|idle|churn] [--connections 3000] [--seconds 60]
//
//   garbage: each connection sends one garbage byte a second; one the receiver closes is opened again
//   idle:    the connections are opened and send nothing; counts how many the receiver closes
//   churn:   the connections each connect, send one frame, read its reply and hang up, over and over
//   serve:   only starts the program, prints its port and keeps it running for --seconds, so that
//            another tool (dc09_load) can be pointed at it
//
// Prints the real communicator's reply times (p50, p99, max, missing), the receiver's resident
// memory before and after, how much its log grew, and how long SIGTERM took to end it.

#include "bench/Resident_Memory.h"
#include "tests/support/DC09_Test_Frames.h"
#include "tests/support/Program_Runner.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::string mode = "garbage";
    int connections = 3000;
    int seconds = 60;
};

Options Parse_Options(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--mode")
            options.mode = argv[i + 1];
        else if (name == "--connections")
            options.connections = std::atoi(argv[i + 1]);
        else if (name == "--seconds")
            options.seconds = std::atoi(argv[i + 1]);
    }
    if ((options.mode != "garbage" && options.mode != "idle" && options.mode != "churn"
            && options.mode != "serve")
        || options.connections < 0 || options.seconds <= 0) {
        std::fprintf(stderr,
            "usage: dc09_hostile [--mode garbage|idle|churn|serve] [--connections N] [--seconds S]\n");
        std::exit(2);
    }
    return options;
}

int Connect_Nonblocking(int port)
{
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (descriptor < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        && errno != EINPROGRESS) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

struct Hostile
{
    int fd = -1;
    Clock::time_point next_send;
    bool sent = false; // churn: the frame went, the reply is awaited
};

// The real communicator: one frame a second on its own connection, opened again when closed.
struct Communicator
{
    int port = 0;
    std::string frame = Build_Clear_Frame(Test_Message {});
    int fd = -1;
    bool waiting = false;
    Clock::time_point sent_at;
    Clock::time_point next_send = Clock::now();
    std::vector<double> replies_ms;
    int missing = 0;
    std::string received;

    void Step(Clock::time_point now)
    {
        if (waiting && now - sent_at > std::chrono::seconds(5)) {
            ++missing;
            waiting = false;
            ::close(fd);
            fd = -1;
        }
        if (!waiting && now >= next_send) {
            if (fd < 0) {
                fd = Connect_Nonblocking(port);
                pollfd connecting {fd, POLLOUT, 0};
                ::poll(&connecting, 1, 1000);
            }
            received.clear();
            if (fd >= 0
                && ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL)
                    == static_cast<ssize_t>(frame.size())) {
                waiting = true;
                sent_at = now;
            } else {
                ++missing;
                if (fd >= 0)
                    ::close(fd);
                fd = -1;
            }
            next_send += std::chrono::seconds(1);
        }
    }

    void Readable()
    {
        char buffer[512];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        received.append(buffer, static_cast<std::size_t>(got));
        if (waiting && received.find('\r') != std::string::npos) {
            replies_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent_at).count());
            waiting = false;
        }
    }
};

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(
        values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())))];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const Options options = Parse_Options(argc, argv);
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);

    Program_Runner runner;
    Settings_Record settings = Test_Default_Settings();
    settings.DC9_Conn_Timeout = 30;
    if (!runner.Start_Receiver(settings)) {
        std::fprintf(stderr, "the program did not start: %s\n", runner.Standard_Error().c_str());
        return 1;
    }
    const qint64 pid = runner.Process_Id();
    const int port = runner.Port();
    if (options.mode == "serve") {
        std::printf("port %d pid %lld\n", port, static_cast<long long>(pid));
        std::fflush(stdout);
        ::sleep(static_cast<unsigned>(options.seconds));
        runner.Stop(10000);
        return 0;
    }
    const std::string churn_frame = Build_Clear_Frame(Test_Message {});

    std::vector<Hostile> hostile(static_cast<std::size_t>(options.connections));
    const Clock::time_point start = Clock::now();
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        hostile[i].fd = Connect_Nonblocking(port);
        // Spread over the second, so the garbage does not come in one burst.
        hostile[i].next_send
            = start + std::chrono::milliseconds(1000 * i / std::max<std::size_t>(1, hostile.size()));
    }
    const long resident_before = Resident_Kb(pid);
    const std::size_t log_before = runner.Read_Log_Files().size();

    // The real communicator has a thread of its own, so that the hostile loop's work never shows
    // in its reply times.
    Communicator real;
    real.port = port;
    const Clock::time_point end = start + std::chrono::seconds(options.seconds);
    std::thread real_thread([&real, end] {
        while (Clock::now() < end) {
            real.Step(Clock::now());
            pollfd waiting {real.fd, POLLIN, 0};
            if (::poll(&waiting, 1, 10) == 1 && real.fd >= 0)
                real.Readable();
        }
    });
    long reopened = 0, closed_by_receiver = 0, churn_answered = 0;
    std::vector<pollfd> polled;
    std::vector<std::size_t> owner; // the hostile connection of each polled entry
    while (Clock::now() < end) {
        const Clock::time_point now = Clock::now();
        polled.clear();
        owner.clear();
        for (std::size_t index = 0; index < hostile.size(); ++index) {
            Hostile& connection = hostile[index];
            if (connection.fd < 0 && options.mode != "idle") {
                connection.fd = Connect_Nonblocking(port);
                connection.sent = false;
                ++reopened;
            }
            if (connection.fd < 0)
                continue;
            if (options.mode == "garbage" && now >= connection.next_send) {
                ::send(connection.fd, "x", 1, MSG_NOSIGNAL);
                connection.next_send += std::chrono::seconds(1);
            } else if (options.mode == "churn" && !connection.sent) {
                connection.sent
                    = ::send(connection.fd, churn_frame.data(), churn_frame.size(), MSG_NOSIGNAL) > 0;
            }
            polled.push_back({connection.fd, POLLIN, 0});
            owner.push_back(index);
        }
        ::poll(polled.data(), polled.size(), 20);
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            Hostile& connection = hostile[owner[i]];
            char buffer[512];
            const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
            if (got > 0 && options.mode != "churn")
                continue; // nothing is answered to garbage; a stray byte changes nothing
            if (got > 0)
                ++churn_answered;
            else
                ++closed_by_receiver;
            ::close(connection.fd);
            connection.fd = -1;
        }
    }
    real_thread.join();
    const long resident_after = Resident_Kb(pid);
    const std::string log = runner.Read_Log_Files();
    const long log_lines
        = static_cast<long>(std::count(log.begin() + static_cast<long>(log_before), log.end(), '\n'));
    const Clock::time_point stopping = Clock::now();
    const auto exit_code = runner.Stop(10000);
    const double stop_ms = std::chrono::duration<double, std::milli>(Clock::now() - stopping).count();

    std::printf(
        "mode %s, %d connections, %d s\n", options.mode.c_str(), options.connections, options.seconds);
    std::printf("real communicator: %zu replies, p50 %.1f ms, p99 %.1f ms, max %.1f ms, missing %d\n",
        real.replies_ms.size(), Percentile(real.replies_ms, 0.5), Percentile(real.replies_ms, 0.99),
        Percentile(real.replies_ms, 1.0), real.missing);
    std::printf("real communicator: p90 %.1f ms, replies over 50 ms: %ld\n", Percentile(real.replies_ms, 0.9),
        static_cast<long>(std::count_if(
            real.replies_ms.begin(), real.replies_ms.end(), [](double ms) { return ms > 50; })));
    std::printf("hostile connections closed by the receiver: %ld, opened again: %ld, churn replies: %ld\n",
        closed_by_receiver, reopened, churn_answered);
    std::printf("resident memory: %ld kB -> %ld kB (%+ld kB)\n", resident_before, resident_after,
        resident_after - resident_before);
    std::printf("log: +%ld lines, +%zu bytes\n", log_lines, log.size() - log_before);
    std::printf("SIGTERM: %s after %.0f ms\n", exit_code ? "ended" : "NOT ENDED (killed)", stop_ms);
    return 0;
}

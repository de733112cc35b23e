#include "bench/DC09_Udp_Load.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

struct Sender
{
    int fd = -1;
    bool waiting = false;
    Clock::time_point sent_at;
};

} // namespace

double Percentile_Ms(std::vector<double>& values, double share)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + static_cast<long>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

bool Run_Udp_Load(int port, const std::vector<std::string>& frames, int senders, long messages,
    int timeout_ms, Udp_Load_Figures& figures)
{
    if (frames.empty() || senders <= 0)
        return false;
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<Sender> all(static_cast<std::size_t>(senders));
    std::vector<pollfd> polls(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i].fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        // Connected: the socket takes datagrams from the receiver alone.
        if (all[i].fd < 0 || ::connect(all[i].fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
            return false;
        polls[i] = {all[i].fd, POLLIN, 0};
    }
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(messages));
    long sent = 0, done = 0;
    std::size_t next_frame = 0;
    const auto send_next = [&](Sender& sender) {
        if (sent >= messages)
            return;
        const std::string& frame = frames[next_frame++ % frames.size()];
        sender.sent_at = Clock::now();
        sender.waiting = ::send(sender.fd, frame.data(), frame.size(), 0) > 0;
        ++sent;
        if (!sender.waiting) {
            ++figures.lost;
            ++done;
        }
    };
    const Clock::time_point start = Clock::now();
    for (Sender& sender : all)
        send_next(sender);
    char reply[512];
    while (done < messages) {
        ::poll(polls.data(), polls.size(), 20);
        const Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < all.size(); ++i) {
            Sender& sender = all[i];
            if (!sender.waiting)
                continue;
            const ssize_t size = ::recv(sender.fd, reply, sizeof reply, 0);
            if (size > 0) {
                const std::string_view body(reply, static_cast<std::size_t>(size));
                if (body.find("\"ACK\"") == 9 || body.find("\"*ACK\"") == 9)
                    ++figures.acked;
                else
                    ++figures.other;
                latencies.push_back(std::chrono::duration<double, std::milli>(now - sender.sent_at).count());
            } else if (now - sender.sent_at < std::chrono::milliseconds(timeout_ms)) {
                continue;
            } else {
                ++figures.lost;
            }
            sender.waiting = false;
            ++done;
            send_next(sender);
        }
        if (sent >= messages
            && std::none_of(all.begin(), all.end(), [](const Sender& s) { return s.waiting; }))
            break;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const Sender& sender : all)
        ::close(sender.fd);
    figures.throughput = seconds > 0 ? static_cast<double>(figures.acked) / seconds : 0;
    figures.p50_ms = Percentile_Ms(latencies, 0.50);
    figures.p99_ms = Percentile_Ms(latencies, 0.99);
    std::printf("udp: senders %d, messages %ld\n", senders, messages);
    std::printf("replies: ACK %ld, other %ld; lost %ld\n", figures.acked, figures.other, figures.lost);
    std::printf("elapsed %.3f s, throughput %.0f acknowledged msgs/s\n", seconds, figures.throughput);
    std::printf("reply latency ms: p50 %.3f, p99 %.3f\n", figures.p50_ms, figures.p99_ms);
    return true;
}

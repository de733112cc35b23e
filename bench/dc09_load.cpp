// Load generator for the receiver port: N connections to 127.0.0.1, M DC-09 frames in total, each
// connection waiting for the reply to its frame before sending the next. Reports acknowledged
// messages per second and reply-latency percentiles. One thread, poll(); frames are built once per
// account before the run so the send loop allocates nothing.
//
//   dc09_load --port 7777 --connections 50 --messages 100000 --accounts 1000
//             [--aes-mode 0..3 --key HEX] [--encrypted 0..1] [--rate MSGS_PER_S] [--timeout MS]
//             [--floor 1] [--udp 1]
//
// With --udp 1 the same messages then go as datagrams to the same port number, from as many UDP
// senders as there were connections, and the UDP figures are printed as ratios to the TCP ones.
//
// With --floor 1 the same load first runs against a bare floor in this process: a minimal epoll
// server that answers every frame with a fixed ACK and stores nothing. The receiver's figures are
// then printed as ratios to the floor's, measured in the same run on the same machine.

#include "bench/DC09_Floor_Server.h"
#include "bench/DC09_Udp_Load.h"
#include "tests/support/DC09_Test_Frames.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    int port = 7777;
    int connections = 50;
    long messages = 100000;
    int accounts = 1000;
    int aes_mode = 0;
    Test_Key key {};
    double encrypted = -1; // share of encrypted frames; default: all when a mode is given, else none
    double rate = 0; // messages per second overall; 0: as fast as the replies come
    int timeout_ms = 5000;
    bool floor = false;
    bool udp = false;
};

struct Figures
{
    double throughput = 0; // acknowledged messages per second
    double p50_ms = 0, p99_ms = 0;
    long lost = 0; // time-outs and connections closed by the server
};

struct Connection
{
    int fd = -1;
    const std::string* frame = nullptr; // being sent or awaiting its reply
    std::size_t written = 0;
    Clock::time_point sent_at;
    char buffer[4096];
    std::size_t buffered = 0;
};

struct Counts
{
    long acked = 0, nak = 0, duh = 0, other = 0, timeouts = 0, closed = 0;
};

void Usage_Error(const char* message)
{
    std::fprintf(stderr, "dc09_load: %s\n", message);
    std::fprintf(stderr,
        "usage: dc09_load --port P [--connections N] [--messages M] [--accounts A] [--aes-mode 0-3]"
        " [--key HEX] [--encrypted SHARE] [--rate MSGS_PER_S] [--timeout MS] [--floor 0-1] [--udp 0-1]\n");
    std::exit(2);
}

Options Parse_Options(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            Usage_Error(("no value for " + name).c_str());
        const char* value = argv[++i];
        if (name == "--port")
            options.port = std::atoi(value);
        else if (name == "--connections")
            options.connections = std::atoi(value);
        else if (name == "--messages")
            options.messages = std::atol(value);
        else if (name == "--accounts")
            options.accounts = std::atoi(value);
        else if (name == "--aes-mode")
            options.aes_mode = std::atoi(value);
        else if (name == "--encrypted")
            options.encrypted = std::atof(value);
        else if (name == "--rate")
            options.rate = std::atof(value);
        else if (name == "--timeout")
            options.timeout_ms = std::atoi(value);
        else if (name == "--floor")
            options.floor = std::atoi(value) != 0;
        else if (name == "--udp")
            options.udp = std::atoi(value) != 0;
        else if (name == "--key") {
            std::string bytes;
            if (!Hex_Decode(value, bytes) || bytes.size() > options.key.size())
                Usage_Error("--key takes up to 64 hexadecimal digits");
            std::copy(bytes.begin(), bytes.end(), options.key.begin());
        } else
            Usage_Error(("unknown option " + name).c_str());
    }
    if (options.port <= 0 || options.port > 65535 || options.connections <= 0 || options.messages <= 0
        || options.accounts <= 0 || options.aes_mode < 0 || options.aes_mode > 3)
        Usage_Error("bad option value");
    if (options.encrypted < 0)
        options.encrypted = options.aes_mode != 0 ? 1 : 0;
    if (options.encrypted > 0 && options.aes_mode == 0)
        Usage_Error("encrypted frames need --aes-mode 1, 2 or 3");
    return options;
}

// One clear and (when asked) one encrypted frame per account; accounts are 8 hex digits.
void Build_Frames(
    const Options& options, std::vector<std::string>& clear, std::vector<std::string>& encrypted)
{
    for (int i = 0; i < options.accounts; ++i) {
        char account[16];
        std::snprintf(account, sizeof account, "%08X", 0x10000000u + static_cast<unsigned>(i));
        Test_Message message;
        message.sequence = "0001";
        message.account = account;
        message.content = std::string("#") + account + "|1602 00 000]";
        clear.push_back(Build_Clear_Frame(message));
        if (options.encrypted > 0) {
            message.token = "*ADM-CID";
            encrypted.push_back(
                Build_Encrypted_Frame(message, options.aes_mode, options.key, static_cast<unsigned>(i)));
        }
    }
}

int Open_Connection(int port, int timeout_ms)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    pollfd waiting {fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (::poll(&waiting, 1, timeout_ms) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0
        || error != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Classifies a reply by its token; the token starts after line feed, CRC and length.
void Count_Reply(const char* reply, std::size_t size, Counts& counts)
{
    const std::string_view body(
        reply + std::min<std::size_t>(9, size), size - std::min<std::size_t>(9, size));
    if (body.starts_with("\"ACK\"") || body.starts_with("\"*ACK\""))
        ++counts.acked;
    else if (body.starts_with("\"NAK\""))
        ++counts.nak;
    else if (body.starts_with("\"DUH\""))
        ++counts.duh;
    else
        ++counts.other;
}

class Load_Run
{
public:
    explicit Load_Run(const Options& options)
        : m_options(options)
        , m_connections(static_cast<std::size_t>(options.connections))
        , m_polls(static_cast<std::size_t>(options.connections))
    {
        Build_Frames(options, m_clear, m_encrypted);
        m_latencies_ms.reserve(static_cast<std::size_t>(options.messages));
    }

    bool Connect_All()
    {
        for (Connection& connection : m_connections)
            if ((connection.fd = Open_Connection(m_options.port, 3000)) < 0)
                return false;
        return true;
    }

    void Run()
    {
        m_start = Clock::now();
        while (m_done < m_options.messages && Any_Connection_Open()) {
            Start_Sends();
            const int wait_ms = Poll_Wait_Ms();
            for (std::size_t i = 0; i < m_connections.size(); ++i) {
                const Connection& connection = m_connections[i];
                const bool writing
                    = connection.frame != nullptr && connection.written < connection.frame->size();
                m_polls[i] = {connection.fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
            }
            if (::poll(m_polls.data(), m_polls.size(), wait_ms) < 0 && errno != EINTR)
                break;
            const Clock::time_point now = Clock::now();
            for (std::size_t i = 0; i < m_connections.size(); ++i)
                Service(m_connections[i], m_polls[i].revents, now);
        }
        m_end = Clock::now();
    }

    Figures Report(const char* target)
    {
        const double seconds = std::chrono::duration<double>(m_end - m_start).count();
        const double p50 = Percentile_Ms(m_latencies_ms, 0.50);
        const double p99 = Percentile_Ms(m_latencies_ms, 0.99);
        const double max
            = m_latencies_ms.empty() ? 0 : *std::max_element(m_latencies_ms.begin(), m_latencies_ms.end());
        char rate[32] = "unlimited";
        if (m_options.rate > 0)
            std::snprintf(rate, sizeof rate, "%.0f msgs/s", m_options.rate);
        std::printf("%s: connections %d, messages %ld, accounts %d, encrypted share %.2f, rate %s\n", target,
            m_options.connections, m_options.messages, m_options.accounts, m_options.encrypted, rate);
        std::printf("replies: ACK %ld, NAK %ld, DUH %ld, other %ld; timeouts %ld, closed by receiver %ld\n",
            m_counts.acked, m_counts.nak, m_counts.duh, m_counts.other, m_counts.timeouts, m_counts.closed);
        std::printf("elapsed %.3f s, throughput %.0f acknowledged msgs/s\n", seconds,
            seconds > 0 ? static_cast<double>(m_counts.acked) / seconds : 0.0);
        std::printf("reply latency ms: p50 %.3f, p99 %.3f, max %.3f\n", p50, p99, max);
        return {seconds > 0 ? static_cast<double>(m_counts.acked) / seconds : 0.0, p50, p99,
            m_counts.timeouts + m_counts.closed};
    }

private:
    bool Any_Connection_Open() const
    {
        return std::any_of(m_connections.begin(), m_connections.end(),
            [](const Connection& connection) { return connection.fd >= 0; });
    }

    const std::string& Frame_For(long index) const
    {
        const auto account = static_cast<std::size_t>(index % m_options.accounts);
        // Spreads the encrypted share evenly over the run.
        const double share = m_options.encrypted;
        const bool encrypted = static_cast<long>(static_cast<double>(index + 1) * share)
            > static_cast<long>(static_cast<double>(index) * share);
        return encrypted ? m_encrypted[account] : m_clear[account];
    }

    // Sends on idle connections while messages are left and the rate (if any) allows. The scan
    // goes round the connections so that at a low rate every connection takes its share and none
    // sits idle long enough for the receiver to close it.
    void Start_Sends()
    {
        for (std::size_t step = 0; step < m_connections.size(); ++step) {
            if (m_sent >= m_options.messages)
                return;
            Connection& connection = m_connections[m_next_connection];
            m_next_connection = (m_next_connection + 1) % m_connections.size();
            if (connection.frame != nullptr || connection.fd < 0)
                continue;
            if (m_options.rate > 0 && Clock::now() < Due_Time(m_sent))
                return;
            connection.frame = &Frame_For(m_sent++);
            connection.written = 0;
            connection.buffered = 0;
            connection.sent_at = Clock::now();
            Write_Some(connection);
        }
    }

    Clock::time_point Due_Time(long index) const
    {
        return m_start
            + std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(index / m_options.rate));
    }

    int Poll_Wait_Ms() const
    {
        if (m_options.rate <= 0 || m_sent >= m_options.messages)
            return 50;
        const auto until
            = std::chrono::duration_cast<std::chrono::milliseconds>(Due_Time(m_sent) - Clock::now());
        return static_cast<int>(std::clamp<long>(until.count(), 0, 50));
    }

    void Write_Some(Connection& connection)
    {
        const std::string& frame = *connection.frame;
        const ssize_t written = ::send(connection.fd, frame.data() + connection.written,
            frame.size() - connection.written, MSG_NOSIGNAL);
        if (written > 0)
            connection.written += static_cast<std::size_t>(written);
    }

    void Service(Connection& connection, short events, Clock::time_point now)
    {
        if (connection.frame == nullptr && events == 0)
            return;
        if ((events & POLLOUT) && connection.frame != nullptr)
            Write_Some(connection);
        if (events & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = ::recv(connection.fd, connection.buffer + connection.buffered,
                sizeof connection.buffer - connection.buffered, 0);
            if (got <= 0) {
                ++m_counts.closed;
                Fail_And_Reconnect(connection);
                return;
            }
            connection.buffered += static_cast<std::size_t>(got);
            const char* end
                = static_cast<const char*>(std::memchr(connection.buffer, '\r', connection.buffered));
            if (end != nullptr && connection.frame != nullptr) {
                m_latencies_ms.push_back(
                    std::chrono::duration<double, std::milli>(now - connection.sent_at).count());
                Count_Reply(connection.buffer, static_cast<std::size_t>(end - connection.buffer), m_counts);
                connection.frame = nullptr;
                connection.buffered = 0;
                ++m_done;
                return;
            }
            if (connection.buffered == sizeof connection.buffer)
                connection.buffered = 0;
        }
        if (connection.frame != nullptr
            && now - connection.sent_at > std::chrono::milliseconds(m_options.timeout_ms)) {
            ++m_counts.timeouts;
            Fail_And_Reconnect(connection);
        }
    }

    void Fail_And_Reconnect(Connection& connection)
    {
        if (connection.frame != nullptr)
            ++m_done;
        connection.frame = nullptr;
        connection.buffered = 0;
        ::close(connection.fd);
        connection.fd = Open_Connection(m_options.port, 1000);
        if (connection.fd < 0)
            std::fprintf(stderr, "dc09_load: reconnect failed\n");
    }

    const Options m_options;
    std::vector<std::string> m_clear;
    std::vector<std::string> m_encrypted;
    std::vector<Connection> m_connections;
    std::vector<pollfd> m_polls;
    std::vector<double> m_latencies_ms;
    Counts m_counts;
    long m_sent = 0;
    std::size_t m_next_connection = 0;
    long m_done = 0;
    Clock::time_point m_start, m_end;
};

// One run of the load against `port`; nothing when the connections cannot be made.
bool Run_Load(Options options, int port, const char* target, Figures& figures)
{
    options.port = port;
    Load_Run run(options);
    if (!run.Connect_All()) {
        std::fprintf(stderr, "dc09_load: cannot connect to 127.0.0.1:%d (%s)\n", port, target);
        return false;
    }
    run.Run();
    figures = run.Report(target);
    return true;
}

double Ratio(double value, double floor)
{
    return floor > 0 ? value / floor : 0.0;
}

} // namespace

int main(int argc, char* argv[])
{
    const Options options = Parse_Options(argc, argv);
    Figures floor_figures;
    if (options.floor) {
        DC09_Floor_Server floor;
        const int floor_port = floor.Start();
        if (floor_port <= 0) {
            std::fprintf(stderr, "dc09_load: the bare floor could not listen\n");
            return 1;
        }
        if (!Run_Load(options, floor_port, "floor", floor_figures))
            return 1;
    }
    Figures receiver;
    if (!Run_Load(options, options.port, "receiver", receiver))
        return 1;
    if (options.floor) {
        std::printf("receiver / floor: throughput %.2f, p50 %.2f, p99 %.2f\n",
            Ratio(receiver.throughput, floor_figures.throughput),
            Ratio(receiver.p50_ms, floor_figures.p50_ms), Ratio(receiver.p99_ms, floor_figures.p99_ms));
    }
    long lost = receiver.lost;
    if (options.udp) {
        std::vector<std::string> clear, encrypted;
        Build_Frames(options, clear, encrypted);
        Udp_Load_Figures udp;
        if (!Run_Udp_Load(options.port, options.encrypted > 0 ? encrypted : clear, options.connections,
                options.messages, options.timeout_ms, udp))
            return 1;
        std::printf("udp / tcp: throughput %.2f, p50 %.2f, p99 %.2f\n",
            Ratio(udp.throughput, receiver.throughput), Ratio(udp.p50_ms, receiver.p50_ms),
            Ratio(udp.p99_ms, receiver.p99_ms));
        lost += udp.lost;
    }
    return lost == 0 ? 0 : 3;
}

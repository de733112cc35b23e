#pragma once

// A simulated automation software for the end-to-end tests and the forwarding load tool. It takes
// the report lines that the receiver sends (text ended by DC4, 0x14), records each with the time it
// arrived and the connection it came on, and answers it as the test's rule says: ACK, NAK, any other
// bytes, or silence. It can listen for the receiver (client mode), connect to it (server mode, also
// several times) or sit on the master side of a pseudo-terminal whose slave the receiver opens as its
// serial port. All socket work runs on a thread of its own, so a test may block while lines arrive.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QThread;
class Simulator_Worker;

using Simulator_Clock = std::chrono::steady_clock;

inline constexpr char Line_End_Byte = 0x14;
inline constexpr char Ack_Byte = 0x06;
inline constexpr char Nak_Byte = 0x15;

struct Received_Line
{
    std::string text; // without the closing 0x14
    int connection = 0;
    Simulator_Clock::time_point arrived;
};

struct Simulated_Connection
{
    int id = 0;
    bool open = true;
    Simulator_Clock::time_point opened;
    Simulator_Clock::time_point closed; // when the receiver closed it; valid once `open` is false
    std::string unfinished; // bytes after the last complete line
};

// The bytes that answer one line; empty for silence. `index` counts the lines received before it.
// Runs on the simulator's thread, one line at a time.
using Answer_Rule = std::function<std::string(const Received_Line& line, std::size_t index)>;

// How long to hold the answer to one line, in milliseconds (0: at once), as a slow automation
// software does; the simulator goes on reading meanwhile. Runs on the simulator's thread.
using Answer_Delay = std::function<int(const Received_Line& line, std::size_t index)>;

Answer_Rule Always_Ack();
Answer_Rule Always_Nak();
Answer_Rule Never_Answer();

class Automation_Simulator
{
public:
    Automation_Simulator();
    ~Automation_Simulator();
    Automation_Simulator(const Automation_Simulator&) = delete;
    Automation_Simulator& operator=(const Automation_Simulator&) = delete;

    // Applies to the lines that arrive after the call; the default rule answers ACK.
    void Set_Answer_Rule(Answer_Rule rule);
    // Likewise; by default every answer goes out at once.
    void Set_Answer_Delay(Answer_Delay delay);

    // Listens on 127.0.0.1 (port 0: any free port); the port, or 0 when it cannot listen.
    int Listen_Tcp(int port = 0);
    // Connects to the receiver's server on 127.0.0.1; the new connection's id, or 0.
    int Connect_Tcp(int port, int timeout_ms = 3000);
    // As Connect_Tcp, trying again until the port accepts or the time is up.
    int Connect_Tcp_When_Listening(int port, int timeout_ms);
    // Opens a pseudo-terminal pair in raw mode and keeps the slave open too (so the master never
    // reads end-of-file); the slave's path, or nothing where there are no pseudo-terminals.
    std::optional<std::string> Open_Pseudo_Terminal();
    // Sits on an existing serial device, the other end of a linked pair from the receiver's port.
    bool Open_Serial_Device(const std::string& path);
    // Writes bytes unasked on a connection; false when it is not open.
    bool Send(int connection, std::string_view bytes);
    void Close_All();

    std::vector<Received_Line> Lines() const;
    // The lines from index `first` on, so a poller need not copy what it has seen.
    std::vector<Received_Line> Lines_From(std::size_t first) const;
    std::size_t Line_Count() const;
    std::vector<Simulated_Connection> Connections() const;
    // Bytes received after the last complete line, on any connection.
    std::string Unfinished_Bytes() const;

    // Polls `done` whenever something arrives, at least every 20 ms, until it holds or time is up.
    bool Wait_Until(const std::function<bool()>& done, int timeout_ms) const;
    bool Wait_For_Line_Count(std::size_t count, int timeout_ms) const;
    // Index of the first line at or after `from` whose text equals `text`.
    std::optional<std::size_t> Wait_For_Line(std::string_view text, std::size_t from, int timeout_ms) const;
    // Id of the first connection the receiver made to the listening port, or 0.
    int Wait_For_Accepted(int timeout_ms) const;

    // Shared with the worker thread; everything in it is guarded by `mutex`.
    struct Shared
    {
        mutable std::mutex mutex;
        mutable std::condition_variable changed;
        std::vector<Received_Line> lines;
        std::vector<Simulated_Connection> connections;
        std::vector<int> accepted;
    };

private:
    Shared shared;
    std::unique_ptr<QThread> thread;
    Simulator_Worker* worker;
};

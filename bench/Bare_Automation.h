#pragma once

#include "tests/support/Automation_Simulator.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An automation software reduced to its protocol, for the forwarding load tool: one blocking TCP
// connection on its own thread, no event loop, every line (up to 0x14) recorded with its arrival
// time and answered with one ACK at once. Nobody is woken per line; readers poll. With it, the
// time between lines is the program's and the loopback's, not a simulator's.
class Bare_Automation
{
public:
    Bare_Automation() = default;
    ~Bare_Automation();
    Bare_Automation(const Bare_Automation&) = delete;
    Bare_Automation& operator=(const Bare_Automation&) = delete;

    // Connects to 127.0.0.1:`port`, trying again until it accepts or `timeout_ms` has passed, and
    // starts answering. False when it never accepted.
    bool Connect(int port, int timeout_ms);
    // The lines from index `first` on.
    std::vector<Received_Line> Lines_From(std::size_t first) const;

    // The floor: the same exchange with nothing in between. A sender thread writes `count` lines
    // of `line` (0x14 added), each after the previous one's ACK, to a Bare_Automation; lines per
    // second from the first arrival to the last, or 0 when the loopback failed.
    static double Floor_Lines_Per_Second(const std::string& line, int count);

private:
    void Answer_Lines();

    int socket = -1;
    std::thread thread;
    std::atomic<bool> ending {false};
    mutable std::mutex mutex;
    std::vector<Received_Line> lines; // guarded by mutex
};

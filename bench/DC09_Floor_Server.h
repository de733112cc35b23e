#pragma once

#include <atomic>
#include <thread>

// The bare floor for the receiver's figures: the least a server can do for the same load. One
// thread, epoll, non-blocking sockets; every frame (everything up to a carriage return) gets the
// same fixed ACK; nothing is parsed or stored. Linux only, like the load tool.
class DC09_Floor_Server
{
public:
    DC09_Floor_Server() = default;
    ~DC09_Floor_Server();
    DC09_Floor_Server(const DC09_Floor_Server&) = delete;
    DC09_Floor_Server& operator=(const DC09_Floor_Server&) = delete;

    // Listens on an ephemeral port of 127.0.0.1 and serves from a thread of its own; the port, or
    // 0 when it cannot listen.
    int Start();

private:
    void Serve();

    int listener = -1;
    int poller = -1;
    int waker = -1;
    std::atomic<bool> stopping {false};
    std::thread thread;
};

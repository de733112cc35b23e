#pragma once

#include <cstdint>

class QTcpServer;

// How the receiver port accepts. It never takes the process's last descriptors: accepting stops
// when an accepted connection leaves too few free, when an accept fails, or when the tick finds too
// few free for any other reason, and a communicator that calls meanwhile waits in the system's
// queue of connections instead of being accepted into a loop of failures. Once a second the tick
// looks whether there is room again, and accepting resumes. And it accepts a burst of connections
// in batches, letting the connections already open be read between them.
class Accept_Guard
{
public:
    static constexpr int Batch_Size = 128;

    explicit Accept_Guard(QTcpServer& server);

    // After each accepted descriptor; true when this paused accepting for want of descriptors.
    bool Accepted(std::intptr_t descriptor);
    // An accept failed (the server has paused itself).
    void Accept_Failed();
    // The one-second tick while the port is open; true when this paused accepting.
    bool Tick();
    // The port was closed.
    void Reset();

    bool Paused() const { return paused; }

private:
    void Stop_Accepting();
    void End_Batch();

    QTcpServer& server;
    int pending_limit; // the server's own, given back when accepting resumes
    std::int64_t alarm; // descriptor number that says the process runs short; renewed each tick
    int batch = 0; // accepted since the event loop last ran
    bool paused = false; // for want of descriptors, until the tick finds room
    bool yielding = false; // for the rest of this batch
};

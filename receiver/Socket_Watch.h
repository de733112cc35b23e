#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class QObject;

// Tells the receiver port which of its connections can be read or written. It costs the event
// loop one descriptor however many connections are open (where the system allows it), so ten
// thousand idle or garbage connections do not make every wake-up, every accept and every close
// cost ten thousand times more. Everything runs on the thread of its owner.
class Socket_Watch
{
public:
    // A watched descriptor is ready: its tag as given to Add, and what it is ready for. A hang-up
    // or an error counts as readable, so the read finds out.
    using Ready = std::function<void(void* tag, bool readable, bool writable)>;

    Socket_Watch(QObject& owner, Ready ready);
    ~Socket_Watch();
    Socket_Watch(const Socket_Watch&) = delete;
    Socket_Watch& operator=(const Socket_Watch&) = delete;

    // Watched for reading from now on; false when the system refuses it.
    bool Add(std::intptr_t descriptor, void* tag);
    // Whether it is also watched for room to write.
    void Want_Write(std::intptr_t descriptor, void* tag, bool wanted);
    // Before the descriptor is closed: no readiness of it is reported after this.
    void Remove(std::intptr_t descriptor);

private:
    struct State;
    std::unique_ptr<State> state;
};

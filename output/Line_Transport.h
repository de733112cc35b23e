#pragma once

#include "output/Link_State.h"

#include <chrono>
#include <cstddef>
#include <stop_token>

// What the monitoring thread sends its lines through: the TCP server side, the TCP client side or
// the serial port. One line is out at a time; the call returns once its answer came, the answer
// wait ran out or the wait was interrupted.
class Line_Transport
{
public:
    virtual ~Line_Transport() = default;

    // Monitoring thread: sends the line and waits up to `answer_wait` for its answer. Ends early,
    // as Interrupted, once the reply channel is set. `stop` bounds any hand-over to the window
    // thread on the way (a log line); `heartbeat` marks the link test line.
    virtual Line_Exchange Exchange(const char* line, std::size_t size, bool heartbeat,
        std::chrono::milliseconds answer_wait, std::stop_token stop)
        = 0;

protected:
    Line_Transport() = default;
    Line_Transport(const Line_Transport&) = delete;
    Line_Transport& operator=(const Line_Transport&) = delete;
};

// The answer that another thread puts into the reply channel (the serial receive thread, or the
// program's end), waited for up to `answer_wait`.
inline Line_Exchange Await_Reply_Channel(Reply_Channel& reply, std::chrono::milliseconds answer_wait)
{
    return {
        reply.Event.Wait_For(answer_wait) ? Line_Exchange::End::Interrupted : Line_Exchange::End::Silence};
}

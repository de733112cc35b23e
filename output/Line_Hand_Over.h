#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

class Manual_Reset_Event;
class QObject;
class Line_Hand_Over_Target;

// Hands the monitoring thread's report lines to the window thread, which alone touches the TCP
// sockets, and waits for the answer. Made for one outstanding line: the thread posts the line and
// goes straight to the answer wait instead of first waiting for the send as well, so a line costs
// one wake-up of the window thread and one of the monitoring thread (by the answer). The window
// thread wakes the monitoring thread itself only when there was nothing to send on.
class Line_Hand_Over
{
public:
    // Runs on the window thread; false when there is no connection to send on.
    using Sender = std::function<bool(const char* line, std::size_t size, bool heartbeat)>;

    enum class Result { Answered, No_Answer, No_Connection, Given_Up };

    // `window_object` lives on the window thread. `answer` is the answer event: reset by the caller
    // before Send_And_Await, set by whoever receives the answer byte, and by this class when there
    // was no connection.
    Line_Hand_Over(QObject* window_object, Sender sender, Manual_Reset_Event& answer);
    ~Line_Hand_Over();
    Line_Hand_Over(const Line_Hand_Over&) = delete;
    Line_Hand_Over& operator=(const Line_Hand_Over&) = delete;

    // Monitoring thread. The answer counts when it comes within `answer_wait` after the send (an
    // answer that came earlier, after the caller's reset, counts too). `line` is read on the window
    // thread and is left alone again when this returns. Given_Up: the stop came before the window
    // thread took the line, which is then never sent.
    Result Send_And_Await(const char* line, std::size_t size, bool heartbeat,
        std::chrono::milliseconds answer_wait, std::stop_token stop);

private:
    friend class Line_Hand_Over_Target;
    enum class State { Idle, Posted, Sending, Sent, No_Connection, Given_Up };
    using Clock = std::chrono::steady_clock;

    void Send_On_Window_Thread();
    // Until the window thread has dealt with the posted line, or the stop gives it up.
    State Wait_Until_Sent(std::stop_token stop, Clock::time_point& sent_at);

    Sender sender;
    Manual_Reset_Event& answer;
    std::unique_ptr<Line_Hand_Over_Target> target;

    // Guards everything below; the line's bytes are handed over with it too.
    std::mutex mutex;
    std::condition_variable_any sent_changed;
    State state = State::Idle;
    bool waiting = false; // the monitoring thread sleeps on sent_changed: only then is it notified
    const char* line = nullptr;
    std::size_t size = 0;
    bool heartbeat = false;
    Clock::time_point sent_at;
};

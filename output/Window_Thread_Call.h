#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <stop_token>

// Runs work on the window thread for a worker and waits until it has run: log lines, sounds and
// window refreshes are the window thread's alone. Unlike a blocking queued connection the wait
// gives up when the worker is asked to end, so a shutdown that stops serving the window thread's
// queue can never deadlock with a worker; work given up on is then never run.
class Window_Thread_Call
{
public:
    // `window_object` lives on the window thread; the work runs in its event loop.
    explicit Window_Thread_Call(QObject* window_object)
        : target(window_object)
    { }

    // True when the work has run; false when the stop came first.
    bool Run(std::function<void()> work, std::stop_token stop) const;

    // Queues work for the window thread without waiting for it.
    void Post(std::function<void()> work) const;

private:
    QObject* target;
};

// For the window thread itself, when it must wait for a worker that may be handing it work (a log
// line): serves timers, sockets and hand-overs, but no operator input, until `done` holds or
// `limit` has passed. True when `done` held.
bool Serve_Window_Thread_Until(const std::function<bool()>& done, std::chrono::milliseconds limit);

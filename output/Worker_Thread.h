#pragma once

#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

// The life of a worker thread that the program ends in order: started once, asked to end, waited
// for while the window thread keeps serving it, then joined, or let go when it did not end in
// time. A worker that was let go may still use what its owner holds, so the owner must then
// outlive the process.
class Worker_Thread
{
public:
    Worker_Thread() = default;
    ~Worker_Thread();
    Worker_Thread(const Worker_Thread&) = delete;
    Worker_Thread& operator=(const Worker_Thread&) = delete;

    // Runs `body` on the new thread; Finished() turns true as the very last thing it does.
    void Start(std::function<void(std::stop_token)> body);
    void Request_Stop() { thread.request_stop(); }
    bool Finished() const { return finished.load(std::memory_order_acquire); }
    // Joins a finished thread, lets an unfinished one go.
    void Release();

    // Sleeps, but wakes at once when the thread is asked to end.
    static void Pause(int milliseconds, std::stop_token stop);

private:
    std::atomic<bool> finished {false};
    std::jthread thread;
};

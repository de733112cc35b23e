#include "output/Worker_Thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

Worker_Thread::~Worker_Thread()
{
    if (thread.joinable()) {
        thread.request_stop();
        thread.join();
    }
}

void Worker_Thread::Start(std::function<void(std::stop_token)> body)
{
    finished.store(false, std::memory_order_release);
    thread = std::jthread([this, body = std::move(body)](std::stop_token stop) {
        body(stop);
        finished.store(true, std::memory_order_release);
    });
}

void Worker_Thread::Release()
{
    if (!thread.joinable())
        return;
    if (Finished())
        thread.join();
    else
        thread.detach();
}

void Worker_Thread::Pause(int milliseconds, std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, std::chrono::milliseconds(milliseconds), [] { return false; });
}

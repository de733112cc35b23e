#include "output/Window_Thread_Call.h"

#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

struct Call_State
{
    std::mutex Mutex;
    std::condition_variable_any Done_Changed;
    bool Running = false;
    bool Done = false;
    bool Abandoned = false;
};

} // namespace

bool Window_Thread_Call::Run(std::function<void()> work, std::stop_token stop) const
{
    auto state = std::make_shared<Call_State>();
    QMetaObject::invokeMethod(
        target,
        [state, work = std::move(work)] {
            {
                std::lock_guard lock(state->Mutex);
                if (state->Abandoned)
                    return;
                state->Running = true;
            }
            work();
            std::lock_guard lock(state->Mutex);
            state->Done = true;
            state->Done_Changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(state->Mutex);
    // A stop leaves the wait unless the work is already running: then it is finished first, as
    // it runs on the window thread and ends by itself.
    const auto done = [&] { return state->Done; };
    while (!state->Done) {
        if (!stop.stop_requested()) {
            state->Done_Changed.wait_for(lock, stop, std::chrono::milliseconds(100), done);
        } else if (!state->Running) {
            state->Abandoned = true;
            return false;
        } else {
            state->Done_Changed.wait_for(lock, std::chrono::milliseconds(100), done);
        }
    }
    return true;
}

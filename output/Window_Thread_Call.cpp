#include "output/Window_Thread_Call.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

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

// Qt's posted-event queue does order the hand-over, but behind locks that a thread checker cannot
// see into. Posting under this lock and taking it before touching what was handed over makes the
// ordering explicit: what the worker wrote before posting is visible to the work, provably.
std::mutex Hand_Over_Lock;

template<typename Work> void Post_Ordered(QObject* target, Work work)
{
    std::lock_guard lock(Hand_Over_Lock);
    QMetaObject::invokeMethod(
        target,
        [work = std::move(work)]() mutable {
            {
                std::lock_guard seen(Hand_Over_Lock);
            }
            work();
        },
        Qt::QueuedConnection);
}

} // namespace

void Window_Thread_Call::Post(std::function<void()> work) const
{
    Post_Ordered(target, std::move(work));
}

bool Window_Thread_Call::Run(std::function<void()> work, std::stop_token stop) const
{
    auto state = std::make_shared<Call_State>();
    Post_Ordered(target, [state, work = std::move(work)] {
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
    });

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

bool Serve_Window_Thread_Until(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    // The worker's progress posts nothing here by itself: the tick makes sure `done` is looked at
    // again soon, while socket and hand-over events wake the loop at once.
    QTimer tick;
    tick.start(5);
    QEventLoop loop;
    while (!done()) {
        if (clock.elapsed() >= limit.count())
            return false;
        loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

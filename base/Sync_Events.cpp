#include "base/Sync_Events.h"

#include <thread>

void Manual_Reset_Event::Set()
{
    {
        // The store happens under the mutex so that a waiter between its test and its sleep
        // cannot miss the wake-up.
        std::lock_guard lock(mutex);
        signalled.store(true);
    }
    changed.notify_all();
}

void Manual_Reset_Event::Reset()
{
    std::lock_guard lock(mutex);
    signalled.store(false);
}

bool Manual_Reset_Event::Wait_For(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [this] { return Is_Set(); });
}

bool Manual_Reset_Event::Wait(std::stop_token stop)
{
    std::unique_lock lock(mutex);
    return changed.wait(lock, stop, [this] { return Is_Set(); });
}

Store_Gate_Fence::Store_Gate_Fence(Manual_Reset_Event& store_gate, std::function<void()> drain)
    : gate(store_gate)
{
    gate.Reset();
    std::this_thread::sleep_for(Store_Gate_Settle_Time);
    if (drain)
        drain();
}

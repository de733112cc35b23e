#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>

// An event that stays signalled until it is reset; any number of threads may wait for it.
class Manual_Reset_Event
{
public:
    explicit Manual_Reset_Event(bool initially_set = false)
        : signalled(initially_set)
    { }
    Manual_Reset_Event(const Manual_Reset_Event&) = delete;
    Manual_Reset_Event& operator=(const Manual_Reset_Event&) = delete;

    void Set();
    void Reset();

    // The zero-wait test; needs no lock, so a pass may poll it before every slot. Sequentially
    // consistent, like Set and Reset, so a worker that announces work and then tests the gate
    // pairs with a window thread that closes the gate and then looks for that work.
    bool Is_Set() const { return signalled.load(); }

    // True when the event was signalled within the time-out.
    bool Wait_For(std::chrono::milliseconds timeout);

    // Waits without time-out, but gives up when the waiting thread is asked to end: a worker
    // blocked here must still leave at shutdown, which resets the gate for good. True when the
    // event was signalled, false when the stop was requested.
    bool Wait(std::stop_token stop);

private:
    std::atomic<bool> signalled;
    std::mutex mutex;
    std::condition_variable_any changed;
};

// An event that one zero-wait poll consumes.
class Auto_Reset_Event
{
public:
    Auto_Reset_Event() = default;
    Auto_Reset_Event(const Auto_Reset_Event&) = delete;
    Auto_Reset_Event& operator=(const Auto_Reset_Event&) = delete;

    void Set() { signalled.store(true, std::memory_order_release); }

    // True when the event was signalled; it is clear again afterwards.
    bool Try_Take() { return signalled.exchange(false, std::memory_order_acq_rel); }

private:
    std::atomic<bool> signalled {false};
};

// Whole-store changes on the window thread (clearing the events, deleting objects) close the store
// gate and give a pass of the output thread this long to notice before they touch the block.
inline constexpr std::chrono::milliseconds Store_Gate_Settle_Time {50};

// Closes the gate, waits the settle time and then the drain; opens the gate again on every way out
// of the scope. A line the output thread sent before the gate closed is still answered and marked
// after it: the drain waits for that (bounded), so a bulk change never races a late
// acknowledgement. An empty drain waits for nothing more.
class Store_Gate_Fence
{
public:
    // The drain is taken by value: it serves the window thread, where the program end may clear
    // the store's hook while this copy still runs.
    Store_Gate_Fence(Manual_Reset_Event& store_gate, std::function<void()> drain);
    ~Store_Gate_Fence() { gate.Set(); }
    Store_Gate_Fence(const Store_Gate_Fence&) = delete;
    Store_Gate_Fence& operator=(const Store_Gate_Fence&) = delete;

private:
    Manual_Reset_Event& gate;
};

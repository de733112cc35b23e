#pragma once

#include "app/Log_Writer.h"
#include "output/Window_Thread_Call.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class Event_Store;
class Object_Table;
class Manual_Reset_Event;
struct Settings_Record;

// The worker that keeps the event file current and delivers events to the automation software.
// It repeats one cycle with a 50 ms pause until it is asked to end. It never touches a window:
// everything it shows runs on the window thread through a call it waits for.
class Monitoring_Thread
{
public:
    struct Links
    {
        Settings_Record& Settings;
        Event_Store& Events;
        Object_Table& Objects;
        Manual_Reset_Event& Store_Gate;
    };

    // Work for the window thread; each may stay empty.
    struct Window_Work
    {
        std::function<void(const std::string& text, Log_Colour colour)> Log;
        std::function<void()> Beep;
        std::function<void()> Refresh_Event_List;
    };

    Monitoring_Thread(Links links, Window_Thread_Call window_call, Window_Work work);
    ~Monitoring_Thread();
    Monitoring_Thread(const Monitoring_Thread&) = delete;
    Monitoring_Thread& operator=(const Monitoring_Thread&) = delete;

    void Start();
    void Request_Stop();
    // Set as the very last thing the thread does; shutdown waits on it.
    bool Finished() const { return finished.load(std::memory_order_acquire); }
    // After Finished(): joins. A thread that did not finish is let go, and whatever it uses must
    // then stay allocated until the process ends.
    void Release();

    static constexpr int Cycle_Pause_Ms = 50;
    static constexpr int Failure_Pause_Ms = 2000;

private:
    void Execute(std::stop_token stop);
    bool Save_Pass(std::stop_token stop);
    void Log_Error(const std::string& text, std::stop_token stop);
    void Pause(int milliseconds, std::stop_token stop);

    Links links;
    Window_Thread_Call window_call;
    Window_Work work;
    std::jthread thread;
    std::atomic<bool> finished {false};
};

#include "output/Monitoring_Thread.h"

#include "store/Event_Store.h"
#include "store/Sync_Events.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

Monitoring_Thread::Monitoring_Thread(Links links_, Window_Thread_Call window_call_, Window_Work work_)
    : links(links_)
    , window_call(window_call_)
    , work(std::move(work_))
{ }

Monitoring_Thread::~Monitoring_Thread()
{
    if (thread.joinable()) {
        thread.request_stop();
        thread.join();
    }
}

void Monitoring_Thread::Start()
{
    finished.store(false, std::memory_order_release);
    thread = std::jthread([this](std::stop_token stop) { Execute(stop); });
}

void Monitoring_Thread::Request_Stop()
{
    thread.request_stop();
}

void Monitoring_Thread::Release()
{
    if (!thread.joinable())
        return;
    if (Finished())
        thread.join();
    else
        thread.detach();
}

void Monitoring_Thread::Pause(int milliseconds, std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, std::chrono::milliseconds(milliseconds), [] { return false; });
}

void Monitoring_Thread::Log_Error(const std::string& text, std::stop_token stop)
{
    window_call.Run(
        [this, text] {
            if (work.Log)
                work.Log(text, Log_Red);
            if (work.Beep)
                work.Beep();
        },
        stop);
}

void Monitoring_Thread::Execute(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        // Closed while the window thread rewrites a store in bulk, and for good at shutdown.
        if (!links.Store_Gate.Wait(stop))
            break;
        Save_Pass(stop);
        Pause(Cycle_Pause_Ms, stop);
    }
    finished.store(true, std::memory_order_release);
}

bool Monitoring_Thread::Save_Pass(std::stop_token stop)
{
    const Save_Result saved = links.Events.Save_New_Events();
    if (saved.Result.Failed()) {
        Log_Error(Event_File_Failure_Text(saved.Result), stop);
        Pause(Failure_Pause_Ms, stop);
    }
    if (saved.File_Opened && work.Refresh_Event_List)
        window_call.Run(work.Refresh_Event_List, stop);
    return !saved.Result.Failed();
}

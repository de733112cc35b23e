#pragma once

#include "base/Log_Writer.h"
#include "output/Window_Thread_Call.h"
#include "output/Worker_Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

class Comm_Port;
class Manual_Reset_Event;

// Watches the serial port for the automation software's answers while the serial transport is in
// use and hands every ACK or NAK to the output thread. It polls every 5 ms and reads only bytes
// already waiting, so it never blocks on the port; every wait ends at once when it is asked to end.
class AT_Rec_Thread
{
public:
    struct Links
    {
        Comm_Port& Port;
        std::atomic<std::uint32_t>& Link_State; // read only: 0 means no transport is up
        std::atomic<std::uint8_t>& Reply_Byte; // written before Reply_Event is set
        Manual_Reset_Event& Reply_Event;
    };

    // What happened, for the window thread, where each runs; each may stay empty.
    struct Reports
    {
        std::function<void(const std::string& text, Log_Colour colour)> Log;
        std::function<void()> Fault_Beep;
    };

    AT_Rec_Thread(Links links, Window_Thread_Call window_call, Reports reports);
    AT_Rec_Thread(const AT_Rec_Thread&) = delete;
    AT_Rec_Thread& operator=(const AT_Rec_Thread&) = delete;

    void Start()
    {
        worker.Start([this](std::stop_token stop) { Execute(stop); });
    }
    void Request_Stop() { worker.Request_Stop(); }
    bool Finished() const { return worker.Finished(); }
    void Release() { worker.Release(); }

    // The operating system's code of the last receive error; 0 until one happened.
    std::int32_t Last_Error() const { return serial_error.load(std::memory_order_acquire); }

    static constexpr int Poll_Pause_Ms = 5;
    static constexpr int Error_Pause_Ms = 1000;

private:
    void Execute(std::stop_token stop);
    void Poll(std::stop_token stop);
    void Report_Error(std::int32_t system_code, std::stop_token stop);
    void Report_Failure(const std::string& text, std::stop_token stop);

    Links links;
    Window_Thread_Call window_call;
    Reports reports;
    std::atomic<std::int32_t> serial_error {0};
    Worker_Thread worker; // last: it starts after, and is joined before, everything it uses
};

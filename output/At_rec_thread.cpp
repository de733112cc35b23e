#include "output/At_rec_thread.h"

#include "base/Sync_Events.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"

#include <exception>
#include <string>

AT_Rec_Thread::AT_Rec_Thread(Links links_, Window_Thread_Call window_call_, Reports reports_)
    : links(links_)
    , window_call(window_call_)
    , reports(std::move(reports_))
{ }

void AT_Rec_Thread::Execute(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        // A failure nobody foresaw must not end the answer channel for the rest of the run.
        try {
            Poll(stop);
        } catch (const std::exception& error) {
            Report_Failure(std::string("Serial receive thread error: ") + error.what(), stop);
        } catch (...) {
            Report_Failure("Serial receive thread error: unknown exception.", stop);
        }
        Worker_Thread::Pause(Poll_Pause_Ms, stop);
    }
}

void AT_Rec_Thread::Poll(std::stop_token stop)
{
    // With a TCP transport up the serial port is closed, and the thread only sleeps.
    if (links.Link_State.load(std::memory_order_acquire) == 0 || !links.Port.Is_Open())
        return;
    try {
        while (!stop.stop_requested() && links.Port.Bytes_Waiting() > 0) {
            const std::uint8_t byte = links.Port.Read_Byte();
            if (byte == Answer_ACK || byte == Answer_NAK) {
                // The byte is published before the event: the output thread reads it after its wait.
                links.Reply_Byte.store(byte, std::memory_order_release);
                links.Reply_Event.Set();
            }
        }
    } catch (const ECommError& error) {
        // Closed by the window thread after the test above: the transport was shut, nothing failed.
        if (error.Code == Comm_Error_Not_Open)
            return;
        Report_Error(error.System_Code, stop);
        Worker_Thread::Pause(Error_Pause_Ms, stop);
    }
}

void AT_Rec_Thread::Report_Error(std::int32_t system_code, std::stop_token stop)
{
    serial_error.store(system_code, std::memory_order_release);
    window_call.Run(
        [this, system_code] {
            if (reports.Log)
                reports.Log("Serial Port Error: " + std::to_string(system_code), Log_Red);
            if (reports.Fault_Beep)
                reports.Fault_Beep();
        },
        stop);
}

void AT_Rec_Thread::Report_Failure(const std::string& text, std::stop_token stop)
{
    window_call.Run(
        [this, text] {
            if (reports.Log)
                reports.Log(text, Log_Red);
        },
        stop);
    Worker_Thread::Pause(Error_Pause_Ms, stop);
}

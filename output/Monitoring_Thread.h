#pragma once

#include "base/Log_Writer.h"
#include "base/Settings_Record.h"
#include "output/Line_Transport.h"
#include "output/Link_State.h"
#include "output/Report_Line.h"
#include "output/Window_Thread_Call.h"
#include "output/Worker_Thread.h"
#include "store/Event_Store.h"
#include "store/Write_Health.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class Event_Store;
class Object_Table;
class Manual_Reset_Event;

// The worker that keeps the event file current and delivers events to the automation software.
// Each cycle: heartbeat, save pass, supervision lines, event lines, then a 50 ms pause, until it
// is asked to end. At most one line is outstanding at any time. It never touches a window: what
// it reports runs on the window thread. It sends each line through the transport the settings
// choose (Transports) and waits there for its answer.
class Monitoring_Thread
{
public:
    struct Links
    {
        Settings_Record& Settings;
        Event_Store& Events;
        Object_Table& Objects;
        Manual_Reset_Event& Store_Gate;
        Reply_Channel& Reply;
        std::atomic<std::uint32_t>& Link_State;
        // Whether anyone shows raw traffic: while false, an answer is not even handed over.
        const std::atomic<bool>& Raw_Traffic_Wanted;
    };

    // What happened, for the window thread, where each runs; each may stay empty.
    struct Reports
    {
        std::function<void(const std::string& text, Log_Colour colour)> Log;
        std::function<void()> Fault_Beep;
        // A save or marking pass had the event file open: stored states may have changed.
        std::function<void()> Events_Saved;
        // The automation software answered the first heartbeat of a link.
        std::function<void()> Link_Confirmed;
        // Not awaited: an answer byte, with the time it arrived, for the raw traffic.
        std::function<void(std::uint8_t answer, std::chrono::system_clock::time_point when)> Answer_Received;
    };

    // The sides lines go through; Output_Transport::Tcp picks the server or the client by the
    // cycle's Mon_Server_Mode. Closed sends nothing and only waits on the reply channel.
    struct Transports
    {
        Line_Transport& Tcp_Server;
        Line_Transport& Tcp_Client;
        Line_Transport& Serial;
    };

    Monitoring_Thread(Links links, Window_Thread_Call window_call, Reports reports, Transports transports);
    Monitoring_Thread(const Monitoring_Thread&) = delete;
    Monitoring_Thread& operator=(const Monitoring_Thread&) = delete;

    void Start()
    {
        worker.Start([this](std::stop_token stop) { Execute(stop); });
    }
    void Request_Stop() { worker.Request_Stop(); }
    bool Finished() const { return worker.Finished(); }
    void Release() { worker.Release(); }

    // For bulk changes of the stores: after closing the store gate, wait until a line that was
    // already under way has been answered and marked (bounded by `limit`). True when none is.
    bool Wait_Until_No_Line(std::chrono::milliseconds limit) const;

    static constexpr int Cycle_Pause_Ms = 50;
    static constexpr int Failure_Pause_Ms = 2000;
    static constexpr int Answer_Wait_Ms = 2000;

private:
    enum class Answer { None, Ack, Nak, Other, No_Connection };
    enum class Next { Go_On, End_Cycle };
    enum class Line_Kind { Heartbeat, Supervision, Event };

    void Execute(std::stop_token stop);
    void Cycle(std::stop_token stop);
    void Heartbeat_Step(std::stop_token stop);
    void Save_Pass(std::stop_token stop);
    void Note_Event_File(const Event_File_Result& result, bool written, std::stop_token stop);
    Next Supervision_Pass(std::stop_token stop);
    void Event_Pass(std::stop_token stop);
    bool Unsaved(std::uint32_t slot) const;
    Answer Send_And_Await(std::size_t size, Line_Kind kind, std::stop_token stop);
    Line_Exchange Exchange(std::size_t size, Line_Kind kind, std::stop_token stop);
    void Hand_Over_Answer(std::uint8_t answer);
    bool Claim_Line();
    void Log(const std::string& text, Log_Colour colour, bool beep, std::stop_token stop);
    void Link_Error(const char* text, std::stop_token stop) { Log(text, Log_Red, true, stop); }
    void Report_Events_Saved(std::stop_token stop);
    static void Pause(int milliseconds, std::stop_token stop) { Worker_Thread::Pause(milliseconds, stop); }
    bool Link_Ready() const;

    Links links;
    Window_Thread_Call window_call;
    Reports reports;
    Transports transports;
    Report_Line line {};
    // This cycle's copy of the settings, taken on the window thread at its start.
    Settings_Record settings {};
    // Milliseconds of the steady clock; 0 means due at once.
    std::int64_t next_heartbeat = 0;
    // Next_Slot when the last save pass began: the same value means nothing new to save (after
    // exactly a full ring of appends the cycle's own save pass takes them).
    std::uint32_t next_slot_at_save = 0;
    std::atomic<bool> line_outstanding {false};
    Write_Health event_file_health; // this thread's own
    Worker_Thread worker; // last: it starts after, and is joined before, everything it uses
};

#include "output/Monitoring_Thread.h"

#include "base/Sync_Events.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"
#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "store/Object_Table.h"

#include <exception>
#include <string>

namespace {

std::int64_t Steady_Ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

Monitoring_Thread::Monitoring_Thread(
    Links links_, Window_Thread_Call window_call_, Window_Work work_, Tcp_Exchange exchange_tcp_)
    : links(links_)
    , window_call(window_call_)
    , work(std::move(work_))
    , exchange_tcp(std::move(exchange_tcp_))
{ }

bool Monitoring_Thread::Wait_Until_No_Line(std::chrono::milliseconds limit) const
{
    // The line may still need the window thread: a log line on its way.
    return Serve_Window_Thread_Until([this] { return !line_outstanding.load(); }, limit);
}

// Marks a line as under way, then looks at the gate: with both sides using sequentially
// consistent operations, either this thread sees a closed gate or the window thread, having
// closed it, sees the line and waits for it.
bool Monitoring_Thread::Claim_Line()
{
    line_outstanding.store(true);
    if (links.Store_Gate.Is_Set())
        return true;
    line_outstanding.store(false);
    return false;
}

void Monitoring_Thread::Log(const std::string& text, Log_Colour colour, bool beep, std::stop_token stop)
{
    window_call.Run(
        [this, text, colour, beep] {
            if (work.Log)
                work.Log(text, colour);
            if (beep && work.Beep)
                work.Beep();
        },
        stop);
}

void Monitoring_Thread::Refresh_Event_List(std::stop_token stop)
{
    if (work.Refresh_Event_List)
        window_call.Run(work.Refresh_Event_List, stop);
}

bool Monitoring_Thread::Link_Ready() const
{
    return links.Link_State.load() == ::Link_Ready;
}

void Monitoring_Thread::Execute(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        // Closed while the window thread rewrites a store in bulk, and for good at shutdown.
        if (!links.Store_Gate.Wait(stop))
            break;
        // The window thread changes the settings on every keystroke; the cycle works on a copy
        // taken there, so no field is ever read while it is being written.
        if (!window_call.Run([this] { settings = links.Settings; }, stop))
            break;
        // A failure nobody foresaw must not end the deliveries for the rest of the run.
        try {
            Cycle(stop);
        } catch (const std::exception& error) {
            line_outstanding.store(false);
            Log(std::string("Output thread error: ") + error.what(), Log_Red, true, stop);
        } catch (...) {
            line_outstanding.store(false);
            Log("Output thread error: unknown exception.", Log_Red, true, stop);
        }
        Pause(Cycle_Pause_Ms, stop);
    }
}

void Monitoring_Thread::Cycle(std::stop_token stop)
{
    Heartbeat_Step(stop);
    Save_Pass(stop);
    if (Link_Ready() && Supervision_Pass(stop) == Next::Go_On && Link_Ready())
        Event_Pass(stop);
}

void Monitoring_Thread::Heartbeat_Step(std::stop_token stop)
{
    if (links.Link_State.load() == 0) {
        next_heartbeat = 0;
        return;
    }
    const std::int32_t period = settings.Test_Heartbeat_Period;
    if (period == 0) {
        links.Link_State.fetch_or(Link_Confirmed);
        return;
    }
    const std::int64_t now = Steady_Ms();
    if (now <= next_heartbeat)
        return;
    // Counted from one send to the next. A negative period puts the next one in the past, so a
    // heartbeat goes out every cycle.
    next_heartbeat = now + static_cast<std::int64_t>(period) * 1000;

    const std::size_t size = Format_Heartbeat_Line(settings.Test_Rec_Nr, line);
    switch (Send_And_Await(size, Line_Kind::Heartbeat, stop)) {
    case Answer::None:
        Link_Error("Link error (heartbeat): no ACK from automation software.", stop);
        links.Link_State.fetch_and(~Link_Confirmed);
        break;
    case Answer::Nak:
        Link_Error("Link error (heartbeat): negative ACK from automation software.", stop);
        break;
    case Answer::Ack:
        if ((links.Link_State.load() & Link_Confirmed) == 0) {
            Log("Connection with automation software established.", Log_Black, false, stop);
            if (work.Play_Notification)
                window_call.Run(work.Play_Notification, stop);
        }
        links.Link_State.fetch_or(Link_Confirmed);
        break;
    case Answer::Other:
    case Answer::No_Connection:
        break;
    }
}

void Monitoring_Thread::Note_Event_File(const Event_File_Result& result, bool written, std::stop_token stop)
{
    // One red line when the event file starts failing and one when it works again; the records
    // not yet written stay new in the ring and go out with the next pass that succeeds.
    if (!result.Failed() && !written)
        return;
    switch (event_file_health.Note(result.Failed() ? (result.Error != 0 ? result.Error : -1) : 0)) {
    case Write_Change::Started_Failing:
        Log(Event_File_Failure_Text(result), Log_Red, true, stop);
        break;
    case Write_Change::Working_Again:
        Log("Event file written again.", Log_Black, false, stop);
        break;
    case Write_Change::None:
        break;
    }
}

void Monitoring_Thread::Save_Pass(std::stop_token stop)
{
    // Read before the walk, so that an append during it is taken by the next pass.
    next_slot_at_save = links.Events.Next_Slot();
    const Save_Result saved = links.Events.Save_New_Events();
    Note_Event_File(saved.Result, saved.File_Opened, stop);
    if (saved.Result.Failed())
        Pause(Failure_Pause_Ms, stop);
    if (saved.File_Opened)
        Refresh_Event_List(stop);
}

Monitoring_Thread::Next Monitoring_Thread::Supervision_Pass(std::stop_token stop)
{
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        if (!links.Store_Gate.Is_Set() || stop.stop_requested())
            return Next::Go_On;
        if ((links.Objects.Supervision_Flags(position) & Flag_Report) == 0)
            continue;
        // Many objects failing at once make a long pass: events acknowledged meanwhile reach
        // the file between its lines, as they do between event lines.
        Save_Pass(stop);
        if (!Claim_Line())
            return Next::Go_On;
        const Object_Record reported = links.Objects.Copy_Object(position);
        const std::size_t size
            = Format_Report_Line(Supervision_Record(reported), settings.Report_Format, line);
        const Answer answer = Send_And_Await(size, Line_Kind::Supervision, stop);
        if (answer == Answer::Ack)
            links.Objects.Clear_Flag_Report(position, reported);
        line_outstanding.store(false);

        switch (answer) {
        case Answer::Ack:
            continue;
        case Answer::None:
            Link_Error("Link error (ping): no ACK from automation software.", stop);
            links.Link_State.fetch_and(~Link_Confirmed);
            return Next::End_Cycle;
        case Answer::Nak:
            Link_Error("Link error (ping): negative ACK from automation software.", stop);
            Pause(Failure_Pause_Ms, stop);
            return Next::Go_On;
        case Answer::Other:
            return Next::Go_On;
        case Answer::No_Connection:
            return Next::End_Cycle;
        }
    }
    return Next::Go_On;
}

bool Monitoring_Thread::Unsaved(std::uint32_t slot) const
{
    return (links.Events.Status(slot) & (Status_Used | Status_Saved)) == Status_Used;
}

void Monitoring_Thread::Event_Pass(std::stop_token stop)
{
    Event_File_Pass pass;
    bool go_on = true;
    for (std::uint32_t slot = 0; go_on && slot < Event_Slot_Count; ++slot) {
        if (!links.Store_Gate.Is_Set() || stop.stop_requested())
            break;
        // Appended after the last save walk had passed this slot: saved now, or a newer event in
        // a higher slot would reach the automation software before it (a restore before its
        // alarm). While the file fails, the slot stays unsaved and is passed over as before.
        if (Unsaved(slot) && links.Events.Next_Slot() != next_slot_at_save)
            Save_Pass(stop);
        if ((links.Events.Status(slot) & (Status_Saved | Status_Reported)) != Status_Saved)
            continue;
        Event_Copy sent;
        if (!links.Events.Copy_Event(slot, sent) || Fixed_Text(sent.Record.Qualifier_Event) == "NULL")
            continue;
        // A slow automation software must not leave newly acknowledged events only in memory. The
        // whole ring is walked again only after an append, not for every line of a backlog.
        if (links.Events.Next_Slot() != next_slot_at_save)
            Save_Pass(stop);
        if (!Claim_Line())
            break;
        const std::size_t size = Format_Report_Line(sent.Record, settings.Report_Format, line);
        const Answer answer = Send_And_Await(size, Line_Kind::Event, stop);
        // The generation keeps an answer from marking a newer event that took over the slot.
        const Event_File_Result marked = answer == Answer::Ack
            ? links.Events.Mark_Event_Reported(pass, slot, sent.Generation)
            : Event_File_Result {};
        // Done before any logging or pausing: a bulk change waiting for this line goes on at once.
        line_outstanding.store(false);
        switch (answer) {
        case Answer::Ack: {
            Note_Event_File(marked, true, stop);
            if (marked.Failed()) {
                Pause(Failure_Pause_Ms, stop);
                go_on = false;
            }
            break;
        }
        case Answer::None:
            Link_Error("Link error (data): no ACK from automation software.", stop);
            links.Link_State.fetch_and(~Link_Confirmed);
            go_on = false;
            break;
        case Answer::Nak:
            Link_Error("Link error (data): negative ACK from automation software.", stop);
            Pause(Failure_Pause_Ms, stop);
            go_on = false;
            break;
        case Answer::Other:
        case Answer::No_Connection:
            go_on = false;
            break;
        }
    }
    if (pass.File_Opened()) {
        pass.Close();
        Refresh_Event_List(stop);
    }
}

void Monitoring_Thread::Send_Serial(std::stop_token stop)
{
    Comm_Port& port = links.Serial_Port;
    // A closed port sends nothing; the answer wait then reports the missing answer.
    if (!port.Is_Open())
        return;
    try {
        port.Write(line);
    } catch (const ECommError& error) {
        Log("COM port error: " + std::to_string(error.System_Code), Log_Red, false, stop);
    }
}

Monitoring_Thread::Answer Monitoring_Thread::Send_And_Await(
    std::size_t size, Line_Kind kind, std::stop_token stop)
{
    links.Reply.Byte.store(0);
    links.Reply.Event.Reset();

    const auto answer_wait = std::chrono::milliseconds(Answer_Wait_Ms);
    std::uint8_t answer = 0;
    if (settings.Out_Port_Type == 1) {
        // Sent and answered on this thread.
        const Line_Exchange exchange = exchange_tcp ? exchange_tcp(line, size, kind == Line_Kind::Heartbeat,
                                           settings.Mon_Server_Mode == 1, answer_wait)
                                                    : Line_Exchange {Line_Exchange::End::No_Connection};
        switch (exchange.How) {
        case Line_Exchange::End::No_Connection:
            links.Link_State.store(0);
            return Answer::No_Connection;
        case Line_Exchange::End::Silence:
            return Answer::None;
        case Line_Exchange::End::Answer:
            answer = exchange.Answer;
            break;
        case Line_Exchange::End::Interrupted:
            answer = links.Reply.Byte.load(std::memory_order_acquire);
            break;
        }
    } else {
        if (settings.Out_Port_Type == 2)
            Send_Serial(stop);
        // The serial receive thread delivers the answer.
        if (!links.Reply.Event.Wait_For(answer_wait))
            return Answer::None;
        answer = links.Reply.Byte.load(std::memory_order_acquire);
    }
    if (work.Show_Answer)
        work.Show_Answer(answer, std::chrono::system_clock::now());
    if (answer == Answer_ACK)
        return Answer::Ack;
    if (answer == Answer_NAK)
        return Answer::Nak;
    return Answer::Other;
}

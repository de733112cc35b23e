#include "output/Monitoring_Thread.h"

#include "base/Sync_Events.h"
#include "output/Link_State.h"
#include "output/Output_Transport.h"
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
    Links links_, Window_Thread_Call window_call_, Reports reports_, Transports transports_)
    : links(links_)
    , window_call(window_call_)
    , reports(std::move(reports_))
    , transports(transports_)
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
            if (reports.Log)
                reports.Log(text, colour);
            if (beep && reports.Fault_Beep)
                reports.Fault_Beep();
        },
        stop);
}

void Monitoring_Thread::Report_Events_Saved(std::stop_token stop)
{
    if (reports.Events_Saved)
        window_call.Run(reports.Events_Saved, stop);
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
            if (reports.Link_Confirmed)
                window_call.Run(reports.Link_Confirmed, stop);
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
        Report_Events_Saved(stop);
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
        Report_Events_Saved(stop);
    }
}

Line_Exchange Monitoring_Thread::Exchange(std::size_t size, Line_Kind kind, std::stop_token stop)
{
    const auto answer_wait = std::chrono::milliseconds(Answer_Wait_Ms);
    const bool heartbeat = kind == Line_Kind::Heartbeat;
    switch (Transport_Of(settings)) {
    case Output_Transport::Tcp:
        return (settings.Mon_Server_Mode == 1 ? transports.Tcp_Server : transports.Tcp_Client)
            .Exchange(line, size, heartbeat, answer_wait, stop);
    case Output_Transport::Serial:
        return transports.Serial.Exchange(line, size, heartbeat, answer_wait, stop);
    case Output_Transport::Closed:
        break;
    }
    return Await_Reply_Channel(links.Reply, answer_wait);
}

void Monitoring_Thread::Hand_Over_Answer(std::uint8_t answer)
{
    // Not awaited: the answer's line waits its turn on the window thread. Not even handed over
    // while nobody shows raw traffic: it would wake the window thread once more for every line
    // forwarded.
    if (!reports.Answer_Received || !links.Raw_Traffic_Wanted.load(std::memory_order_relaxed))
        return;
    window_call.Post([show = reports.Answer_Received, answer, when = std::chrono::system_clock::now()] {
        show(answer, when);
    });
}

Monitoring_Thread::Answer Monitoring_Thread::Send_And_Await(
    std::size_t size, Line_Kind kind, std::stop_token stop)
{
    links.Reply.Byte.store(0);
    links.Reply.Event.Reset();

    std::uint8_t answer = 0;
    const Line_Exchange exchange = Exchange(size, kind, stop);
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
    Hand_Over_Answer(answer);
    if (answer == Answer_ACK)
        return Answer::Ack;
    if (answer == Answer_NAK)
        return Answer::Nak;
    return Answer::Other;
}

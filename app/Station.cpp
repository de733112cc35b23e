#include "app/Station.h"

#include "app/Data_Folder_Access.h"
#include "app/Process_Setup.h"
#include "app/Service_Watchdog.h"
#include "app/Settings_Folder.h"
#include "app/Virtual_Ports.h"
#include "base/Data_Log_Time_Stamp.h"
#include "base/Settings_File.h"
#include "base/System_Error.h"
#include "output/At_rec_thread.h"
#include "output/Com_Ports.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"
#include "output/Monitoring_Thread.h"
#include "output/Output_Link.h"
#include "output/Output_Serial.h"
#include "output/Output_Tcp_Client.h"
#include "output/Output_Tcp_Server.h"
#include "receiver/Account_File.h"
#include "receiver/Receiver_Port.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"
#include "store/Supervision_Timer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>

namespace {

constexpr int Worker_Wait_Ms = 5000;

QString Host_IPv4(const QString& host)
{
    for (const QHostAddress& address : QHostInfo::fromName(host).addresses()) {
        bool is_ipv4 = false;
        const quint32 value = address.toIPv4Address(&is_ipv4);
        if (is_ipv4)
            return QString::asprintf(
                "%d.%d.%d.%d", (value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    return QStringLiteral("0.0.0.0");
}

} // namespace

Station::Station() = default;

Station::~Station() = default;

Station::Start_Result Station::Start()
{
    folder = Locate_Settings_Folder();
    if (!Ensure_Settings_Folder(folder))
        return Start_Result::No_Settings_Folder;
    if (!instance.Acquire("Velmor.exe", folder))
        return Start_Result::Already_Running;
    Raise_Descriptor_Limit();
    log = std::make_unique<Log_Writer>(folder);
    for (const std::string& line : Restrict_Data_Folder_Access(folder))
        log->Log_Message(line, Log_Red);
    settings_path = folder + Settings_File_Name;
    watchdog = std::make_unique<Service_Watchdog>();

    Load_Stores();
    serial_port = std::make_unique<Comm_Port>();
    Create_Receiver();
    supervision = std::make_unique<Supervision_Timer>(*objects, object_changed);
    connect(supervision.get(), &Supervision_Timer::Objects_Changed, this, &Station::Objects_Changed);
    connect(supervision.get(), &Supervision_Timer::Objects_Failed, this,
        [this](const QStringList& failed_accounts, int count) {
            // An object fails once per time-out at most: a line per account, but one tick of a
            // whole network going down names a few and counts the rest.
            for (const QString& account : failed_accounts)
                log->Log_Message(
                    "Object failed: " + account.toStdString() + " (nothing received within its time-out)",
                    Log_Red);
            if (count > failed_accounts.size())
                log->Log_Message(
                    "Objects failed: " + std::to_string(count - failed_accounts.size()) + " more", Log_Red);
            emit Objects_Failed(count);
        });
    supervision->Start();
    Create_Output_Side();

    receiver->Start();
    output_link->Start();
    serial_receiver->Start();
    monitor->Start();
    // A bulk change of a store waits for a line that is awaiting its answer, at most as long as
    // the answer wait plus a file write.
    const auto drain = [this] { monitor->Wait_Until_No_Line(std::chrono::milliseconds(2500)); };
    events->Set_Bulk_Change_Drain(drain);
    objects->Set_Bulk_Change_Drain(drain);

    watchdog->Start();
    Watch_Termination_Requests(this, [this] {
        End();
        QCoreApplication::exit(0);
    });
    started = true;
    return Start_Result::Started;
}

void Station::Load_Stores()
{
    events = std::make_unique<Event_Store>(store_gate);
    pending_event_message = events->Load_Event_File(folder + "tarvel.dat");
    Report_Settings_Load(Load_Settings(settings_path, settings, &settings_damage));
    objects = std::make_unique<Object_Table>(store_gate, object_lock);
    pending_object_message = objects->Load_Object_File(folder + "latevn.dat");
    objects->Set_Write_State_Hook([this](const std::string& text, bool failing) {
        log->Log_Message(text, failing ? Log_Red : Log_Black);
    });
}

void Station::Report_Settings_Load(Settings_Load outcome)
{
    const std::string in_use = "default settings in use, receiver port closed";
    const std::string error = System_Error_Text(settings_damage.Error);
    std::string line;
    if (outcome == Settings_Load::Read_Failed)
        line = "Settings file read error: default settings in use, " + settings_path + " left unchanged.";
    else if (outcome == Settings_Load::Not_Opened)
        line = "Settings file " + settings_path + " can't be opened (" + error + "): " + in_use
            + ", the file left unchanged.";
    else if (outcome == Settings_Load::Damaged && !settings_damage.Kept_As.empty())
        line = "Settings file " + settings_path + " is damaged (" + settings_damage.Reason + "): kept as "
            + settings_damage.Kept_As + ", " + in_use + ".";
    else if (outcome == Settings_Load::Damaged)
        line = "Settings file " + settings_path + " is damaged (" + settings_damage.Reason
            + ") and can't be kept aside (" + error + "): " + in_use + ", the file left unchanged.";
    if (!line.empty())
        log->Log_Message(line, Log_Red);
}

void Station::Create_Receiver()
{
    receiver = std::make_unique<Receiver_Port>(
        Receiver_Port::Links {settings, *events, *objects, object_changed, *log, raw_traffic_wanted});
    connect(receiver.get(), &Receiver_Port::Status_Changed, this, &Station::Receiver_Status_Changed);
    connect(receiver.get(), &Receiver_Port::Status_Changed, this, &Station::Report_Service_State);
    connect(receiver.get(), &Receiver_Port::First_Tick, this, &Station::Write_Startup_Line);
    connect(receiver.get(), &Receiver_Port::Raw_Traffic, this, &Station::Raw_Traffic);
    connect(receiver.get(), &Receiver_Port::Fault_Beep, this, &Station::Fault_Beep);

    // Read before the port opens, so the first message already meets the table.
    accounts = std::make_unique<Account_File>(folder + Account_File_Name, *log);
    connect(accounts.get(), &Account_File::Table_Changed, this,
        [this] { receiver->Set_Accounts(accounts->Table()); });
    accounts->Start();
    connect(receiver.get(), &Receiver_Port::Store_Full_Changed, this, &Station::Store_Full_Changed);
}

// A service is ready once its receiver listens. A port the settings keep closed (a damaged settings
// file among them) is as ready as the receiver gets: waiting for it would only have the manager
// restart the program over and over. A port that fails to open is not ready.
void Station::Report_Service_State()
{
    if (receiver->Listening())
        watchdog->Report_Ready("Receiver port " + std::to_string(settings.DC9_Port) + " open");
    else if (settings.DC9_Port_Enable != 1)
        watchdog->Report_Ready("Receiver port closed by the settings");
}

void Station::Create_Output_Side()
{
    output_link
        = std::make_unique<Output_Link>(Output_Link::Links {settings, *serial_port, link_state, reply, *log});
    connect(output_link.get(), &Output_Link::Status_Changed, this, &Station::Output_Status_Changed);
    connect(output_link.get(), &Output_Link::Fault_Beep, this, &Station::Fault_Beep);
    connect(output_link.get(), &Output_Link::Client_Connected, this, &Station::Link_Established);
    connect(output_link.get(), &Output_Link::Operator_Message, this, &Station::Operator_Message);
    connect(output_link.get(), &Output_Link::Settings_Changed, this, &Station::Output_Settings_Changed);

    const auto log_line
        = [this](const std::string& text, Log_Colour colour) { log->Log_Message(text, colour); };
    const auto beep = [this] { emit Fault_Beep(); };
    serial_receiver = std::make_unique<AT_Rec_Thread>(
        AT_Rec_Thread::Links {*serial_port, link_state, reply.Byte, reply.Event}, Window_Thread_Call(this),
        AT_Rec_Thread::Reports {.Log = log_line, .Fault_Beep = beep});

    monitor = std::make_unique<Monitoring_Thread>(Monitoring_Thread::Links {settings, *events, *objects,
                                                      store_gate, reply, link_state, raw_traffic_wanted},
        Window_Thread_Call(this),
        Monitoring_Thread::Reports {
            .Log = log_line,
            .Fault_Beep = beep,
            .Events_Saved = [this] { emit Events_Saved(); },
            .Link_Confirmed = [this] { emit Link_Established(); },
            // Runs on the window thread, posted there without waiting.
            .Answer_Received
            = [this](std::uint8_t answer,
                  std::chrono::system_clock::time_point when) { Answer_Received(answer, when); },
        },
        Monitoring_Thread::Transports {
            output_link->Tcp_Server(), output_link->Tcp_Client(), output_link->Serial()});
}

void Station::Answer_Received(std::uint8_t answer, std::chrono::system_clock::time_point when)
{
    if (!raw_traffic_wanted.load(std::memory_order_relaxed))
        return;
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    const QTime time = QDateTime::fromMSecsSinceEpoch(milliseconds.count()).time();
    emit Raw_Traffic(
        QString::fromStdString(Data_Log_Time_Stamp(time)) + QString::asprintf("  RX: %u", answer));
}

bool Station::Store_Full() const
{
    return receiver && receiver->Store_Full();
}

void Station::Receiver_Enable_Changed()
{
    receiver->Port_Enable_Changed();
}

void Station::Output_Open_Clicked()
{
    output_link->Open_Clicked();
}

Station::Com_Port_Offer Station::Offer_Com_Ports()
{
    if (serial_port->Is_Open())
        return {.In_Use = true, .Names = {Com_Port_Name(settings)}, .Selected = 0};
    Com_Port_Search search = Default_Com_Port_Search();
    search.Extra_Devices = Virtual_Port_Pair_Ends();
    Com_Port_List list = Rebuild_Com_Port_List(settings, search);
    return {.In_Use = false, .Names = std::move(list.Names), .Selected = list.Selected};
}

void Station::Write_Startup_Line()
{
    const QString host = QHostInfo::localHostName();
    const QString line = QStringLiteral("Program started. Hostname of this computer: \"") + host
        + QStringLiteral("\"  IP:") + Host_IPv4(host);
    log->Log_Message(line.toStdString());
    if (!pending_object_message.empty())
        log->Log_Message(pending_object_message);
    if (!pending_event_message.empty())
        log->Log_Message(pending_event_message);
}

template<typename Worker> bool Station::Stop_Worker(Worker& worker)
{
    worker.Request_Stop();
    // The worker hands its log lines to this thread and waits for them: keep serving them.
    const bool finished = Serve_Window_Thread_Until(
        [&worker] { return worker.Finished(); }, std::chrono::milliseconds(Worker_Wait_Ms));
    worker.Release();
    return finished;
}

void Station::End()
{
    if (ended || !started)
        return;
    ended = true;

    watchdog->Report_Stopping();
    store_gate.Reset();
    reply.Event.Set();
    supervision->Stop();
    receiver->Stop();
    output_link->Stop();

    events->Set_Bulk_Change_Drain({});
    objects->Set_Bulk_Change_Drain({});
    const bool monitor_ended = Stop_Worker(*monitor);
    const bool serial_receiver_ended = Stop_Worker(*serial_receiver);
    workers_ended = monitor_ended && serial_receiver_ended;

    if (serial_port->Is_Open()) {
        try {
            serial_port->Close();
        } catch (const ECommError&) {
            // Nothing to tell at the end of the program.
        }
    }

    // An event answered with an acknowledgement must not be lost by an orderly end: with the
    // worker gone, the last new records go to the file here.
    if (monitor_ended) {
        store_gate.Set();
        events->Save_New_Events();
        store_gate.Reset();
    }
    log->Log_Message("Program closed");
}

bool Station::Receiver_Listening() const
{
    return receiver && receiver->Listening();
}

bool Station::Output_Link_Up() const
{
    return (link_state.load() & Link_Port_Up) != 0;
}

#include "app/Program.h"

#include "app/Process_Setup.h"
#include "app/Settings_Folder.h"
#include "app/Virtual_Ports.h"
#include "base/Data_Log_Time_Stamp.h"
#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "output/At_rec_thread.h"
#include "output/Com_Ports.h"
#include "output/Comm_Port.h"
#include "output/Monitoring_Thread.h"
#include "output/Output_Link.h"
#include "receiver/Receiver_Port.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"
#include "store/Supervision_Timer.h"
#include "ui/Event_List_Window.h"
#include "ui/Main_Window.h"
#include "ui/Message_Box.h"
#include "ui/Object_List_Window.h"
#include "ui/Serial_Settings_Dialog.h"
#include "ui/Velmor_Application.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QSoundEffect>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>
#include <QUrl>

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

Program::Program() = default;

Program::~Program()
{
    if (auto* application = qobject_cast<Velmor_Application*>(QCoreApplication::instance()))
        application->Set_Failure_Report({});
    // The window's log view is a sink of the writer: the window goes first.
    objects_window.reset();
    events_window.reset();
    window.reset();
}

bool Program::Start(bool background_this_run)
{
    if (!instance.Acquire("Velmor.exe")) {
        System_Beep();
        Message_Box(nullptr, QStringLiteral("SIA-IP Receiver is already running?"),
            QStringLiteral("Varnek SIA-IP Receiver"));
        return false;
    }

    folder = Locate_Settings_Folder();
    if (!Ensure_Settings_Folder(folder)) {
        Message_Box(nullptr, QStringLiteral("Unable to create settings directory"),
            QStringLiteral("Varnek SIA-IP Receiver"));
        return false;
    }
    Raise_Descriptor_Limit();
    log = std::make_unique<Log_Writer>(folder);
    settings_path = folder + Settings_File_Name;

    events = std::make_unique<Event_Store>(store_gate);
    pending_event_message = events->Load_Event_File(folder + "tarvel.dat");
    if (Load_Settings(settings_path, settings) == Settings_Load::Read_Failed)
        log->Log_Message(
            "Settings file read error: default settings in use, " + settings_path + " left unchanged.",
            Log_Red);
    objects = std::make_unique<Object_Table>(store_gate, object_lock);
    pending_object_message = objects->Load_Object_File(folder + "latevn.dat");
    objects->Set_Write_State_Hook([this](const std::string& text, bool failing) {
        log->Log_Message(text, failing ? Log_Red : Log_Black);
    });

    serial_port = std::make_unique<Comm_Port>();

    window = std::make_unique<TMain_Form>(settings, settings_path, *log);
    // The program ends with the main window's "Exit", whatever secondary windows are still open.
    window->Hooks.Program_End = [this] {
        End();
        QCoreApplication::exit(0);
    };

    receiver = std::make_unique<Receiver_Port>(
        Receiver_Port::Links {settings, *events, *objects, object_changed, *log});
    receiver->Set_View_Hooks({
        .Status_Text = [this](const QString& text) { window->Set_Receiver_Status(text); },
        .First_Tick = [this] { Write_Startup_Line(); },
        .Data_Log_Visible = [this] { return window->Data_Log_Visible(); },
        .Data_Log_Add = [this](const QString& line) { window->Data_Log_Add(line); },
        .Beep = [] { System_Beep(); },
    });
    window->Hooks.Receiver_Enable_Clicked = [this] { receiver->Port_Enable_Changed(); };

    Create_Store_Windows();
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

    if (auto* application = qobject_cast<Velmor_Application*>(QCoreApplication::instance()))
        application->Set_Failure_Report([this](const QString& text) {
            log->Log_Message(text.toStdString(), Log_Red);
            Message_Box(window.get(), text, QStringLiteral("Varnek SIA-IP Receiver"), Box_Buttons::Ok,
                Box_Icon::Error);
        });
    Watch_Termination_Requests(this, [this] {
        End();
        QCoreApplication::exit(0);
    });
    Enter_Start_Mode(background_this_run);
    return true;
}

void Program::Create_Output_Side()
{
    output_link
        = std::make_unique<Output_Link>(Output_Link::Links {settings, *serial_port, link_state, *log});
    output_link->Set_View_Hooks({
        .Status_Text = [this](const QString& text) { window->Set_Out_Status(text); },
        .Beep = [] { System_Beep(); },
        .Play_Notification = [this] { Play_Notification(); },
        .Message_Box
        = [this](const QString& text) { Message_Box(window.get(), text, window->windowTitle()); },
        .Refresh_Mon_Out = [this] { window->Refresh_Mon_OutExecute(); },
    });
    window->Hooks.Out_Port_Open_Clicked = [this] { output_link->Open_Clicked(); };
    Wire_Serial_Page();

    const auto log_line
        = [this](const std::string& text, Log_Colour colour) { log->Log_Message(text, colour); };
    serial_receiver = std::make_unique<AT_Rec_Thread>(
        AT_Rec_Thread::Links {*serial_port, link_state, reply.Byte, reply.Event}, Window_Thread_Call(this),
        AT_Rec_Thread::Window_Work {.Log = log_line, .Beep = [] { System_Beep(); }});

    monitor = std::make_unique<Monitoring_Thread>(
        Monitoring_Thread::Links {settings, *events, *objects, store_gate, reply, link_state, *serial_port},
        Window_Thread_Call(this),
        Monitoring_Thread::Window_Work {
            .Log = log_line,
            .Beep = [] { System_Beep(); },
            .Refresh_Event_List = [this] { events_window->Refresh_Log_GridExecute(); },
            .Play_Notification = [this] { Play_Notification(); },
            .Show_Answer =
                [this](std::uint8_t answer, std::chrono::system_clock::time_point when) {
                    // Not awaited: the Data Log line waits its turn on the window thread. Not even
                    // handed over while that window is closed: it would wake the window thread
                    // once more for every line forwarded.
                    if (window->Data_Log_Maybe_Visible())
                        Window_Thread_Call(this).Post([this, answer, when] { Show_Answer(answer, when); });
                },
        },
        [this](const char* line, std::size_t size, bool heartbeat, bool server_mode,
            std::chrono::milliseconds answer_wait) {
            return output_link->Exchange_Line(line, size, heartbeat, server_mode, answer_wait, reply.Event);
        });
}

void Program::Show_Answer(std::uint8_t answer, std::chrono::system_clock::time_point when)
{
    if (!window->Data_Log_Visible())
        return;
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
    const QTime time = QDateTime::fromMSecsSinceEpoch(milliseconds.count()).time();
    window->Data_Log_Add(
        QString::fromStdString(Data_Log_Time_Stamp(time)) + QString::asprintf("  RX: %u", answer));
}

void Program::Wire_Serial_Page()
{
    com_settings = new TForm_Com_Settings(
        settings, [this] { window->Check_Settings_Changed(); }, window.get());
    window->Hooks.Serial_Settings_Refresh
        = [this](bool transport_closed) { com_settings->Refresh_Baud_Rate(transport_closed); };
    window->Hooks.Com_Settings_Clicked = [this] {
        com_settings->show();
        com_settings->raise();
        com_settings->activateWindow();
    };
    window->Hooks.Com_Ports_Available = [this] { Com_Ports_AvailableExecute(); };
    window->Hooks.Virtual_Ports_Clicked = [this] { VirtualPortsTool1Click(); };
}

void Program::VirtualPortsTool1Click()
{
    const Virtual_Ports_Outcome outcome = Run_Virtual_Ports_Tool();
    if (!outcome.Warning.empty())
        Message_Box(window.get(), QString::fromStdString(outcome.Warning), window->windowTitle(),
            Box_Buttons::Ok, Box_Icon::Warning);
    if (!outcome.Log_Line.empty())
        log->Log_Message(outcome.Log_Line);
    Com_Ports_AvailableExecute();
}

void Program::Com_Ports_AvailableExecute()
{
    // The open port is not probed again; the box just names it.
    if (serial_port->Is_Open()) {
        window->Show_Com_Port_Name(QString::fromStdString(Com_Port_Name(settings)));
        return;
    }
    Com_Port_Search search = Default_Com_Port_Search();
    search.Extra_Devices = Virtual_Port_Pair_Ends();
    const Com_Port_List list = Rebuild_Com_Port_List(settings, search);
    QStringList names;
    for (const std::string& name : list.Names)
        names.push_back(QString::fromStdString(name));
    window->Show_Com_Ports(names, list.Selected);
}

void Program::Play_Notification()
{
    // The sound is the operator's own file beside the program's working folder; without it, silence.
    if (!QFile::exists(QStringLiteral("notify.wav")))
        return;
    if (!notification) {
        notification = new QSoundEffect(this);
        notification->setSource(QUrl::fromLocalFile(QStringLiteral("notify.wav")));
    }
    notification->play();
}

void Program::Enter_Start_Mode(bool background_this_run)
{
    // The box shows the stored setting: a run started hidden from the command line must not make
    // the settings look edited, or closing would offer to save that run's mode.
    window->Set_Start_In_Background_Box(settings.Start_In_Background == 1);
    if (settings.Start_In_Background == 1 || background_this_run) {
        // Never shown: straight to the notification area.
        window->Enter_Background_Mode();
    } else {
        window->show();
    }
}

void Program::Write_Startup_Line()
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

template<typename Worker> bool Program::Stop_Worker(Worker& worker)
{
    worker.Request_Stop();
    // The worker hands its log lines to this thread and waits for them: keep serving them.
    const bool finished = Serve_Window_Thread_Until(
        [&worker] { return worker.Finished(); }, std::chrono::milliseconds(Worker_Wait_Ms));
    worker.Release();
    return finished;
}

void Program::End()
{
    if (ended)
        return;
    ended = true;

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

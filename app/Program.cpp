#include "app/Program.h"

#include "app/Main_unit.h"
#include "app/Message_Box.h"
#include "app/Process_Setup.h"
#include "app/Settings_Folder.h"
#include "app/Velmor_Application.h"
#include "app/Virtual_Ports.h"
#include "base/Data_Log_Time_Stamp.h"
#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "output/At_rec_thread.h"
#include "output/Com_Ports.h"
#include "output/Com_settings.h"
#include "output/Comm_Port.h"
#include "output/Monitoring_Thread.h"
#include "output/Output_Link.h"
#include "output/Output_Serial.h"
#include "output/Output_Tcp_Client.h"
#include "output/Output_Tcp_Server.h"
#include "receiver/Receiver_Port.h"
#include "store/Event_Store.h"
#include "store/Event_log.h"
#include "store/Id_list.h"
#include "store/Object_Table.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
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

// Keeps a flag equal to whether a window is visible, for the threads that ask. Only the showing and
// hiding the program asks for count; a minimised window stays visible.
class Visibility_Flag : public QObject
{
public:
    Visibility_Flag(QWidget* watched, std::atomic<bool>& visible_)
        : QObject(watched)
        , visible(visible_)
    {
        visible.store(watched->isVisible(), std::memory_order_relaxed);
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!event->spontaneous() && event->type() == QEvent::Show)
            visible.store(true, std::memory_order_relaxed);
        else if (!event->spontaneous() && event->type() == QEvent::Hide)
            visible.store(false, std::memory_order_relaxed);
        return false;
    }

private:
    std::atomic<bool>& visible;
};

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

    Watch_Data_Log();
    receiver = std::make_unique<Receiver_Port>(
        Receiver_Port::Links {settings, *events, *objects, object_changed, *log, raw_traffic_wanted});
    connect(receiver.get(), &Receiver_Port::Status_Changed, this,
        [this](const QString& text) { window->Set_Receiver_Status(text); });
    connect(receiver.get(), &Receiver_Port::First_Tick, this, [this] { Write_Startup_Line(); });
    connect(receiver.get(), &Receiver_Port::Raw_Traffic, this,
        [this](const QString& line) { window->Data_Log_Add(line); });
    connect(receiver.get(), &Receiver_Port::Fault_Beep, this, [] { System_Beep(); });
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
        = std::make_unique<Output_Link>(Output_Link::Links {settings, *serial_port, link_state, reply, *log});
    connect(output_link.get(), &Output_Link::Status_Changed, this,
        [this](const QString& text) { window->Set_Out_Status(text); });
    connect(output_link.get(), &Output_Link::Fault_Beep, this, [] { System_Beep(); });
    connect(output_link.get(), &Output_Link::Client_Connected, this, [this] { Play_Notification(); });
    connect(output_link.get(), &Output_Link::Operator_Message, this,
        [this](const QString& text) { Message_Box(window.get(), text, window->windowTitle()); });
    connect(output_link.get(), &Output_Link::Settings_Changed, this,
        [this] { window->Refresh_Mon_OutExecute(); });
    window->Hooks.Out_Port_Open_Clicked = [this] { output_link->Open_Clicked(); };
    Wire_Serial_Page();

    const auto log_line
        = [this](const std::string& text, Log_Colour colour) { log->Log_Message(text, colour); };
    serial_receiver = std::make_unique<AT_Rec_Thread>(
        AT_Rec_Thread::Links {*serial_port, link_state, reply.Byte, reply.Event}, Window_Thread_Call(this),
        AT_Rec_Thread::Reports {.Log = log_line, .Fault_Beep = [] { System_Beep(); }});

    monitor = std::make_unique<Monitoring_Thread>(Monitoring_Thread::Links {settings, *events, *objects,
                                                      store_gate, reply, link_state, raw_traffic_wanted},
        Window_Thread_Call(this),
        Monitoring_Thread::Reports {
            .Log = log_line,
            .Fault_Beep = [] { System_Beep(); },
            .Events_Saved = [this] { events_window->Refresh_Log_GridExecute(); },
            .Link_Confirmed = [this] { Play_Notification(); },
            .Answer_Received =
                [this](std::uint8_t answer, std::chrono::system_clock::time_point when) {
                    // A minimised Data Log is still visible but takes no answer lines.
                    if (window->Data_Log_Maybe_Visible())
                        Show_Answer(answer, when);
                },
        },
        Monitoring_Thread::Transports {
            output_link->Tcp_Server(), output_link->Tcp_Client(), output_link->Serial()});
}

void Program::Watch_Data_Log()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("Form_Log_Test"))
            new Visibility_Flag(widget, raw_traffic_wanted);
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
    objects_window->Timer_Ping_Update->stop();
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

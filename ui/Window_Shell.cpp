#include "ui/Window_Shell.h"

#include "app/Station.h"
#include "app/Virtual_Ports.h"
#include "output/Output_Transport.h"
#include "store/Supervision_Timer.h"
#include "ui/Accounts_Window.h"
#include "ui/Event_List_Window.h"
#include "ui/Main_Window.h"
#include "ui/Main_Window_Look.h"
#include "ui/Message_Box.h"
#include "ui/Object_List_Window.h"
#include "ui/Serial_Settings_Dialog.h"
#include "ui/Tray_State.h"
#include "ui/Velmor_Application.h"

#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace {

const QString Program_Caption = QStringLiteral("Varnek SIA-IP Receiver");

void Bring_Forward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

Velmor_Application* Application()
{
    return qobject_cast<Velmor_Application*>(QCoreApplication::instance());
}

} // namespace

void Window_Shell::Report_Start_Failure(bool already_running)
{
    if (already_running) {
        System_Beep();
        Message_Box(nullptr, QStringLiteral("SIA-IP Receiver is already running?"), Program_Caption);
    } else {
        Message_Box(nullptr, QStringLiteral("Unable to create settings directory"), Program_Caption);
    }
}

Window_Shell::Window_Shell(Station& started_station, bool background_this_run)
    : station(started_station)
{
    window = std::make_unique<TMain_Form>(station.Settings(), station.Settings_Path(), station.Log());
    // The program ends with the main window's "Exit", whatever secondary windows are still open.
    window->Hooks.Program_End = [this] {
        station.End();
        QCoreApplication::exit(0);
    };
    window->Hooks.Receiver_Enable_Clicked = [this] { station.Receiver_Enable_Changed(); };
    window->Hooks.Out_Port_Open_Clicked = [this] { station.Output_Open_Clicked(); };
    Create_Store_Windows();
    Wire_Serial_Page();
    Wire_Station();

    if (Velmor_Application* application = Application())
        application->Set_Failure_Report([this](const QString& text) {
            station.Log().Log_Message(text.toStdString(), Log_Red);
            Message_Box(window.get(), text, Program_Caption, Box_Buttons::Ok, Box_Icon::Error);
        });
    Enter_Start_Mode(background_this_run);
}

Window_Shell::~Window_Shell()
{
    if (Velmor_Application* application = Application())
        application->Set_Failure_Report({});
    // The window's log view is a sink of the station's log writer: the windows go first.
    accounts_window.reset();
    objects_window.reset();
    events_window.reset();
    window.reset();
}

void Window_Shell::Wire_Station()
{
    connect(&station, &Station::Receiver_Status_Changed, window.get(), &TMain_Form::Set_Receiver_Status);
    connect(&station, &Station::Output_Status_Changed, window.get(), &TMain_Form::Set_Out_Status);
    connect(&station, &Station::Raw_Traffic, window.get(), [this](const QString& line) {
        if (window->Data_Log_Visible())
            window->Data_Log_Add(line);
    });
    connect(window.get(), &TMain_Form::Data_Log_Collecting_Changed, this,
        [this](bool collecting) { station.Set_Raw_Traffic_Wanted(collecting); });
    connect(&station, &Station::Fault_Beep, this, [] { System_Beep(); });
    connect(&station, &Station::Events_Saved, events_window.get(), &TForm_Events::Refresh_Log_GridExecute);
    connect(&station, &Station::Link_Established, this, &Window_Shell::Play_Notification);
    connect(&station, &Station::Objects_Failed, this, [this](int count) {
        Play_Notification();
        window->Show_Fault_Balloon(QString::number(count) + QStringLiteral(" object(s) failed"));
    });
    auto* tray_timer = new QTimer(this);
    tray_timer->setObjectName(QStringLiteral("Timer_Tray_State"));
    tray_timer->setInterval(1000);
    connect(tray_timer, &QTimer::timeout, this, &Window_Shell::Update_Tray_State);
    tray_timer->start();
    Update_Tray_State();
    connect(&station, &Station::Operator_Message, this,
        [this](const QString& text) { Message_Box(window.get(), text, window->windowTitle()); });
    connect(&station, &Station::Output_Settings_Changed, window.get(), &TMain_Form::Refresh_Mon_OutExecute);
}

void Window_Shell::Create_Store_Windows()
{
    events_window = std::make_unique<TForm_Events>(station.Events(), Ask_Before_Destroying);
    objects_window = std::make_unique<TForm_Latest_Events>(
        station.Objects(), station.Supervision(), Ask_Before_Destroying, window->windowTitle());
    for (QWidget* list :
        {static_cast<QWidget*>(events_window.get()), static_cast<QWidget*>(objects_window.get())})
        list->setWindowIcon(Program_Icon());

    window->Hooks.Events_Clicked = [this] { Bring_Forward(events_window.get()); };
    window->Hooks.Object_List_Clicked = [this] { Bring_Forward(objects_window.get()); };
    accounts_window = std::make_unique<Accounts_Window>(station.Accounts());
    accounts_window->setWindowIcon(Program_Icon());
    window->Hooks.Accounts_Clicked = [this] {
        accounts_window->Show_File();
        Bring_Forward(accounts_window.get());
    };
    window->Hooks.Hide_Other_Windows = [this] {
        events_window->hide();
        objects_window->hide();
        accounts_window->hide();
    };
}

void Window_Shell::Wire_Serial_Page()
{
    com_settings = new TForm_Com_Settings(
        station.Settings(), [this] { window->Check_Settings_Changed(); }, window.get());
    window->Hooks.Serial_Settings_Refresh
        = [this](bool transport_closed) { com_settings->Refresh_Baud_Rate(transport_closed); };
    window->Hooks.Com_Settings_Clicked = [this] { Bring_Forward(com_settings); };
    window->Hooks.Com_Ports_Available = [this] { Com_Ports_AvailableExecute(); };
    window->Hooks.Virtual_Ports_Clicked = [this] { VirtualPortsTool1Click(); };
}

void Window_Shell::VirtualPortsTool1Click()
{
    const Virtual_Ports_Outcome outcome = Run_Virtual_Ports_Tool();
    if (!outcome.Warning.empty())
        Message_Box(window.get(), QString::fromStdString(outcome.Warning), window->windowTitle(),
            Box_Buttons::Ok, Box_Icon::Warning);
    if (!outcome.Log_Line.empty())
        station.Log().Log_Message(outcome.Log_Line);
    Com_Ports_AvailableExecute();
}

void Window_Shell::Com_Ports_AvailableExecute()
{
    const Station::Com_Port_Offer offer = station.Offer_Com_Ports();
    // The open port is not probed again; the box just names it.
    if (offer.In_Use) {
        window->Show_Com_Port_Name(QString::fromStdString(offer.Names.front()));
        return;
    }
    QStringList names;
    for (const std::string& name : offer.Names)
        names.push_back(QString::fromStdString(name));
    window->Show_Com_Ports(names, offer.Selected);
}

void Window_Shell::Play_Notification()
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

void Window_Shell::Update_Tray_State()
{
    const Settings_Record& settings = station.Settings();
    Tray_State state;
    state.Receiver_Enabled = settings.DC9_Port_Enable == 1;
    state.Receiver_Listening = station.Receiver_Listening();
    state.Output_Enabled = Transport_Of(settings) != Output_Transport::Closed;
    state.Output_Up = station.Output_Link_Up();
    state.Pending_Events = Count_Pending_Events(station.Events());
    state.Failed_Objects = Count_Failed_Objects(station.Objects());
    state.Store_Full = station.Store_Full();
    window->Show_Tray_State(Tray_Icon(state.Shown_Look()), state.Tooltip(window->windowTitle()));
    // A balloon when a fault is there that was not there at the last look.
    const QString faults
        = state.Shown_Look() == Tray_State::Look::Fault ? state.Fault_Text(false) : QString();
    if (!faults.isEmpty() && faults != shown_faults)
        window->Show_Fault_Balloon(faults);
    shown_faults = faults;
}

void Window_Shell::Enter_Start_Mode(bool background_this_run)
{
    // The box shows the stored setting: a run started hidden from the command line must not make
    // the settings look edited, or closing would offer to save that run's mode.
    window->Set_Start_In_Background_Box(station.Settings().Start_In_Background == 1);
    if (station.Settings().Start_In_Background == 1 || background_this_run) {
        // Never shown: straight to the notification area.
        window->Enter_Background_Mode();
    } else {
        window->show();
    }
}

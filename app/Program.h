#pragma once

#include "app/Single_Instance.h"
#include "base/Settings_Record.h"
#include "base/Sync_Events.h"
#include "output/Link_State.h"

#include <QObject>

#include <chrono>
#include <cstdint>

#include <memory>
#include <mutex>
#include <string>

class AT_Rec_Thread;
class Comm_Port;
class Output_Link;
class QSoundEffect;
class Event_Store;
class Log_Writer;
class Monitoring_Thread;
class Object_Table;
class QTimer;
class Receiver_Port;
class Supervision_Timer;
class TForm_Com_Settings;
class TForm_Events;
class TForm_Latest_Events;
class TMain_Form;

// Brings the system up in its fixed order and takes it down in its fixed order. It owns every
// process-wide object: the settings record, the stores, the sync objects, the serial port, the
// worker threads, the receiver port and the main window.
class Program : public QObject
{
    Q_OBJECT

public:
    Program();
    ~Program() override;

    // The start-up sequence. False when the process must end at once with exit code 0 (another
    // copy runs, or the settings folder can't be created). `background_this_run` starts hidden
    // whatever the stored setting says, and leaves that setting as it is.
    bool Start(bool background_this_run = false);

    // The program end, in order: gate closed, answer wait woken, timers and sockets stopped,
    // workers asked to end and awaited with the window thread's queue served, last save pass,
    // "Program closed". Runs once, from "Exit" or from a termination request.
    void End();

    // False when a worker did not end in time: it may still use what this object owns, so the
    // object must then outlive the process.
    bool Safe_To_Delete() const { return workers_ended; }

    const std::string& Settings_Folder() const { return folder; }

private:
    void Write_Startup_Line();
    void Enter_Start_Mode(bool background_this_run);
    void Create_Output_Side();
    void Create_Store_Windows();
    void Wire_Serial_Page();
    void Com_Ports_AvailableExecute();
    void VirtualPortsTool1Click();
    void Play_Notification();
    void Show_Answer(std::uint8_t answer, std::chrono::system_clock::time_point when);
    template<typename Worker> bool Stop_Worker(Worker& worker);

    Single_Instance instance;
    std::string folder;
    std::string settings_path;
    std::string pending_object_message;
    std::string pending_event_message;

    Settings_Record settings {};
    Manual_Reset_Event store_gate {true};
    Reply_Channel reply;
    std::atomic<std::uint32_t> link_state {0};
    std::mutex object_lock;
    Auto_Reset_Event object_changed;

    std::unique_ptr<Log_Writer> log;
    std::unique_ptr<Event_Store> events;
    std::unique_ptr<Object_Table> objects;
    std::unique_ptr<Comm_Port> serial_port;
    std::unique_ptr<TMain_Form> window;
    // The supervision runs from start-up to the end; the list windows live as long, shown or not.
    std::unique_ptr<Supervision_Timer> supervision;
    std::unique_ptr<TForm_Events> events_window;
    std::unique_ptr<TForm_Latest_Events> objects_window;
    TForm_Com_Settings* com_settings = nullptr; // a child of the window, which deletes it
    std::unique_ptr<Receiver_Port> receiver;
    std::unique_ptr<Output_Link> output_link;
    std::unique_ptr<AT_Rec_Thread> serial_receiver;
    std::unique_ptr<Monitoring_Thread> monitor;
    QSoundEffect* notification = nullptr;
    bool ended = false;
    bool workers_ended = true;
};

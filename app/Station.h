#pragma once

#include "app/Single_Instance.h"
#include "base/Log_Writer.h"
#include "base/Settings_File.h"
#include "base/Settings_Record.h"
#include "base/Sync_Events.h"
#include "output/Link_State.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AT_Rec_Thread;
class Account_File;
class Comm_Port;
class Event_Store;
class Monitoring_Thread;
class Object_Table;
class Output_Link;
class Receiver_Port;
class Service_Watchdog;
class Supervision_Timer;

// The receiver station without its windows: the settings record, the stores, the shared sync
// objects, the serial port, the receiver port, the link to the automation software, both worker
// threads and the supervision countdown. It brings them up in their fixed order and takes them down
// in theirs, and says what happened through its signals; whatever shows it connects to them.
class Station : public QObject
{
    Q_OBJECT

public:
    enum class Start_Result {
        Started,
        Already_Running, // another copy holds the single-instance lock
        No_Settings_Folder, // the data folder can't be created
    };

    Station();
    ~Station() override;

    // Data folder, single instance, log (a data folder open to other users is closed and logged), event file,
    // settings, object file, serial port, receiver port, output link, supervision, then both workers. No port
    // opens here: the timers open them from the stored settings on their ticks. A termination request
    // (SIGTERM, SIGINT) ends the station and the event loop.
    Start_Result Start();

    // The end, in order: gate closed, answer wait woken, timers and sockets stopped, workers asked
    // to end and awaited with the window thread's queue served, serial port closed, last save pass,
    // "Program closed". Runs once; later calls do nothing.
    void End();
    bool Ended() const { return ended; }

    // False when a worker did not end in time: it may still use what this object owns, so the
    // object must then outlive the process.
    bool Safe_To_Delete() const { return workers_ended; }

    // What the windows show and edit, all on the window thread.
    Settings_Record& Settings() { return settings; }
    const std::string& Data_Folder() const { return folder; }
    const std::string& Settings_Path() const { return settings_path; }
    Log_Writer& Log() { return *log; }
    Event_Store& Events() { return *events; }
    Object_Table& Objects() { return *objects; }
    Supervision_Timer& Supervision() { return *supervision; }
    // accounts.csv: the Accounts window saves through it and has it read again at once.
    Account_File& Accounts() { return *accounts; }

    // True while the event ring is full of alarms the automation software has not acknowledged:
    // new alarms then get no answer from the receiver. Store_Full_Changed tells of each change.
    bool Store_Full() const;

    // What the notification area shows: the receiver port listening, the automation software link
    // up. Window thread.
    bool Receiver_Listening() const;
    bool Output_Link_Up() const;

    // The receiver's "Open" box changed: the port timer restarts its 1000 ms.
    void Receiver_Enable_Changed();
    // Either output "Open" box was clicked: the link acts within half a second.
    void Output_Open_Clicked();

    // Raw traffic (received bytes, the automation software's answers) is made and announced only
    // while somebody shows it: formatting it for nobody would cost the receive path.
    void Set_Raw_Traffic_Wanted(bool wanted) { raw_traffic_wanted.store(wanted, std::memory_order_relaxed); }

    // The serial ports to offer: the one in use alone while it is open (not probed again),
    // otherwise those that can be opened now, the linked virtual pair included, with the chosen
    // one. Choosing may store the first available port in the settings.
    struct Com_Port_Offer
    {
        bool In_Use = false;
        std::vector<std::string> Names; // In_Use: the open port's name only
        int Selected = 0; // Names.size(): none
    };
    Com_Port_Offer Offer_Com_Ports();

signals:
    void Receiver_Status_Changed(const QString& text);
    void Output_Status_Changed(const QString& text);
    // A raw-traffic line for the Data Log, while it is wanted.
    void Raw_Traffic(const QString& line);
    // An error that sounds the system beep.
    void Fault_Beep();
    // The monitoring thread saved new events, or marked some reported.
    void Events_Saved();
    void Objects_Changed();
    void Store_Full_Changed(bool full);
    // Objects failed their supervision in this tick (each also logged in red).
    void Objects_Failed(int count);
    // The automation software answered the first line after an outage, or the TCP client
    // connected to it.
    void Link_Established();
    // An operator mistake the output link refuses, e.g. the serial port that won't open.
    void Operator_Message(const QString& text);
    // The output link changed settings that are shown (the port closed after a failure).
    void Output_Settings_Changed();

private:
    void Load_Stores();
    void Report_Settings_Load(Settings_Load outcome);
    void Create_Receiver();
    void Create_Output_Side();
    void Report_Service_State();
    void Write_Startup_Line();
    void Answer_Received(std::uint8_t answer, std::chrono::system_clock::time_point when);
    template<typename Worker> bool Stop_Worker(Worker& worker);

    Single_Instance instance;
    std::string folder;
    std::string settings_path;
    std::string pending_object_message;
    std::string pending_event_message;
    Settings_Damage settings_damage;

    Settings_Record settings {};
    Manual_Reset_Event store_gate {true};
    Reply_Channel reply;
    std::atomic<std::uint32_t> link_state {0};
    std::atomic<bool> raw_traffic_wanted {false};
    std::mutex object_lock;
    Auto_Reset_Event object_changed;

    std::unique_ptr<Log_Writer> log;
    std::unique_ptr<Event_Store> events;
    std::unique_ptr<Object_Table> objects;
    std::unique_ptr<Comm_Port> serial_port;
    std::unique_ptr<Receiver_Port> receiver;
    std::unique_ptr<Account_File> accounts;
    std::unique_ptr<Output_Link> output_link;
    std::unique_ptr<Supervision_Timer> supervision;
    std::unique_ptr<AT_Rec_Thread> serial_receiver;
    std::unique_ptr<Monitoring_Thread> monitor;
    std::unique_ptr<Service_Watchdog> watchdog;
    bool started = false;
    bool ended = false;
    bool workers_ended = true;
};

#pragma once

#include "base/Log_Writer.h"
#include "receiver/Accept_Guard.h"
#include "receiver/Account_Choice.h"
#include "receiver/DC09_Connection_Table.h"
#include "receiver/DC09_Frame.h"
#include "receiver/DC09_Reply.h"
#include "receiver/DC09_Stream_Framer.h"
#include "receiver/Rate_Limited_Lines.h"
#include "receiver/Socket_Watch.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;
class QTcpServer;
class QTimer;
class Event_Store;
class Object_Table;
struct Event_Record;
struct Filled_Event;
struct Object_Update_Outcome;
class Auto_Reset_Event;
class Account_Table;
struct DC09_Frame;
struct Settings_Record;
enum class DC09_Reply : std::uint8_t;

// The port on which alarm communicators deliver DC-09 messages: TCP, and UDP on the same number
// unless the settings turn it off. Everything here runs on the window thread: a received message
// (a frame of a connection's stream, or one datagram) is parsed, answered and stored inside its
// read event, and
// the one-second tick opens and closes the port, sweeps idle connections and keeps the status
// text current.
class Receiver_Port : public QObject
{
    Q_OBJECT

public:
    struct Links
    {
        Settings_Record& Settings;
        Event_Store& Events;
        Object_Table& Objects;
        Auto_Reset_Event& Object_Changed;
        Log_Writer& Log;
        // Whether anyone shows raw traffic: while false, a received message is not even
        // formatted for it.
        const std::atomic<bool>& Raw_Traffic_Wanted;
    };

    Receiver_Port(Links links, QObject* parent = nullptr);
    ~Receiver_Port() override;

    // Enables Timer_DC9; the port opens on a tick, never here.
    void Start();
    // Shutdown: the timer stops and the server closes with all its connections.
    void Stop();
    // The "Open" box changed: the next tick comes after 1000 ms again, even after a failure.
    void Port_Enable_Changed();

    // The account table the next message is checked against; null: the settings apply to every
    // account. Called on the window thread, so it never lands inside a message.
    void Set_Accounts(std::shared_ptr<const Account_Table> table_in_force);

    bool Listening() const;
    bool Udp_Open() const { return udp_socket >= 0; }
    // True while forwarding is on and the ring's next slot still holds an alarm the automation
    // software has not acknowledged: new alarms then get no answer, so their senders repeat them.
    bool Store_Full() const { return store_full; }
    int Connection_Count() const { return static_cast<int>(connections.size()); }

    // A connection's peer as text, taken once when it is accepted so a read needs no strings.
    struct Peer
    {
        char Address[46];
        std::uint8_t Length;
        std::uint16_t Port;

        std::string_view Text() const { return {Address, Length}; }
    };

    // Each is emitted on the window thread, inside the tick or read event it happened in.
signals:
    void Status_Changed(const QString& text);
    // The first tick of the run: the start-up line is written once.
    void First_Tick();
    // A received message as text, preceded by an empty line, while raw traffic is wanted.
    void Raw_Traffic(const QString& line);
    void Fault_Beep();
    // Store_Full changed.
    void Store_Full_Changed(bool full);

private:
    void Timer_DC9Timer();
    void Open_Port();
    void Close_Port();
    struct Connection;

    void ServerSocket_DC9ClientConnect(std::intptr_t descriptor);
    void ServerSocket_DC9ClientRead(Connection& connection);
    void ServerSocket_DC9ClientError(int error);
    void Send_Reply(Connection& connection, const char* bytes, std::size_t size);
    void Send_Unsent(Connection& connection);
    void Close_Connection(Connection& connection);
    bool Handle_Frame(Connection& connection, char* bytes, std::size_t size);
    // What one frame is answered with, built before anything is stored (Receiver_Port_Store.cpp,
    // shared by TCP and UDP).
    struct Answer
    {
        Account_Choice Choice {nullptr, 0, nullptr}; // the cipher the header's account chose
        DC09_Frame Frame;
        DC09_Outcome Outcome;
        DC09_Reply Reply;
        DC09_Message Message;
        std::int64_t Receiver_Time;
    };
    // False when the bytes are no frame (no answer at all).
    bool Answer_Message(char* bytes, std::size_t size, Answer& answer);
    // Stores what the answer acknowledged; returns the sender's next idle countdown.
    std::int32_t Keep_Message(const Peer& peer, const Answer& answer);
    // UDP on the receiver port number (Receiver_Port_Udp.cpp).
    void Open_Udp(std::uint16_t port);
    void Close_Udp();
    void Udp_Read();
    void Data_Log_Feed(const char* bytes, std::size_t size);
    // The lines a flood could repeat, each at most once a minute per peer (Receiver_Port_Lines.cpp).
    void Note_Unrecognised(const Peer& peer);
    void Note_Time_Refused(const Peer& peer, std::int64_t message_time, std::int64_t receiver_time);
    void Note_Port_Trouble(std::string_view key, const QString& first_line);
    // A message refused by its account's row, at most one line a minute per account
    // (Receiver_Port_Accounts.cpp).
    void Note_Account_Refused(
        const Peer& peer, const DC09_Frame& frame, const Account_Choice& choice, DC09_Reply reply);
    void Flush_Account_Lines(std::int64_t now_seconds);
    // A message answered DUH: in red, with the reason, as a wrong key turns every communicator away.
    void Note_Refused(const Peer& peer, DC09_Outcome outcome, DC09_Kind kind, std::uint8_t aes_mode);
    void Flush_Counted_Lines();
    void Log(const QString& text, Log_Colour colour = Log_Black);
    // Storing an accepted message and keeping the ring from losing alarms (Receiver_Port_Store.cpp).
    // Whether storing `records` more events would overwrite an alarm not yet reported.
    bool Store_Would_Lose_Alarm(std::size_t records = 1) const;
    // An accepted alarm the ring cannot take gets no answer at all (noted); true when refused.
    bool Refused_For_Full_Store(const Answer& answer);
    void Note_Store_Refused();
    void Check_Store_Full();
    void Store_Message(const Filled_Event& filled);
    bool Name_Long_Account(const Event_Record& event);
    void Flush_Long_Account_Count(std::int64_t now_seconds);
    void Note_Object_Outcome(
        const Event_Record& event, std::uint32_t position, const Object_Update_Outcome& outcome);

    Links links;
    QTcpServer* server;
    QTimer* timer;
    // The open connections, in no particular order. Each is read and answered by the port itself;
    // everything it owns goes with it when it closes.
    struct Connection
    {
        std::intptr_t Descriptor;
        Peer Remote;
        bool Writing = false; // watched for room to send while a reply waits
        std::string Unsent;
        DC09_Stream_Framer Framer;
        std::uint64_t Garbage = 0; // bytes that made no answered frame since the last one that did
        std::size_t Index = 0; // its place in `connections`
        int Slot = -1; // its idle countdown in the table
        bool Open = true;
    };
    std::vector<std::unique_ptr<Connection>> connections;
    // Closed connections that may still be on the call stack; freed once the event loop runs again.
    std::vector<std::unique_ptr<Connection>> closed;
    std::unique_ptr<DC09_Connection_Table<Connection>> table;
    // A read lands here unless its connection waits for the rest of a frame; its frames are
    // parsed in place.
    std::unique_ptr<char[]> read_buffer;
    Accept_Guard accept_guard;
    Socket_Watch watch;
    Rate_Limited_Lines unrecognised_lines;
    Rate_Limited_Lines time_lines;
    Rate_Limited_Lines refused_lines;
    Rate_Limited_Lines port_lines; // keyed by the kind of trouble, not by peer
    Rate_Limited_Lines account_lines; // keyed by the reason and the account
    std::shared_ptr<const Account_Table> accounts;
    Rate_Limited_Lines long_account_lines {64}; // accounts that got no object
    // Per object position: its account's long-account line was written in this run.
    std::unique_ptr<std::uint8_t[]> long_account_warned;
    // Long accounts are named at most this many a minute, so a flood of invented ones cannot
    // flood the log: the rest are counted, and named on a later message once there is room.
    static constexpr int Long_Accounts_Named_Per_Minute = 10;
    std::int64_t long_account_minute = 0; // when the current minute's naming began
    int long_accounts_named = 0;
    std::uint64_t long_accounts_unnamed = 0;
    std::uint64_t store_refused = 0;
    bool store_full = false;
    bool first_tick_done = false;
    std::intptr_t udp_socket = -1;
    std::unique_ptr<QSocketNotifier> udp_reader;
    // Reused for every datagram: one frame is parsed in it and its answer built, with no
    // allocation per message.
    std::unique_ptr<Answer> udp_answer;
};

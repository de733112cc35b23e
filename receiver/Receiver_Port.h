#pragma once

#include "base/Log_Writer.h"
#include "receiver/Accept_Guard.h"
#include "receiver/DC09_Connection_Table.h"
#include "receiver/DC09_Stream_Framer.h"
#include "receiver/DC09_Frame.h"
#include "receiver/Rate_Limited_Lines.h"

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
class Auto_Reset_Event;
struct Settings_Record;

// The TCP port on which alarm communicators deliver DC-09 messages. Everything here runs on the
// window thread: a received message is parsed, answered and stored inside its read event, and
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

    bool Listening() const;
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
    void Data_Log_Feed(const char* bytes, std::size_t size);
    // The lines a flood could repeat, each at most once a minute per peer (Receiver_Port_Lines.cpp).
    void Note_Unrecognised(const Peer& peer);
    void Note_Time_Refused(const Peer& peer, std::int64_t message_time, std::int64_t receiver_time);
    void Note_Port_Trouble(std::string_view key, const QString& first_line);
    // A message answered DUH: in red, with the reason, as a wrong key turns every communicator away.
    void Note_Refused(const Peer& peer, DC09_Outcome outcome, DC09_Kind kind, std::uint8_t aes_mode);
    void Flush_Counted_Lines();
    void Log(const QString& text, Log_Colour colour = Log_Black);

    Links links;
    QTcpServer* server;
    QTimer* timer;
    // The open connections, in no particular order. Each is read and answered by the port itself;
    // everything it owns goes with it when it closes.
    struct Connection
    {
        std::intptr_t Descriptor;
        Peer Remote;
        std::unique_ptr<QSocketNotifier> Reader;
        std::unique_ptr<QSocketNotifier> Writer; // only while a reply waits for room to send
        std::string Unsent;
        DC09_Stream_Framer Framer;
        std::uint64_t Garbage = 0; // bytes that made no answered frame since the last one that did
        std::size_t Index = 0; // its place in `connections`
        int Slot = -1; // its idle countdown in the table
        bool Open = true;
    };
    std::vector<std::unique_ptr<Connection>> connections;
    // Closed connections whose notifiers may still be on the call stack; freed on the next tick.
    std::vector<std::unique_ptr<Connection>> closed;
    std::unique_ptr<DC09_Connection_Table<Connection>> table;
    // A read lands here unless its connection waits for the rest of a frame; its frames are
    // parsed in place.
    std::unique_ptr<char[]> read_buffer;
    Accept_Guard accept_guard;
    Rate_Limited_Lines unrecognised_lines;
    Rate_Limited_Lines time_lines;
    Rate_Limited_Lines refused_lines;
    Rate_Limited_Lines port_lines; // keyed by the kind of trouble, not by peer
    bool first_tick_done = false;
};

#pragma once

#include "base/Log_Writer.h"
#include "output/Link_State.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class Comm_Port;
class Output_Serial;
class Output_Tcp_Client;
class Output_Tcp_Server;
class QTimer;
struct Settings_Record;

// The transport to the automation software: a TCP server it connects to, a TCP client that
// connects to it, or the serial port, each a side of its own. Timer_Out opens, supervises and
// closes the side the settings choose, on the window thread, and keeps the status text current.
// The monitoring thread sends its lines through the sides themselves (Tcp_Server, Tcp_Client,
// Serial), with no hand-over to the window thread.
class Output_Link : public QObject
{
    Q_OBJECT

public:
    struct Links
    {
        Settings_Record& Settings;
        Comm_Port& Serial_Port;
        std::atomic<std::uint32_t>& Link_State;
        // Its event ends a line's answer wait early; the serial receive thread fills it.
        Reply_Channel& Reply;
        Log_Writer& Log;
    };

    explicit Output_Link(Links links, QObject* parent = nullptr);
    ~Output_Link() override;

    // Start-up: the first tick comes after 2000 ms.
    void Start();
    // Shutdown: the timer stops and both sockets close.
    void Stop();
    // Either "Open" box was clicked: act within half a second, without waiting for a countdown.
    void Open_Clicked();

    // The sides, for the monitoring thread's lines; they live as long as the link.
    Output_Tcp_Server& Tcp_Server() { return *tcp_server; }
    Output_Tcp_Client& Tcp_Client() { return *tcp_client; }
    Output_Serial& Serial() { return *serial; }

    int Server_Connection_Count() const;
    bool Client_Is_Connected() const;
    std::int32_t Reconnect_Countdown() const { return reconnect_countdown; }

    // Each is emitted on the window thread, inside the tick or socket event it happened in.
signals:
    void Status_Changed(const QString& text);
    void Fault_Beep();
    // The TCP client's connection to the automation software's server was made.
    void Client_Connected();
    // Something the operator must read and confirm.
    void Operator_Message(const QString& text);
    // The link changed settings that the window shows (the transport, after a serial failure).
    void Settings_Changed();

private:
    void Timer_OutTimer();
    void Tcp_Server_Tick();
    void Tcp_Client_Tick();
    void Serial_Tick();
    void Closed_Tick();
    void Drop_Ended_Connections();
    void Log(const QString& text, Log_Colour colour = Log_Black);
    // A lost automation software link, in red: one line a minute at most, the next one telling how
    // many more were lost in between, so a flapping link cannot flood the log.
    void Log_Link_Lost(const QString& text);

    Links links;
    QTimer* timer;
    std::unique_ptr<Output_Tcp_Server> tcp_server;
    std::unique_ptr<Output_Tcp_Client> tcp_client;
    std::unique_ptr<Output_Serial> serial;
    std::int32_t reconnect_countdown = 0;
    int server_connections = 0; // as seen at the last tick
    bool client_connected = false; // as seen at the last tick
    std::int64_t link_lost_line_time = 0; // steady seconds of the last line about a lost link
    std::uint64_t links_lost_unlogged = 0;
};

#pragma once

#include "base/Log_Writer.h"
#include "output/Link_State.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class Comm_Port;
class Line_Socket;
class QTcpServer;
class QTcpSocket;
class QTimer;
struct Settings_Record;

// The transport to the automation software: a TCP server it connects to, a TCP client that
// connects to it, or the serial port. Timer_Out opens, supervises and closes it on the window
// thread, which accepts or connects and, between lines, notices connections that ended. Each TCP
// line goes out and its answer comes back on the monitoring thread itself (Exchange_Line), with
// no hand-over to the window thread.
class Output_Link : public QObject
{
    Q_OBJECT

public:
    struct Links
    {
        Settings_Record& Settings;
        Comm_Port& Serial_Port;
        std::atomic<std::uint32_t>& Link_State;
        Log_Writer& Log;
    };

    struct View_Hooks
    {
        std::function<void(const QString&)> Status_Text; // status bar panel 1
        std::function<void()> Beep;
        std::function<void()> Play_Notification;
        std::function<void(const QString&)> Message_Box;
        std::function<void()> Refresh_Mon_Out;
    };

    explicit Output_Link(Links links, QObject* parent = nullptr);
    ~Output_Link() override;

    void Set_View_Hooks(View_Hooks hooks) { view = std::move(hooks); }

    // Start-up: the first tick comes after 2000 ms.
    void Start();
    // Shutdown: the timer stops and both sockets close.
    void Stop();
    // Either "Open" box was clicked: act within half a second, without waiting for a countdown.
    void Open_Clicked();

    // Monitoring thread: sends the line and waits up to `answer_wait` for its answer. Server mode
    // sends on the newest connection; client mode checks the connection except for the
    // heartbeat, which counts as sent regardless. Interrupted as soon as `interrupt` is set or
    // the window thread lets the connection go. A line the system refuses, or one that finds no
    // room within the answer wait, goes unanswered.
    Line_Exchange Exchange_Line(const char* line, std::size_t size, bool heartbeat, bool server_mode,
        std::chrono::milliseconds answer_wait, Manual_Reset_Event& interrupt);

    int Server_Connection_Count() const { return static_cast<int>(server_connections.size()); }
    bool Client_Connected() const;
    std::int32_t Reconnect_Countdown() const { return reconnect_countdown; }

private:
    void Timer_OutTimer();
    void Tcp_Tick();
    void Tcp_Server_Tick();
    void Tcp_Client_Tick();
    void Serial_Tick();
    void Closed_Tick();
    void Close_Server();
    void Close_Client();
    void ServerSocket_OutClientConnect(std::intptr_t descriptor);
    void Client_Connected_Now();
    // Lets go of the connections that the other side closed or that failed since the last look.
    void Drop_Ended_Connections();
    bool Ended(const std::shared_ptr<Line_Socket>& connection, bool is_client);
    void Drop_Client_Connection();
    // After every change of the connections: where the monitoring thread's next line goes.
    void Publish_Line_Targets();
    // The client socket while it connects; once connected, the connection is no longer its.
    void Client_Socket_Error();
    void Log(const QString& text, Log_Colour colour = Log_Black);
    void Status(const QString& text);
    void Beep();

    Links links;
    View_Hooks view;
    QTimer* timer;
    QTcpServer* server;
    QTcpSocket* client;
    // Connected: the client socket only connects, then hands its connection over to this.
    std::shared_ptr<Line_Socket> client_connection;
    // In the order they were accepted: the newest is the last.
    std::vector<std::shared_ptr<Line_Socket>> server_connections;

    // Guards the two below, which the monitoring thread copies for each line.
    std::mutex line_targets_lock;
    std::shared_ptr<Line_Socket> server_line_target;
    std::shared_ptr<Line_Socket> client_line_target;
    std::int32_t reconnect_countdown = 0;
};

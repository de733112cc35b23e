#pragma once

#include "base/Log_Writer.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class Comm_Port;
class QTcpServer;
class QTcpSocket;
class QTimer;
struct Reply_Channel;
struct Settings_Record;

// The transport to the automation software: a TCP server it connects to, a TCP client that
// connects to it, or the serial port. Timer_Out opens, supervises and closes it on the window
// thread; the sockets live there too, so the monitoring thread hands its TCP writes over
// (Send_Tcp) instead of touching a socket itself.
class Output_Link : public QObject
{
    Q_OBJECT

public:
    struct Links
    {
        Settings_Record& Settings;
        Comm_Port& Serial_Port;
        std::atomic<std::uint32_t>& Link_State;
        Reply_Channel& Reply;
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

    enum class Send_Outcome { Sent, No_Connection };

    explicit Output_Link(Links links, QObject* parent = nullptr);
    ~Output_Link() override;

    void Set_View_Hooks(View_Hooks hooks) { view = std::move(hooks); }

    // Start-up: the first tick comes after 2000 ms.
    void Start();
    // Shutdown: the timer stops and both sockets close.
    void Stop();
    // Either "Open" box was clicked: act within half a second, without waiting for a countdown.
    void Open_Clicked();

    // Window thread, for the monitoring thread. Server mode sends on the newest connection;
    // client mode checks the connection except for the heartbeat, which is sent regardless.
    Send_Outcome Send_Tcp(const char* line, std::size_t size, bool heartbeat);

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
    void ServerSocket_OutClientConnect();
    void Answer_Read(QTcpSocket* socket);
    void Socket_Error(QTcpSocket* socket, bool client);
    void Log(const QString& text, Log_Colour colour = Log_Black);
    void Status(const QString& text);
    void Beep();

    Links links;
    View_Hooks view;
    QTimer* timer;
    QTcpServer* server;
    QTcpSocket* client;
    // In the order they were accepted: the newest is the last.
    std::vector<QTcpSocket*> server_connections;
    std::int32_t reconnect_countdown = 0;
};

#include "output/Output_Link.h"

#include "base/Out_Listen_Address.h"

#include "base/Settings_File.h"
#include "base/Settings_Record.h"
#include "base/System_Error.h"
#include "output/Com_Ports.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"
#include "output/Output_Serial.h"
#include "output/Output_Tcp_Client.h"
#include "output/Output_Tcp_Server.h"
#include "output/Output_Transport.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTimer>

namespace {

constexpr int First_Tick_Ms = 2000;
constexpr int Tick_Ms = 1000;
constexpr int Clicked_Tick_Ms = 500;
constexpr std::int32_t Connect_Wait_Ticks = 30;
constexpr std::int32_t Error_Wait_Ticks = 10;
constexpr std::int64_t Link_Lost_Interval_Seconds = 60;

QString Port_Text(std::int32_t port)
{
    return QString::number(port);
}

QString Failure_Text(int error)
{
    return QStringLiteral("Communication port error. ") + QString::fromStdString(System_Error_Text(error));
}

} // namespace

Output_Link::Output_Link(Links links_, QObject* parent)
    : QObject(parent)
    , links(links_)
    , timer(new QTimer(this))
    , tcp_server(std::make_unique<Output_Tcp_Server>(links_.Log, links_.Reply.Event))
    , tcp_client(std::make_unique<Output_Tcp_Client>(links_.Log, links_.Reply.Event))
    , serial(std::make_unique<Output_Serial>(
          Output_Serial::Links {links_.Serial_Port, links_.Reply, links_.Log}, Window_Thread_Call(this)))
{
    timer->setInterval(First_Tick_Ms);
    connect(timer, &QTimer::timeout, this, &Output_Link::Timer_OutTimer);
    connect(tcp_client.get(), &Output_Tcp_Client::Fault, this,
        [this] { reconnect_countdown = Error_Wait_Ticks; });
    connect(tcp_client.get(), &Output_Tcp_Client::Now_Connected, this, &Output_Link::Client_Connected);
}

Output_Link::~Output_Link() = default;

void Output_Link::Log(const QString& text, Log_Colour colour)
{
    links.Log.Log_Message(text.toStdString(), colour);
}

void Output_Link::Log_Link_Lost(const QString& text)
{
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    if (link_lost_line_time != 0 && now - link_lost_line_time < Link_Lost_Interval_Seconds) {
        ++links_lost_unlogged;
        return;
    }
    QString line = text;
    if (links_lost_unlogged != 0)
        line += QStringLiteral(" (and ") + QString::number(links_lost_unlogged)
            + QStringLiteral(" times before in the last minutes)");
    links_lost_unlogged = 0;
    link_lost_line_time = now;
    Log(line, Log_Red);
}

void Output_Link::Start()
{
    timer->start(First_Tick_Ms);
}

void Output_Link::Stop()
{
    timer->stop();
    tcp_client->Close();
    tcp_server->Close();
}

void Output_Link::Open_Clicked()
{
    if (timer->isActive() && timer->interval() == Tick_Ms)
        timer->start(Clicked_Tick_Ms);
    reconnect_countdown = 0;
}

int Output_Link::Server_Connection_Count() const
{
    return tcp_server->Connection_Count();
}

bool Output_Link::Client_Is_Connected() const
{
    return tcp_client->Connected();
}

void Output_Link::Drop_Ended_Connections()
{
    tcp_server->Drop_Ended([this](int error) { Log(Failure_Text(error), Log_Red); });
    tcp_client->Drop_Ended([this](int error) {
        Log(Failure_Text(error), Log_Red);
        reconnect_countdown = Error_Wait_Ticks;
    });
}

void Output_Link::Timer_OutTimer()
{
    timer->stop();
    timer->setInterval(Tick_Ms);
    Drop_Ended_Connections();
    switch (Transport_Of(links.Settings)) {
    case Output_Transport::Tcp:
        if (reconnect_countdown != 0) {
            --reconnect_countdown;
            timer->start();
            return;
        }
        if (links.Settings.Mon_Server_Mode == 1)
            Tcp_Server_Tick();
        else
            Tcp_Client_Tick();
        break;
    case Output_Transport::Serial:
        Serial_Tick();
        break;
    case Output_Transport::Closed:
        Closed_Tick();
        break;
    }
    if (reconnect_countdown != 0)
        --reconnect_countdown;
    timer->start();
}

void Output_Link::Tcp_Server_Tick()
{
    tcp_client->Close();
    client_connected = false;
    const std::int32_t port = links.Settings.Mon_Port;
    if (!tcp_server->Listening()) {
        Log(QStringLiteral("Opening automation software port ") + Port_Text(port));
        links.Link_State.store(0);
        const QString failure
            = tcp_server->Listen(port, QString::fromLatin1(Out_Listen_Address_Text(links.Settings)));
        if (!failure.isEmpty()) {
            reconnect_countdown = Error_Wait_Ticks;
            Log(failure, Log_Red);
            emit Fault_Beep();
            return;
        }
        Log(QStringLiteral("Automation software port ") + Port_Text(port)
            + QStringLiteral(" is open. Waiting for connection..."));
        return;
    }
    const int connections = tcp_server->Connection_Count();
    if (connections == 0 && server_connections != 0)
        Log_Link_Lost(QStringLiteral("Automation software disconnected from port ") + Port_Text(port)
            + QStringLiteral(". Events wait as \"Pending\"."));
    server_connections = connections;
    if (connections == 0) {
        links.Link_State.store(0);
        // Alarms pile up unforwarded: said in so many words, not only "Listenning...".
        emit Status_Changed(QStringLiteral(
            "Automation software port is open. Listenning... No automation software connected."));
    } else {
        emit Status_Changed(QStringLiteral("Automation software: connected (") + QString::number(connections)
            + QStringLiteral(")."));
        links.Link_State.fetch_or(Link_Port_Up);
    }
    // One older connection goes per tick, so the newest is the one that survives.
    if (connections >= 2)
        tcp_server->Drop_Oldest();
}

void Output_Link::Tcp_Client_Tick()
{
    tcp_server->Close();
    server_connections = 0;
    const std::int32_t port = links.Settings.Mon_Port;
    const QString address = QString::fromLatin1(Out_IP_Text(links.Settings));
    if (tcp_client->Connected()) {
        client_connected = true;
        emit Status_Changed(QStringLiteral("Automation software server: connected."));
        // Whenever the port is up, not only from 0: a heartbeat answered while the connection was
        // being replaced can leave Link_Confirmed alone, and waiting for exactly 0 would then keep
        // the link at heartbeats only, with no event line ever sent.
        const std::uint32_t before = links.Link_State.fetch_or(Link_Port_Up);
        if ((before & Link_Port_Up) == 0)
            Log(QStringLiteral("Port ") + Port_Text(port) + QStringLiteral(" connected."));
        return;
    }
    if (client_connected)
        Log_Link_Lost(QStringLiteral("Automation software server disconnected. IP: ") + address
            + QStringLiteral("  Port: ") + Port_Text(port));
    client_connected = false;
    links.Link_State.store(0);
    emit Status_Changed(QStringLiteral("Automation software server: not connected."));
    Log(QStringLiteral("Connecting to automation software server. IP: ") + address
        + QStringLiteral("  Port: ") + Port_Text(port));
    tcp_client->Abort_Attempt();
    const QHostAddress host(address);
    bool start_failed = false;
    if (port < 0 || port > 65535 || host.isNull()) {
        start_failed = true;
        Log(QStringLiteral("Invalid address or port: ") + address + QStringLiteral(":") + Port_Text(port),
            Log_Red);
    } else {
        tcp_client->Connect_To(host, static_cast<std::uint16_t>(port));
    }
    if (!tcp_client->Connected()) {
        if (!start_failed)
            Log(QStringLiteral("Can't open port ") + Port_Text(port), Log_Red);
        reconnect_countdown = Connect_Wait_Ticks;
        emit Fault_Beep();
    }
}

void Output_Link::Serial_Tick()
{
    const std::string name = Com_Port_Name(links.Settings);
    const QString shown = QString::fromLatin1(name);
    if (serial->Is_Open()) {
        emit Status_Changed(
            QStringLiteral("Automation software port ") + shown + QStringLiteral(" is open."));
        return;
    }
    try {
        serial->Open(static_cast<std::uint32_t>(links.Settings.COM_Baud), Com_Port_Device_Path(name));
        Log(QStringLiteral("Automation software port ") + shown + QStringLiteral(" is open."));
        links.Link_State.fetch_or(Link_Port_Up);
    } catch (const ECommError& error) {
        emit Fault_Beep();
        Set_Transport(links.Settings, Output_Transport::Closed);
        emit Operator_Message(error.Code == Comm_Error_Open
                ? QStringLiteral("Error opening ") + shown + QStringLiteral(". Port already in use?")
                : QStringLiteral("COM port error"));
        emit Settings_Changed();
    }
}

void Output_Link::Closed_Tick()
{
    // Closed on purpose: no link is lost.
    server_connections = 0;
    client_connected = false;
    links.Link_State.store(0);
    if (serial->Is_Open()) {
        try {
            serial->Close();
        } catch (const ECommError& error) {
            Log(QStringLiteral("COM port error: ") + QString::number(error.System_Code), Log_Red);
        }
        Log(QStringLiteral("Automation software port ") + QString::fromLatin1(Com_Port_Name(links.Settings))
            + QStringLiteral(" closed."));
    }
    if (tcp_server->Listening() || tcp_client->Active())
        Log(QStringLiteral("Automation software port ") + Port_Text(links.Settings.Mon_Port)
            + QStringLiteral(" closed."));
    tcp_client->Close();
    tcp_server->Close();
    emit Status_Changed(QStringLiteral("Automation software port closed."));
}

#include "output/Output_Link.h"

#include "base/Descriptor_Server.h"
#include "base/Settings_File.h"
#include "base/Settings_Record.h"
#include "output/Com_Ports.h"
#include "output/Comm_Port.h"
#include "output/Line_Socket.h"
#include "output/Link_State.h"
#include "store/Data_File.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int First_Tick_Ms = 2000;
constexpr int Tick_Ms = 1000;
constexpr int Clicked_Tick_Ms = 500;
constexpr std::int32_t Connect_Wait_Ticks = 30;
constexpr std::int32_t Error_Wait_Ticks = 10;

QString Port_Text(std::int32_t port)
{
    return QString::number(port);
}

bool Valid_Port(std::int32_t port)
{
    return port >= 0 && port <= 65535;
}

} // namespace

Output_Link::Output_Link(Links links_, QObject* parent)
    : QObject(parent)
    , links(links_)
    , timer(new QTimer(this))
    , server(new Descriptor_Server(
          this, [this](std::intptr_t descriptor) { ServerSocket_OutClientConnect(descriptor); }))
    , client(new QTcpSocket(this))
{
    timer->setInterval(First_Tick_Ms);
    connect(timer, &QTimer::timeout, this, &Output_Link::Timer_OutTimer);
    connect(client, &QTcpSocket::errorOccurred, this, &Output_Link::Client_Socket_Error);
    connect(client, &QTcpSocket::connected, this, &Output_Link::Client_Connected_Now);
}

Output_Link::~Output_Link() = default;

void Output_Link::Log(const QString& text, Log_Colour colour)
{
    links.Log.Log_Message(text.toStdString(), colour);
}

void Output_Link::Status(const QString& text)
{
    if (view.Status_Text)
        view.Status_Text(text);
}

void Output_Link::Beep()
{
    if (view.Beep)
        view.Beep();
}

void Output_Link::Start()
{
    timer->start(First_Tick_Ms);
}

void Output_Link::Stop()
{
    timer->stop();
    Close_Client();
    Close_Server();
}

void Output_Link::Open_Clicked()
{
    if (timer->isActive() && timer->interval() == Tick_Ms)
        timer->start(Clicked_Tick_Ms);
    reconnect_countdown = 0;
}

bool Output_Link::Client_Connected() const
{
    return client_connection != nullptr;
}

void Output_Link::Client_Connected_Now()
{
    // The connection moves to a socket of our own; the client socket, closed, keeps no hold on it.
    client_connection = Line_Socket::Duplicate(client->socketDescriptor());
    client->abort();
    if (!client_connection) {
        Log(QStringLiteral("Communication port error. No socket for the connection."), Log_Red);
        reconnect_countdown = Error_Wait_Ticks;
        return;
    }
    Publish_Line_Targets();
    if (view.Play_Notification)
        view.Play_Notification();
}

void Output_Link::Drop_Client_Connection()
{
    if (!client_connection)
        return;
    client_connection->Drop();
    client_connection.reset();
    Publish_Line_Targets();
}

bool Output_Link::Ended(const std::shared_ptr<Line_Socket>& connection, bool is_client)
{
    int error = 0;
    switch (connection->Look(error)) {
    case Line_Socket::Health::Open:
        return false;
    case Line_Socket::Health::Closed_By_Peer:
        // The other side closing its end is a disconnection, not a fault.
        break;
    case Line_Socket::Health::Failed:
        Log(QStringLiteral("Communication port error. ") + QString::fromStdString(System_Error_Text(error)),
            Log_Red);
        if (is_client)
            reconnect_countdown = Error_Wait_Ticks;
        break;
    }
    connection->Drop();
    return true;
}

void Output_Link::Drop_Ended_Connections()
{
    const std::size_t before = server_connections.size();
    std::erase_if(server_connections,
        [this](const std::shared_ptr<Line_Socket>& connection) { return Ended(connection, false); });
    bool changed = server_connections.size() != before;
    if (client_connection && Ended(client_connection, true)) {
        client_connection.reset();
        changed = true;
    }
    if (changed)
        Publish_Line_Targets();
}

void Output_Link::Publish_Line_Targets()
{
    std::shared_ptr<Line_Socket> newest = server_connections.empty() ? nullptr : server_connections.back();
    std::lock_guard lock(line_targets_lock);
    server_line_target = std::move(newest);
    client_line_target = client_connection;
}

void Output_Link::Timer_OutTimer()
{
    timer->stop();
    timer->setInterval(Tick_Ms);
    Drop_Ended_Connections();
    switch (links.Settings.Out_Port_Type) {
    case 1:
        if (reconnect_countdown != 0) {
            --reconnect_countdown;
            timer->start();
            return;
        }
        Tcp_Tick();
        break;
    case 2:
        Serial_Tick();
        break;
    default:
        Closed_Tick();
        break;
    }
    if (reconnect_countdown != 0)
        --reconnect_countdown;
    timer->start();
}

void Output_Link::Tcp_Tick()
{
    if (links.Settings.Mon_Server_Mode == 1)
        Tcp_Server_Tick();
    else
        Tcp_Client_Tick();
}

void Output_Link::Tcp_Server_Tick()
{
    Close_Client();
    const std::int32_t port = links.Settings.Mon_Port;
    if (!server->isListening()) {
        Log(QStringLiteral("Opening automation software port ") + Port_Text(port));
        links.Link_State.store(0);
        QString failure;
        if (!Valid_Port(port))
            failure = QStringLiteral("Invalid port number ") + Port_Text(port);
        else if (!server->listen(QHostAddress::AnyIPv4, static_cast<quint16>(port)))
            failure = server->errorString();
        if (!failure.isEmpty()) {
            reconnect_countdown = Error_Wait_Ticks;
            Log(failure, Log_Red);
            Beep();
            return;
        }
        Log(QStringLiteral("Automation software port ") + Port_Text(port)
            + QStringLiteral(" is open. Waiting for connection..."));
        return;
    }
    if (server_connections.empty()) {
        links.Link_State.store(0);
        Status(QStringLiteral("Automation software port is open. Listenning..."));
    } else {
        Status(QStringLiteral("Automation software: connected (") + QString::number(server_connections.size())
            + QStringLiteral(")."));
        links.Link_State.fetch_or(Link_Port_Up);
    }
    // One older connection goes per tick, so the newest is the one that survives.
    if (server_connections.size() >= 2) {
        server_connections.front()->Drop();
        server_connections.erase(server_connections.begin());
        Publish_Line_Targets();
    }
}

void Output_Link::Tcp_Client_Tick()
{
    Close_Server();
    const std::int32_t port = links.Settings.Mon_Port;
    if (Client_Connected()) {
        Status(QStringLiteral("Automation software server: connected."));
        // Whenever the port is up, not only from 0: a heartbeat answered while the connection was
        // being replaced can leave Link_Confirmed alone, and waiting for exactly 0 would then keep
        // the link at heartbeats only, with no event line ever sent.
        const std::uint32_t before = links.Link_State.fetch_or(Link_Port_Up);
        if ((before & Link_Port_Up) == 0)
            Log(QStringLiteral("Port ") + Port_Text(port) + QStringLiteral(" connected."));
        return;
    }
    links.Link_State.store(0);
    Status(QStringLiteral("Automation software server: not connected."));
    const QString address = QString::fromLatin1(Out_IP_Text(links.Settings));
    Log(QStringLiteral("Connecting to automation software server. IP: ") + address
        + QStringLiteral("  Port: ") + Port_Text(port));
    client->abort();
    const QHostAddress host(address);
    bool start_failed = false;
    if (!Valid_Port(port) || host.isNull()) {
        start_failed = true;
        Log(QStringLiteral("Invalid address or port: ") + address + QStringLiteral(":") + Port_Text(port),
            Log_Red);
    } else {
        client->connectToHost(host, static_cast<quint16>(port));
    }
    if (!Client_Connected()) {
        if (!start_failed)
            Log(QStringLiteral("Can't open port ") + Port_Text(port), Log_Red);
        reconnect_countdown = Connect_Wait_Ticks;
        Beep();
    }
}

void Output_Link::Serial_Tick()
{
    const std::string name = Com_Port_Name(links.Settings);
    const QString shown = QString::fromLatin1(name);
    Comm_Port& port = links.Serial_Port;
    if (port.Is_Open()) {
        Status(QStringLiteral("Automation software port ") + shown + QStringLiteral(" is open."));
        return;
    }
    try {
        port.Set_Baud_Rate(static_cast<std::uint32_t>(links.Settings.COM_Baud));
        port.Set_Byte_Size(8);
        port.Set_Parity(Comm_Parity_None);
        port.Set_Stop_Bits(Comm_One_Stop_Bit);
        port.Set_Port_Name(Com_Port_Device_Path(name));
        port.Open();
        Log(QStringLiteral("Automation software port ") + shown + QStringLiteral(" is open."));
        links.Link_State.fetch_or(Link_Port_Up);
    } catch (const ECommError& error) {
        Beep();
        links.Settings.Out_Port_Type = 0;
        if (view.Message_Box)
            view.Message_Box(error.Code == Comm_Error_Open
                    ? QStringLiteral("Error opening ") + shown + QStringLiteral(". Port already in use?")
                    : QStringLiteral("COM port error"));
        if (view.Refresh_Mon_Out)
            view.Refresh_Mon_Out();
    }
}

void Output_Link::Closed_Tick()
{
    links.Link_State.store(0);
    Comm_Port& port = links.Serial_Port;
    if (port.Is_Open()) {
        try {
            port.Close();
        } catch (const ECommError& error) {
            Log(QStringLiteral("COM port error: ") + QString::number(error.System_Code), Log_Red);
        }
        Log(QStringLiteral("Automation software port ") + QString::fromLatin1(Com_Port_Name(links.Settings))
            + QStringLiteral(" closed."));
    }
    if (server->isListening() || client->state() != QAbstractSocket::UnconnectedState || client_connection)
        Log(QStringLiteral("Automation software port ") + Port_Text(links.Settings.Mon_Port)
            + QStringLiteral(" closed."));
    Close_Client();
    Close_Server();
    Status(QStringLiteral("Automation software port closed."));
}

void Output_Link::Close_Server()
{
    server->close();
    for (const std::shared_ptr<Line_Socket>& connection : server_connections)
        connection->Drop();
    server_connections.clear();
    Publish_Line_Targets();
}

void Output_Link::Close_Client()
{
    if (client->state() != QAbstractSocket::UnconnectedState)
        client->abort();
    Drop_Client_Connection();
}

void Output_Link::ServerSocket_OutClientConnect(std::intptr_t descriptor)
{
    std::shared_ptr<Line_Socket> connection = Line_Socket::Adopt(descriptor);
    if (!connection) {
        Log(QStringLiteral("Communication port error. No socket for the connection."), Log_Red);
        return;
    }
    server_connections.push_back(std::move(connection));
    Publish_Line_Targets();
}

void Output_Link::Client_Socket_Error()
{
    // The other side closing its end is a disconnection, not a fault.
    if (client->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    const QString text = client->errorString();
    Log(QStringLiteral("Communication port error. ") + (text.isEmpty() ? QStringLiteral("?") : text),
        Log_Red);
    reconnect_countdown = Error_Wait_Ticks;
}

Line_Exchange Output_Link::Exchange_Line(const char* line, std::size_t size, bool heartbeat, bool server_mode,
    std::chrono::milliseconds answer_wait, Manual_Reset_Event& interrupt)
{
    using End = Line_Exchange::End;
    std::shared_ptr<Line_Socket> target;
    {
        std::lock_guard lock(line_targets_lock);
        target = server_mode ? server_line_target : client_line_target;
    }
    // A connection that ended since the window thread last looked counts as none.
    if (target && !target->Discard_Unasked())
        target.reset();
    if (!target) {
        if (server_mode || !heartbeat)
            return {End::No_Connection};
        // The client's heartbeat counts as sent even with no connection; no answer can come.
        return {interrupt.Wait_For(answer_wait) ? End::Interrupted : End::Silence};
    }
    // The room wait is bounded by the answer wait, so a line to an automation software that
    // reads nothing ends in a missing answer too.
    target->Send(line, size, answer_wait);
    std::uint8_t answer = 0;
    switch (target->Await_Answer(answer_wait, interrupt, answer)) {
    case Line_Socket::Wait_End::Answer:
        return {End::Answer, answer};
    case Line_Socket::Wait_End::Given_Up:
        return {End::Interrupted};
    case Line_Socket::Wait_End::Silence:
        break;
    }
    return {End::Silence};
}

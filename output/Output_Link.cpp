#include "output/Output_Link.h"

#include "base/Settings_File.h"
#include "base/Settings_Record.h"
#include "output/Com_Ports.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"

#include <QHostAddress>
#include <QTcpServer>
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
    , server(new QTcpServer(this))
    , client(new QTcpSocket(this))
{
    timer->setInterval(First_Tick_Ms);
    connect(timer, &QTimer::timeout, this, &Output_Link::Timer_OutTimer);
    connect(server, &QTcpServer::newConnection, this, &Output_Link::ServerSocket_OutClientConnect);
    connect(client, &QTcpSocket::readyRead, this, [this] { Answer_Read(client); });
    connect(client, &QTcpSocket::errorOccurred, this, [this] { Socket_Error(client, true); });
    connect(client, &QTcpSocket::connected, this, [this] {
        if (view.Play_Notification)
            view.Play_Notification();
    });
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
    return client->state() == QAbstractSocket::ConnectedState;
}

void Output_Link::Timer_OutTimer()
{
    timer->stop();
    timer->setInterval(Tick_Ms);
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
    if (server_connections.size() >= 2)
        server_connections.front()->abort();
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
    if (server->isListening() || client->state() != QAbstractSocket::UnconnectedState)
        Log(QStringLiteral("Automation software port ") + Port_Text(links.Settings.Mon_Port)
            + QStringLiteral(" closed."));
    Close_Client();
    Close_Server();
    Status(QStringLiteral("Automation software port closed."));
}

void Output_Link::Close_Server()
{
    server->close();
    const std::vector<QTcpSocket*> open = server_connections;
    for (QTcpSocket* socket : open)
        socket->abort();
    server_connections.clear();
}

void Output_Link::Close_Client()
{
    if (client->state() != QAbstractSocket::UnconnectedState)
        client->abort();
}

void Output_Link::ServerSocket_OutClientConnect()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        server_connections.push_back(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer_Read(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { Socket_Error(socket, false); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            std::erase(server_connections, socket);
            socket->deleteLater();
        });
    }
}

void Output_Link::Answer_Read(QTcpSocket* socket)
{
    // Only the first byte of a read counts; the rest is dropped with it.
    char first = 0;
    const qint64 got = socket->read(&first, 1);
    socket->skip(socket->bytesAvailable());
    if (got != 1)
        return;
    const auto answer = static_cast<std::uint8_t>(first);
    if (answer == Answer_ACK || answer == Answer_NAK)
        links.Reply.Deliver(answer);
}

void Output_Link::Socket_Error(QTcpSocket* socket, bool is_client)
{
    // The other side closing its end is a disconnection, not a fault.
    if (socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    const QString text = socket->errorString();
    Log(QStringLiteral("Communication port error. ") + (text.isEmpty() ? QStringLiteral("?") : text),
        Log_Red);
    if (is_client)
        reconnect_countdown = Error_Wait_Ticks;
}

Output_Link::Send_Outcome Output_Link::Send_Tcp(const char* line, std::size_t size, bool heartbeat)
{
    QTcpSocket* socket = nullptr;
    if (links.Settings.Mon_Server_Mode == 1) {
        if (server_connections.empty())
            return Send_Outcome::No_Connection;
        socket = server_connections.back();
    } else {
        if (!heartbeat && !Client_Connected())
            return Send_Outcome::No_Connection;
        socket = client;
    }
    // A failed write shows up as a socket error on this thread and then as a missing answer.
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(line, static_cast<qint64>(size));
        socket->flush();
    }
    return Send_Outcome::Sent;
}

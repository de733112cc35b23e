#include "receiver/Receiver_Port.h"

#include "base/Data_Log_Time_Stamp.h"
#include "base/Settings_Record.h"
#include "base/Sync_Events.h"
#include "receiver/DC09_Parse.h"
#include "receiver/DC09_Reply.h"
#include "receiver/Fill_Event_From_Frame.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

// A socket read never hands over more than this, so one read event parses at most this much and
// a sender that never ends its line cannot grow our memory.
constexpr qint64 Read_Limit = 64 * 1024;

constexpr int Tick_Ms = 1000;
constexpr int Retry_Ms = 10000;

Receiver_Port::Peer Peer_Of(const QTcpSocket* socket)
{
    Receiver_Port::Peer peer {};
    const QByteArray text = socket->peerAddress().toString().toLatin1();
    peer.Length = static_cast<std::uint8_t>(std::min<qsizetype>(text.size(), sizeof peer.Address));
    std::memcpy(peer.Address, text.constData(), peer.Length);
    peer.Port = socket->peerPort();
    return peer;
}

QString To_QString(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

Receiver_Port::Receiver_Port(Links links_, QObject* parent)
    : QObject(parent)
    , links(links_)
    , server(new QTcpServer(this))
    , timer(new QTimer(this))
    , table(std::make_unique<DC09_Connection_Table>())
    , read_buffer(std::make_unique<char[]>(Read_Limit + 1))
{
    timer->setInterval(Tick_Ms);
    connect(timer, &QTimer::timeout, this, &Receiver_Port::Timer_DC9Timer);
    connect(server, &QTcpServer::newConnection, this, &Receiver_Port::ServerSocket_DC9ClientConnect);
    // Out of descriptors the server pauses accepting instead of spinning; the tick resumes it.
    connect(server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        Log(QStringLiteral("Receiver port error. ") + server->errorString(), Log_Red);
    });
}

Receiver_Port::~Receiver_Port() = default;

void Receiver_Port::Start()
{
    timer->start(Tick_Ms);
}

void Receiver_Port::Stop()
{
    timer->stop();
    Close_Port();
}

void Receiver_Port::Port_Enable_Changed()
{
    timer->setInterval(Tick_Ms);
}

bool Receiver_Port::Listening() const
{
    return server->isListening();
}

void Receiver_Port::Log(const QString& text, Log_Colour colour)
{
    links.Log.Log_Message(text.toStdString(), colour);
}

void Receiver_Port::Timer_DC9Timer()
{
    timer->stop();
    timer->setInterval(Tick_Ms);

    if (!first_tick_done) {
        first_tick_done = true;
        if (view.First_Tick)
            view.First_Tick();
    }

    const bool wanted_open = links.Settings.DC9_Port_Enable == 1;
    if (wanted_open && server->isListening()) {
        server->resumeAccepting();
        if (view.Status_Text)
            view.Status_Text(QStringLiteral("Receiver port is open.  Connections: ")
                + QString::number(connections.size()));
    } else if (wanted_open) {
        Open_Port();
    } else {
        if (server->isListening()) {
            Close_Port();
            Log(QStringLiteral("Port ") + QString::number(links.Settings.DC9_Port)
                + QStringLiteral(" closed."));
        }
        if (view.Status_Text)
            view.Status_Text(QStringLiteral("Receiver port closed."));
    }

    table->Tick([this](const DC09_Connection_Slot& slot) {
        for (const Connection& connection : connections) {
            if (DC09_Connection_Table::Matches(slot, connection.Remote.Text(), connection.Remote.Port)) {
                // Closed later in this event-loop turn, so the list is not changed under us.
                QMetaObject::invokeMethod(connection.Socket, &QTcpSocket::abort, Qt::QueuedConnection);
                return true;
            }
        }
        return false;
    });

    timer->start();
}

void Receiver_Port::Open_Port()
{
    const std::int32_t port = links.Settings.DC9_Port;
    Log(QStringLiteral("Opening receiver port ") + QString::number(port));
    QString failure;
    if (port < 0 || port > 65535)
        failure = QStringLiteral("Invalid port number ") + QString::number(port);
    else if (!server->listen(QHostAddress::AnyIPv4, static_cast<quint16>(port)))
        failure = server->errorString();
    if (!failure.isEmpty()) {
        // Retried on the tick after next, 10 s from now, with one red line each time.
        timer->setInterval(Retry_Ms);
        Log(failure, Log_Red);
        if (view.Beep)
            view.Beep();
        return;
    }
    Log(QStringLiteral("Port ") + QString::number(port) + QStringLiteral(" is open."));
}

void Receiver_Port::Close_Port()
{
    server->close();
    // Abort emits disconnected, which takes each socket off the list.
    const std::vector<Connection> open = connections;
    for (const Connection& connection : open)
        connection.Socket->abort();
    connections.clear();
}

void Receiver_Port::ServerSocket_DC9ClientConnect()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        socket->setReadBufferSize(Read_Limit);
        const Peer peer = Peer_Of(socket);
        connections.push_back({socket, peer});
        connect(socket, &QTcpSocket::readyRead, this,
            [this, socket, peer] { ServerSocket_DC9ClientRead(socket, peer); });
        connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket] { ServerSocket_DC9ClientError(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Connection_Closed(socket); });
        table->Record(peer.Text(), peer.Port, DC09_Idle_Seconds);
    }
}

void Receiver_Port::Connection_Closed(QTcpSocket* socket)
{
    std::erase_if(
        connections, [socket](const Connection& connection) { return connection.Socket == socket; });
    socket->deleteLater();
}

void Receiver_Port::ServerSocket_DC9ClientError(QTcpSocket* socket)
{
    // A peer that closes its end is how a communicator says goodbye, not a fault.
    const QAbstractSocket::SocketError error = socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    Log(QStringLiteral("Receiver port error. ") + QString::number(static_cast<int>(error))
            + socket->errorString(),
        Log_Red);
}

void Receiver_Port::ServerSocket_DC9ClientRead(QTcpSocket* socket, const Peer& peer)
{
    qint64 size = socket->read(read_buffer.get(), Read_Limit);
    if (size <= 0)
        return;
    // Whatever is beyond one read's worth belongs to no frame that could still be parsed.
    if (socket->bytesAvailable() > 0)
        socket->skip(socket->bytesAvailable());
    read_buffer[size] = '\0';
    Handle_Message(socket, peer, static_cast<std::size_t>(size));
}

void Receiver_Port::Data_Log_Feed(std::size_t size)
{
    if (!view.Data_Log_Visible || !view.Data_Log_Visible() || !view.Data_Log_Add)
        return;
    const QString stamp = QString::fromStdString(Data_Log_Time_Stamp(QTime::currentTime()));
    // The received text as it stands, up to its first zero byte.
    const QByteArray text(read_buffer.get(), static_cast<qsizetype>(::strnlen(read_buffer.get(), size)));
    view.Data_Log_Add(QString());
    view.Data_Log_Add(stamp + QStringLiteral("  ") + QString::fromLatin1(text));
}

void Receiver_Port::Handle_Message(QTcpSocket* socket, const Peer& peer, std::size_t size)
{
    Data_Log_Feed(size);

    const Settings_Record& settings = links.Settings;

    DC09_Frame frame;
    const DC09_Outcome outcome
        = DC09_Parse(read_buffer.get(), size, settings.DC9_AES_Mode, settings.DC9_Encoding_Key, frame);

    std::int32_t idle = DC09_Idle_Seconds;
    if (outcome == DC09_Outcome::Unrecognised) {
        Log(QStringLiteral("Unrecognised data received from IP: ") + To_QString(peer.Text())
            + QStringLiteral(", port: ") + QString::number(peer.Port));
    } else {
        const std::int64_t reception_time = static_cast<std::int64_t>(std::time(nullptr));
        const DC09_Reply reply = DC09_Choose_Reply(outcome, settings.DC9_AES_Mode, settings.Time_Synch != 0);
        const DC09_Message message
            = DC09_Build_Reply(reply, frame, settings.DC9_AES_Mode, settings.DC9_Encoding_Key);
        socket->write(message.Bytes, static_cast<qint64>(message.Size));

        if (reply == DC09_Reply::Ack || reply == DC09_Reply::Encrypted_Ack) {
            const Filled_Event filled = Fill_Event_From_Frame(frame, peer.Text(), reception_time);
            links.Objects.Update_Object(filled.Record, filled.Has_Signal_Quality);
            links.Events.Append_Event(filled.Record);
            links.Object_Changed.Set();
            idle = settings.DC9_Conn_Timeout;
        }
    }
    table->Record(peer.Text(), peer.Port, idle);
}

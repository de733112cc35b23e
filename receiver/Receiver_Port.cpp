#include "receiver/Receiver_Port.h"

#include "base/Data_Log_Time_Stamp.h"
#include "base/Descriptor_Server.h"
#include "base/Settings_Record.h"
#include "base/Sync_Events.h"
#include "base/System_Error.h"
#include "receiver/DC09_Reply.h"
#include "receiver/Receiver_Socket.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"

#include <QDateTime>
#include <QHostAddress>
#include <QSocketNotifier>
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

// After an outage every communicator of a station reconnects at once. The system's queue of
// connections not yet accepted must hold such a burst: with a short queue the system drops or
// half-opens the surplus. The system caps the value at its own limit.
constexpr int Listen_Backlog = 4096;

// Replies to a peer that does not read pile up here; beyond this the peer is dropped.
constexpr std::size_t Unsent_Limit = 1024 * 1024;

// Bytes a connection may send without one answered frame among them before it is dropped at
// once; short of that its countdown, which only an answered frame restarts, closes it.
constexpr std::uint64_t Garbage_Limit = 8 * 1024 * 1024;

Receiver_Port::Peer Peer_Of(std::intptr_t descriptor)
{
    Receiver_Port::Peer peer {};
    std::string text;
    std::uint16_t port = 0;
    if (receiver_socket::Peer(descriptor, text, port)) {
        peer.Length = static_cast<std::uint8_t>(std::min(text.size(), sizeof peer.Address));
        std::memcpy(peer.Address, text.data(), peer.Length);
        peer.Port = port;
    }
    return peer;
}

QString Descriptors_Low_Line()
{
    return QStringLiteral("Receiver port: too few descriptors left, accepting paused until connections end");
}

} // namespace

Receiver_Port::Receiver_Port(Links links_, QObject* parent)
    : QObject(parent)
    , links(links_)
    , server(new Descriptor_Server(
          this, [this](std::intptr_t descriptor) { ServerSocket_DC9ClientConnect(descriptor); }))
    , timer(new QTimer(this))
    , table(std::make_unique<DC09_Connection_Table<Connection>>())
    , read_buffer(std::make_unique<char[]>(Read_Limit))
    , accept_guard(*server)
    , watch(*this,
          [this](void* tag, bool readable, bool writable) {
              Connection& connection = *static_cast<Connection*>(tag);
              if (writable && connection.Open)
                  Send_Unsent(connection);
              if (readable && connection.Open)
                  ServerSocket_DC9ClientRead(connection);
          })
    , port_lines(16)
    , long_account_warned(std::make_unique<std::uint8_t[]>(Object_Count))
{
    receiver_socket::Allow_Descriptors(DC09_Connection_Limit);
    server->setListenBacklogSize(Listen_Backlog);
    timer->setInterval(Tick_Ms);
    connect(timer, &QTimer::timeout, this, &Receiver_Port::Timer_DC9Timer);
    // A failed accept pauses the server; the tick resumes it once descriptors are free again.
    // Running out of descriptors shows as a resource error (the limit may have been lowered since
    // the last tick renewed the guard's alarm), and says so in the same words as the guard.
    connect(server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        accept_guard.Accept_Failed();
        if (error == QAbstractSocket::SocketResourceError)
            Note_Port_Trouble("descriptors", Descriptors_Low_Line());
        else
            Note_Port_Trouble("accept", QStringLiteral("Receiver port error. ") + server->errorString());
    });
}

Receiver_Port::~Receiver_Port()
{
    for (const std::unique_ptr<Connection>& connection : connections)
        receiver_socket::Close(connection->Descriptor);
    udp_reader.reset(); // no event loop may follow to free it later
    Close_Udp();
}

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

void Receiver_Port::Set_Accounts(std::shared_ptr<const Account_Table> table_in_force)
{
    accounts = std::move(table_in_force);
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
        emit First_Tick();
    }

    const bool wanted_open = links.Settings.DC9_Port_Enable == 1;
    if (wanted_open && server->isListening()) {
        if (accept_guard.Tick())
            Note_Port_Trouble("descriptors", Descriptors_Low_Line());
        emit Status_Changed(QStringLiteral("Receiver port is open.  Connections: ")
            + QString::number(connections.size())
            + (store_full ? QStringLiteral("  Event store full: alarms are not acknowledged.") : QString()));
    } else if (wanted_open) {
        Open_Port();
    } else {
        if (server->isListening()) {
            Close_Port();
            Log(QStringLiteral("Port ") + QString::number(links.Settings.DC9_Port)
                + QStringLiteral(" closed."));
        }
        emit Status_Changed(QStringLiteral("Receiver port closed."));
    }

    table->Tick([this](Connection& connection) { Close_Connection(connection); });
    Check_Store_Full();
    Flush_Counted_Lines();

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
        emit Fault_Beep();
        return;
    }
    Log(QStringLiteral("Port ") + QString::number(port) + QStringLiteral(" is open."));
    if (links.Settings.DC9_Udp_Off == 0)
        Open_Udp(static_cast<std::uint16_t>(port));
}

void Receiver_Port::Close_Port()
{
    server->close();
    Close_Udp();
    accept_guard.Reset();
    while (!connections.empty())
        Close_Connection(*connections.back());
}

void Receiver_Port::ServerSocket_DC9ClientConnect(std::intptr_t descriptor)
{
    if (connections.size() >= static_cast<std::size_t>(DC09_Connection_Limit)) {
        receiver_socket::Close(descriptor);
        Note_Port_Trouble("limit",
            QStringLiteral("Receiver port: connection limit of ") + QString::number(DC09_Connection_Limit)
                + QStringLiteral(" reached, a new connection was closed"));
        return;
    }
    if (accept_guard.Accepted(descriptor))
        Note_Port_Trouble("descriptors", Descriptors_Low_Line());
    if (!receiver_socket::Prepare(descriptor)) {
        receiver_socket::Close(descriptor);
        return;
    }
    auto connection = std::make_unique<Connection>();
    Connection& added = *connection;
    added.Descriptor = descriptor;
    added.Remote = Peer_Of(descriptor);
    if (!watch.Add(descriptor, &added)) {
        receiver_socket::Close(descriptor);
        return;
    }
    added.Slot = table->Take(&added, DC09_Idle_Seconds);
    added.Index = connections.size();
    connections.push_back(std::move(connection));
}

void Receiver_Port::Close_Connection(Connection& connection)
{
    if (!connection.Open)
        return;
    connection.Open = false;
    table->Release(connection.Slot);
    // The watch forgets the descriptor before it is closed and handed out again.
    watch.Remove(connection.Descriptor);
    receiver_socket::Close(connection.Descriptor);
    // This may run inside the connection's own read: the objects are freed once it has returned.
    if (closed.empty())
        QMetaObject::invokeMethod(
            this, [this] { closed.clear(); }, Qt::QueuedConnection);
    // The last connection takes the closed one's place in the list.
    const std::size_t index = connection.Index;
    closed.push_back(std::move(connections[index]));
    if (index + 1 != connections.size()) {
        connections[index] = std::move(connections.back());
        connections[index]->Index = index;
    }
    connections.pop_back();
}

void Receiver_Port::ServerSocket_DC9ClientError(int error)
{
    Log(QStringLiteral("Receiver port error. ") + QString::number(error)
            + QString::fromStdString(System_Error_Text(error)),
        Log_Red);
}

void Receiver_Port::ServerSocket_DC9ClientRead(Connection& connection)
{
    std::size_t room = 0;
    char* const target = connection.Framer.Read_Target(read_buffer.get(), Read_Limit, room);
    const std::int64_t size = receiver_socket::Receive(connection.Descriptor, target, room);
    if (size == receiver_socket::Would_Block)
        return;
    if (size == receiver_socket::Failed)
        ServerSocket_DC9ClientError(receiver_socket::Last_Error());
    if (size <= 0) {
        // The peer said goodbye (or went away): the connection ends here.
        Close_Connection(connection);
        return;
    }
    // Bytes beyond one read's worth wait for the next read event.
    Data_Log_Feed(target, static_cast<std::size_t>(size));
    connection.Framer.Received(target, static_cast<std::size_t>(size));
    bool answered = false;
    bool dropped = false;
    DC09_Stream_Piece piece;
    while (connection.Open && connection.Framer.Next(piece)) {
        if (piece.What == DC09_Stream_Piece::Kind::Frame
            && Handle_Frame(connection, piece.Bytes, piece.Size)) {
            answered = true;
            connection.Garbage = 0;
        } else {
            dropped = true;
            connection.Garbage += piece.Size;
        }
    }
    // A read counts as unrecognised data when it dropped bytes and answered nothing; bytes before
    // a frame that is answered are skipped without a word, and a cut-off frame waits silently.
    if (dropped && !answered)
        Note_Unrecognised(connection.Remote);
    if (connection.Garbage > Garbage_Limit)
        Close_Connection(connection);
}

void Receiver_Port::Send_Reply(Connection& connection, const char* bytes, std::size_t size)
{
    if (connection.Unsent.empty()) {
        const std::int64_t sent = receiver_socket::Send(connection.Descriptor, bytes, size);
        if (sent == static_cast<std::int64_t>(size) || sent == receiver_socket::Peer_Gone)
            return; // a peer that is gone is noticed by the next read
        if (sent > 0) {
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
        }
    }
    if (connection.Unsent.size() + size > Unsent_Limit) {
        Close_Connection(connection);
        return;
    }
    connection.Unsent.append(bytes, size);
    if (!connection.Writing) {
        connection.Writing = true;
        watch.Want_Write(connection.Descriptor, &connection, true);
    }
}

void Receiver_Port::Send_Unsent(Connection& connection)
{
    const std::int64_t sent
        = receiver_socket::Send(connection.Descriptor, connection.Unsent.data(), connection.Unsent.size());
    if (sent > 0)
        connection.Unsent.erase(0, static_cast<std::size_t>(sent));
    if (connection.Unsent.empty() || sent == receiver_socket::Peer_Gone || sent == receiver_socket::Failed) {
        connection.Unsent.clear();
        connection.Unsent.shrink_to_fit();
        connection.Writing = false;
        watch.Want_Write(connection.Descriptor, &connection, false);
    }
}

void Receiver_Port::Data_Log_Feed(const char* bytes, std::size_t size)
{
    if (!links.Raw_Traffic_Wanted.load(std::memory_order_relaxed))
        return;
    const QString stamp = QString::fromStdString(Data_Log_Time_Stamp(QTime::currentTime()));
    // The received text as it stands, up to its first zero byte.
    const QByteArray text(bytes, static_cast<qsizetype>(::strnlen(bytes, size)));
    emit Raw_Traffic(QString());
    emit Raw_Traffic(stamp + QStringLiteral("  ") + QString::fromLatin1(text));
}

bool Receiver_Port::Handle_Frame(Connection& connection, char* bytes, std::size_t size)
{
    Answer answer;
    if (!Answer_Message(bytes, size, answer))
        return false;
    if (Refused_For_Full_Store(answer)) {
        if (connection.Open)
            table->Restart(connection.Slot, DC09_Idle_Seconds);
        return true;
    }
    Send_Reply(connection, answer.Message.Bytes, answer.Message.Size);
    const std::int32_t idle = Keep_Message(connection.Remote, answer);
    if (connection.Open)
        table->Restart(connection.Slot, idle);
    return true;
}

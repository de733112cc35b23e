#include "output/Output_Tcp_Client.h"

#include "base/Log_Writer.h"
#include "base/Sync_Events.h"
#include "output/Line_Socket.h"

#include <QHostAddress>
#include <QTcpSocket>

Output_Tcp_Client::Output_Tcp_Client(Log_Writer& log_, Manual_Reset_Event& interrupt_, QObject* parent)
    : QObject(parent)
    , log(log_)
    , interrupt(interrupt_)
    , client(new QTcpSocket(this))
{
    connect(client, &QTcpSocket::errorOccurred, this, &Output_Tcp_Client::Client_Socket_Error);
    connect(client, &QTcpSocket::connected, this, &Output_Tcp_Client::Client_Connected_Now);
}

Output_Tcp_Client::~Output_Tcp_Client() = default;

bool Output_Tcp_Client::Active() const
{
    return client->state() != QAbstractSocket::UnconnectedState || connection;
}

void Output_Tcp_Client::Abort_Attempt()
{
    client->abort();
}

void Output_Tcp_Client::Connect_To(const QHostAddress& host, std::uint16_t port)
{
    client->connectToHost(host, port);
}

void Output_Tcp_Client::Close()
{
    if (client->state() != QAbstractSocket::UnconnectedState)
        client->abort();
    Drop_Connection();
}

void Output_Tcp_Client::Client_Connected_Now()
{
    // The connection moves to a socket of our own; the client socket, closed, keeps no hold on it.
    connection = Line_Socket::Duplicate(client->socketDescriptor());
    client->abort();
    if (!connection) {
        log.Log_Message("Communication port error. No socket for the connection.", Log_Red);
        emit Fault();
        return;
    }
    Publish_Line_Target();
    emit Now_Connected();
}

void Output_Tcp_Client::Client_Socket_Error()
{
    // The other side closing its end is a disconnection, not a fault.
    if (client->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    const QString text = client->errorString();
    log.Log_Message(
        "Communication port error. " + (text.isEmpty() ? std::string("?") : text.toStdString()), Log_Red);
    emit Fault();
}

void Output_Tcp_Client::Drop_Connection()
{
    if (!connection)
        return;
    connection->Drop();
    connection.reset();
    Publish_Line_Target();
}

bool Output_Tcp_Client::Drop_Ended(const std::function<void(int error)>& failed)
{
    if (!connection)
        return false;
    int error = 0;
    const Line_Socket::Health health = connection->Drop_If_Ended(error);
    if (health == Line_Socket::Health::Open)
        return false;
    // The other side closing its end is a disconnection, not a fault.
    if (health == Line_Socket::Health::Failed)
        failed(error);
    connection.reset();
    Publish_Line_Target();
    return true;
}

void Output_Tcp_Client::Publish_Line_Target()
{
    std::lock_guard lock(line_target_lock);
    line_target = connection;
}

Line_Exchange Output_Tcp_Client::Exchange(const char* line, std::size_t size, bool heartbeat,
    std::chrono::milliseconds answer_wait, std::stop_token)
{
    std::shared_ptr<Line_Socket> target;
    {
        std::lock_guard lock(line_target_lock);
        target = line_target;
    }
    // A connection that ended since the window thread last looked counts as none.
    if (target && !target->Discard_Unasked())
        target.reset();
    if (!target) {
        if (!heartbeat)
            return {Line_Exchange::End::No_Connection};
        // The heartbeat counts as sent even with no connection; no answer can come.
        return {
            interrupt.Wait_For(answer_wait) ? Line_Exchange::End::Interrupted : Line_Exchange::End::Silence};
    }
    return Exchange_Line_On(*target, line, size, answer_wait, interrupt);
}

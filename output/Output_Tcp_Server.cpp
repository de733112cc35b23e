#include "output/Output_Tcp_Server.h"

#include "base/Descriptor_Server.h"
#include "base/Log_Writer.h"
#include "base/Sync_Events.h"
#include "output/Line_Socket.h"

#include <QHostAddress>

Output_Tcp_Server::Output_Tcp_Server(Log_Writer& log_, Manual_Reset_Event& interrupt_)
    : log(log_)
    , interrupt(interrupt_)
    , server(std::make_unique<Descriptor_Server>(
          nullptr, [this](std::intptr_t descriptor) { ServerSocket_OutClientConnect(descriptor); }))
{ }

Output_Tcp_Server::~Output_Tcp_Server() = default;

bool Output_Tcp_Server::Listening() const
{
    return server->isListening();
}

QString Output_Tcp_Server::Listen(std::int32_t port, const QString& address)
{
    if (port < 0 || port > 65535)
        return QStringLiteral("Invalid port number ") + QString::number(port);
    const QHostAddress host = address.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4) : QHostAddress(address);
    if (host.isNull())
        return QStringLiteral("Invalid listen address ") + address;
    if (!server->listen(host, static_cast<quint16>(port)))
        return server->errorString();
    return {};
}

void Output_Tcp_Server::Close()
{
    server->close();
    for (const std::shared_ptr<Line_Socket>& connection : connections)
        connection->Drop();
    connections.clear();
    Publish_Line_Target();
}

void Output_Tcp_Server::Drop_Oldest()
{
    if (connections.empty())
        return;
    connections.front()->Drop();
    connections.erase(connections.begin());
    Publish_Line_Target();
}

void Output_Tcp_Server::Drop_Ended(const std::function<void(int error)>& failed)
{
    const std::size_t before = connections.size();
    std::erase_if(connections, [&failed](const std::shared_ptr<Line_Socket>& connection) {
        int error = 0;
        const Line_Socket::Health health = connection->Drop_If_Ended(error);
        // The other side closing its end is a disconnection, not a fault.
        if (health == Line_Socket::Health::Failed)
            failed(error);
        return health != Line_Socket::Health::Open;
    });
    if (connections.size() != before)
        Publish_Line_Target();
}

void Output_Tcp_Server::ServerSocket_OutClientConnect(std::intptr_t descriptor)
{
    std::shared_ptr<Line_Socket> connection = Line_Socket::Adopt(descriptor);
    if (!connection) {
        log.Log_Message("Communication port error. No socket for the connection.", Log_Red);
        return;
    }
    // The newest connection takes the lines: whoever reaches the port takes the alarm stream,
    // so the operator must see each change of hands.
    if (!connections.empty())
        log.Log_Message("Automation software connection from " + connection->Peer_Text()
                + " replaces the established one from " + connections.back()->Peer_Text(),
            Log_Red);
    connections.push_back(std::move(connection));
    Publish_Line_Target();
}

void Output_Tcp_Server::Publish_Line_Target()
{
    std::shared_ptr<Line_Socket> newest = connections.empty() ? nullptr : connections.back();
    std::lock_guard lock(line_target_lock);
    line_target = std::move(newest);
}

Line_Exchange Output_Tcp_Server::Exchange(
    const char* line, std::size_t size, bool, std::chrono::milliseconds answer_wait, std::stop_token)
{
    std::shared_ptr<Line_Socket> target;
    {
        std::lock_guard lock(line_target_lock);
        target = line_target;
    }
    // A connection that ended since the window thread last looked counts as none.
    if (target && !target->Discard_Unasked())
        target.reset();
    if (!target)
        return {Line_Exchange::End::No_Connection};
    return Exchange_Line_On(*target, line, size, answer_wait, interrupt);
}

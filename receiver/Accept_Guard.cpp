#include "receiver/Accept_Guard.h"

#include "receiver/Receiver_Socket.h"

#include <QTcpServer>
#include <QTimer>

Accept_Guard::Accept_Guard(QTcpServer& server_)
    : server(server_)
    , pending_limit(server_.maxPendingConnections())
    , alarm(receiver_socket::Descriptor_Alarm())
{ }

void Accept_Guard::Stop_Accepting()
{
    // The server accepts a whole queue of connections in one go. Its pause only stops the next
    // round; a pending limit of 0 also ends the round it is in, since the accepted descriptors
    // are handed over at once and the server never holds one itself.
    server.setMaxPendingConnections(0);
    server.pauseAccepting();
}

bool Accept_Guard::Accepted(std::intptr_t descriptor)
{
    if (batch++ == 0)
        QTimer::singleShot(0, &server, [this] { End_Batch(); });
    if (batch == Batch_Size && !paused) {
        yielding = true;
        Stop_Accepting();
    }
    if (paused || descriptor < alarm)
        return false;
    paused = true;
    Stop_Accepting();
    return true;
}

void Accept_Guard::End_Batch()
{
    batch = 0;
    if (yielding && !paused) {
        server.setMaxPendingConnections(pending_limit);
        server.resumeAccepting();
    }
    yielding = false;
}

void Accept_Guard::Accept_Failed()
{
    paused = true;
    Stop_Accepting();
}

bool Accept_Guard::Tick()
{
    alarm = receiver_socket::Descriptor_Alarm();
    if (receiver_socket::Descriptors_Low(static_cast<std::intptr_t>(server.socketDescriptor()))) {
        if (paused)
            return false;
        paused = true;
        Stop_Accepting();
        return true;
    }
    Reset();
    server.resumeAccepting();
    return false;
}

void Accept_Guard::Reset()
{
    server.setMaxPendingConnections(pending_limit);
    paused = false;
}

#pragma once

#include "output/Line_Transport.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class Line_Socket;
class Log_Writer;
class Manual_Reset_Event;
class QHostAddress;
class QTcpSocket;

// The TCP client side of the link: we connect to the automation software's server. The client
// socket only connects; once connected, the connection moves to a socket of our own, on which the
// monitoring thread writes each line and reads its answer, while the window thread looks after it
// between lines.
class Output_Tcp_Client : public QObject, public Line_Transport
{
    Q_OBJECT

public:
    // `interrupt` ends a line's answer wait early (the reply channel's event).
    Output_Tcp_Client(Log_Writer& log, Manual_Reset_Event& interrupt, QObject* parent = nullptr);
    ~Output_Tcp_Client() override;

    // --- Window thread ---

    bool Connected() const { return connection != nullptr; }
    // Connected, or a connection attempt under way.
    bool Active() const;
    // Ends an attempt under way, keeping a connection already made.
    void Abort_Attempt();
    void Connect_To(const QHostAddress& host, std::uint16_t port);
    // The attempt and the connection end.
    void Close();
    // Lets go of the connection when the other side closed it or it failed since the last look;
    // `failed` is told the system's code of a failure. True when it was let go.
    bool Drop_Ended(const std::function<void(int error)>& failed);

    // --- Monitoring thread ---

    // Checks the connection except for the heartbeat, which counts as sent regardless: with no
    // connection it waits out the answer wait and ends in silence.
    Line_Exchange Exchange(const char* line, std::size_t size, bool heartbeat,
        std::chrono::milliseconds answer_wait, std::stop_token stop) override;

signals:
    // Emitted once the connection is ours.
    void Now_Connected();
    // A fault that was just logged: the attempt or the connection failed.
    void Fault();

private:
    void Client_Connected_Now();
    void Client_Socket_Error();
    void Drop_Connection();
    void Publish_Line_Target();

    Log_Writer& log;
    Manual_Reset_Event& interrupt;
    QTcpSocket* client;
    std::shared_ptr<Line_Socket> connection;
    // Guards the target, which the monitoring thread copies for each line.
    std::mutex line_target_lock;
    std::shared_ptr<Line_Socket> line_target;
};

#pragma once

#include "output/Line_Transport.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class Descriptor_Server;
class Line_Socket;
class Log_Writer;
class Manual_Reset_Event;

// The TCP server side of the link: the automation software connects to us, and lines go on the
// newest connection. The window thread listens, accepts and lets connections go; the monitoring
// thread writes each line and reads its answer on its own hold of the connection.
class Output_Tcp_Server : public Line_Transport
{
public:
    // `interrupt` ends a line's answer wait early (the reply channel's event).
    Output_Tcp_Server(Log_Writer& log, Manual_Reset_Event& interrupt);
    ~Output_Tcp_Server() override;

    // --- Window thread ---

    bool Listening() const;
    // Empty when listening on `port` now, else why not. An empty address is every IPv4 address.
    QString Listen(std::int32_t port, const QString& address = {});
    // The listener and every connection close.
    void Close();
    int Connection_Count() const { return static_cast<int>(connections.size()); }
    // Lets the oldest connection go, so that the newest survives.
    void Drop_Oldest();
    // Lets go of the connections that the other side closed or that failed since the last look;
    // `failed` is told the system's code of each failure.
    void Drop_Ended(const std::function<void(int error)>& failed);

    // --- Monitoring thread ---

    // Sends on the newest connection; No_Connection when there is none.
    Line_Exchange Exchange(const char* line, std::size_t size, bool heartbeat,
        std::chrono::milliseconds answer_wait, std::stop_token stop) override;

private:
    void ServerSocket_OutClientConnect(std::intptr_t descriptor);
    // After every change of the connections: where the monitoring thread's next line goes.
    void Publish_Line_Target();

    Log_Writer& log;
    Manual_Reset_Event& interrupt;
    std::unique_ptr<Descriptor_Server> server;
    // In the order they were accepted: the newest is the last.
    std::vector<std::shared_ptr<Line_Socket>> connections;
    // Guards the target, which the monitoring thread copies for each line.
    std::mutex line_target_lock;
    std::shared_ptr<Line_Socket> line_target;
};

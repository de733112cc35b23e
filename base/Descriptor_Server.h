#pragma once

#include <QTcpServer>

#include <cstdint>
#include <functional>
#include <utility>

// A listening server that hands every accepted descriptor over as it is, without a buffered socket
// object around it: the receiver port and the automation software link read and write their
// connections themselves.
class Descriptor_Server : public QTcpServer
{
public:
    Descriptor_Server(QObject* parent, std::function<void(std::intptr_t)> accepted)
        : QTcpServer(parent)
        , on_accepted(std::move(accepted))
    { }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        on_accepted(static_cast<std::intptr_t>(descriptor));
    }

private:
    std::function<void(std::intptr_t)> on_accepted;
};

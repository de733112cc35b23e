#pragma once

// A blocking communicator for end-to-end tests: one TCP connection to the receiver on 127.0.0.1,
// every call bounded by a time-out. Used without a running event loop.

#include <QTcpSocket>

#include <string>
#include <string_view>

class DC09_Test_Client
{
public:
    bool Connect(int port, int timeout_ms = 3000);
    // Connect in two halves, so that many connections can be set off in one burst.
    void Begin_Connect(int port);
    bool Finish_Connect(int timeout_ms);
    bool Send(std::string_view bytes, int timeout_ms = 3000);

    // The next reply frame: the bytes from its line feed up to and including its carriage return.
    // Empty when none is complete within timeout_ms.
    std::string Receive_Reply(int timeout_ms = 3000);
    // Sends a frame and waits for its reply.
    std::string Exchange(std::string_view frame, int timeout_ms = 3000);
    // Everything that arrives within timeout_ms (also anything left over from earlier replies).
    std::string Receive_Any(int timeout_ms);

    // Waits until the receiver closes the connection; the milliseconds that took, or -1 when it
    // is still open after timeout_ms.
    int Wait_For_Close(int timeout_ms);
    bool Is_Connected() const;
    int Local_Port() const;

    void Close();
    // Closes with a TCP reset instead of an orderly shutdown.
    void Reset();

private:
    QTcpSocket m_socket;
    std::string m_received;
};

// Makes the socket's close send a reset (SO_LINGER with zero time). One file per OS.
bool Set_Reset_On_Close(qintptr descriptor);

#include "tests/support/DC09_Test_Client.h"

#include <QElapsedTimer>

#include <algorithm>

bool DC09_Test_Client::Connect(int port, int timeout_ms)
{
    Begin_Connect(port);
    return Finish_Connect(timeout_ms);
}

void DC09_Test_Client::Begin_Connect(int port)
{
    m_received.clear();
    m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port));
}

bool DC09_Test_Client::Finish_Connect(int timeout_ms)
{
    if (!m_socket.waitForConnected(timeout_ms)) {
        m_socket.abort();
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

bool DC09_Test_Client::Send(std::string_view bytes, int timeout_ms)
{
    if (m_socket.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (m_socket.bytesToWrite() > 0) {
        const int left = timeout_ms - static_cast<int>(timer.elapsed());
        if (left <= 0 || !m_socket.waitForBytesWritten(left))
            return false;
    }
    return true;
}

std::string DC09_Test_Client::Receive_Reply(int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const std::size_t start = m_received.find('\n');
        const std::size_t end = start == std::string::npos ? start : m_received.find('\r', start);
        if (end != std::string::npos) {
            std::string reply = m_received.substr(start, end + 1 - start);
            m_received.erase(0, end + 1);
            return reply;
        }
        const int left = timeout_ms - static_cast<int>(timer.elapsed());
        if (left <= 0 || !m_socket.waitForReadyRead(left))
            return {};
        m_received += m_socket.readAll().toStdString();
    }
}

std::string DC09_Test_Client::Exchange(std::string_view frame, int timeout_ms)
{
    if (!Send(frame, timeout_ms))
        return {};
    return Receive_Reply(timeout_ms);
}

std::string DC09_Test_Client::Receive_Any(int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int left = timeout_ms - static_cast<int>(timer.elapsed());
        if (left <= 0 || !m_socket.waitForReadyRead(left))
            break;
        m_received += m_socket.readAll().toStdString();
    }
    m_received += m_socket.readAll().toStdString();
    return std::exchange(m_received, {});
}

int DC09_Test_Client::Wait_For_Close(int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    while (m_socket.state() == QAbstractSocket::ConnectedState) {
        const int left = timeout_ms - static_cast<int>(timer.elapsed());
        if (left <= 0)
            return -1;
        // Returns early on arriving data as well as on the close; keep what arrives.
        if (m_socket.waitForReadyRead(std::min(left, 200)))
            m_received += m_socket.readAll().toStdString();
    }
    return static_cast<int>(timer.elapsed());
}

bool DC09_Test_Client::Is_Connected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

int DC09_Test_Client::Local_Port() const
{
    return m_socket.localPort();
}

void DC09_Test_Client::Close()
{
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(1000);
    m_socket.abort();
}

void DC09_Test_Client::Reset()
{
    Set_Reset_On_Close(m_socket.socketDescriptor());
    m_socket.abort();
}

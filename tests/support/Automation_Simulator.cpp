#include "tests/support/Automation_Simulator.h"

#include "tests/support/Automation_Pty.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>

Answer_Rule Always_Ack()
{
    return [](const Received_Line&, std::size_t) { return std::string(1, Ack_Byte); };
}

Answer_Rule Always_Nak()
{
    return [](const Received_Line&, std::size_t) { return std::string(1, Nak_Byte); };
}

Answer_Rule Never_Answer()
{
    return [](const Received_Line&, std::size_t) { return std::string(); };
}

// Lives on the simulator's thread; every socket, notifier and pseudo-terminal is touched only there.
class Simulator_Worker : public QObject
{
public:
    explicit Simulator_Worker(Automation_Simulator::Shared& shared_state)
        : shared(shared_state)
    { }

    Answer_Rule rule = Always_Ack();
    Answer_Delay delay;

    int Listen(int port)
    {
        if (server == nullptr) {
            server = new QTcpServer(this);
            connect(server, &QTcpServer::newConnection, this, [this] { Accept_Pending(); });
        }
        if (!server->listen(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port)))
            return 0;
        return server->serverPort();
    }

    int Connect(int port, int timeout_ms)
    {
        auto* socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port));
        if (!socket->waitForConnected(timeout_ms)) {
            delete socket;
            return 0;
        }
        return Add_Socket(socket);
    }

    std::optional<std::string> Open_Pty(const std::string& existing_device = {})
    {
        Link& link = Add_Link();
        const bool opened = existing_device.empty() ? Open_Pseudo_Terminal_Pair(link.pty)
                                                    : Open_Serial_Device(existing_device, link.pty);
        if (!opened) {
            links.pop_back();
            std::lock_guard lock(shared.mutex);
            shared.connections.pop_back();
            return std::nullopt;
        }
        link.notifier = new QSocketNotifier(link.pty.master, QSocketNotifier::Read, this);
        const int id = link.id;
        connect(link.notifier, &QSocketNotifier::activated, this, [this, id] { Read_Pty(id); });
        return link.pty.slave_path;
    }

    bool Send(int id, std::string_view bytes)
    {
        Link* link = Find(id);
        return link != nullptr && Write(*link, bytes);
    }

    void Close_All()
    {
        if (server != nullptr)
            server->close();
        for (auto& link : links) {
            if (link->socket != nullptr) {
                link->socket->disconnect(this);
                link->socket->abort();
                delete link->socket;
            }
            delete link->notifier;
            Close_Pseudo_Terminal(link->pty);
        }
        links.clear();
        std::lock_guard lock(shared.mutex);
        for (Simulated_Connection& connection : shared.connections)
            connection.open = false;
        shared.changed.notify_all();
    }

private:
    struct Link
    {
        int id = 0;
        QTcpSocket* socket = nullptr;
        Pseudo_Terminal pty;
        QSocketNotifier* notifier = nullptr;
        std::string pending;
    };

    Link& Add_Link()
    {
        auto link = std::make_unique<Link>();
        link->id = next_id++;
        Simulated_Connection connection;
        connection.id = link->id;
        connection.opened = Simulator_Clock::now();
        {
            std::lock_guard lock(shared.mutex);
            shared.connections.push_back(connection);
        }
        links.push_back(std::move(link));
        return *links.back();
    }

    int Add_Socket(QTcpSocket* socket)
    {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Link& link = Add_Link();
        link.socket = socket;
        const int id = link.id;
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { Read_Socket(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { Mark_Closed(id); });
        shared.changed.notify_all();
        return id;
    }

    void Accept_Pending()
    {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            const int id = Add_Socket(socket);
            std::lock_guard lock(shared.mutex);
            shared.accepted.push_back(id);
            shared.changed.notify_all();
        }
    }

    Link* Find(int id)
    {
        const auto found
            = std::find_if(links.begin(), links.end(), [id](const auto& link) { return link->id == id; });
        return found == links.end() ? nullptr : found->get();
    }

    void Read_Socket(int id)
    {
        Link* link = Find(id);
        if (link == nullptr)
            return;
        const QByteArray bytes = link->socket->readAll();
        Take_Bytes(*link, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }

    void Read_Pty(int id)
    {
        Link* link = Find(id);
        if (link == nullptr)
            return;
        char buffer[4096];
        for (int round = 0; round < 64; ++round) {
            const long got = Read_Pseudo_Terminal(link->pty.master, buffer, sizeof buffer);
            if (got <= 0)
                return;
            Take_Bytes(*link, buffer, static_cast<std::size_t>(got));
        }
    }

    void Take_Bytes(Link& link, const char* bytes, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i) {
            if (bytes[i] != Line_End_Byte) {
                link.pending.push_back(bytes[i]);
                continue;
            }
            Received_Line line {std::move(link.pending), link.id, Simulator_Clock::now()};
            link.pending.clear();
            std::size_t index = 0;
            {
                std::lock_guard lock(shared.mutex);
                index = shared.lines.size();
                shared.lines.push_back(line);
            }
            shared.changed.notify_all();
            const std::string answer = rule(line, index);
            const int hold_ms = delay ? delay(line, index) : 0;
            if (answer.empty())
                continue;
            if (hold_ms <= 0) {
                Write(link, answer);
                continue;
            }
            QTimer::singleShot(hold_ms, this, [this, id = link.id, answer] {
                if (Link* held = Find(id))
                    Write(*held, answer);
            });
        }
        std::lock_guard lock(shared.mutex);
        for (Simulated_Connection& connection : shared.connections)
            if (connection.id == link.id)
                connection.unfinished = link.pending;
    }

    bool Write(Link& link, std::string_view bytes)
    {
        if (link.socket != nullptr) {
            if (link.socket->state() != QAbstractSocket::ConnectedState)
                return false;
            const auto size = static_cast<qint64>(bytes.size());
            const bool written = link.socket->write(bytes.data(), size) == size;
            link.socket->flush();
            return written;
        }
        return link.pty.master >= 0 && Write_Pseudo_Terminal(link.pty.master, bytes);
    }

    void Mark_Closed(int id)
    {
        std::lock_guard lock(shared.mutex);
        for (Simulated_Connection& connection : shared.connections) {
            if (connection.id == id && connection.open) {
                connection.open = false;
                connection.closed = Simulator_Clock::now();
            }
        }
        shared.changed.notify_all();
    }

    Automation_Simulator::Shared& shared;
    QTcpServer* server = nullptr;
    std::vector<std::unique_ptr<Link>> links;
    int next_id = 1;
};

namespace {

// Runs `work` on the worker's thread and waits for it.
template<typename Work> void Run_On(Simulator_Worker* worker, Work&& work)
{
    QMetaObject::invokeMethod(worker, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}

} // namespace

Automation_Simulator::Automation_Simulator()
    : thread(std::make_unique<QThread>())
    , worker(new Simulator_Worker(shared))
{
    worker->moveToThread(thread.get());
    QObject::connect(thread.get(), &QThread::finished, worker, &QObject::deleteLater);
    thread->start();
}

Automation_Simulator::~Automation_Simulator()
{
    Close_All();
    thread->quit();
    thread->wait();
}

void Automation_Simulator::Set_Answer_Rule(Answer_Rule rule)
{
    Run_On(worker, [this, &rule] { worker->rule = std::move(rule); });
}

void Automation_Simulator::Set_Answer_Delay(Answer_Delay delay)
{
    Run_On(worker, [this, &delay] { worker->delay = std::move(delay); });
}

int Automation_Simulator::Listen_Tcp(int port)
{
    int result = 0;
    Run_On(worker, [this, port, &result] { result = worker->Listen(port); });
    return result;
}

int Automation_Simulator::Connect_Tcp(int port, int timeout_ms)
{
    int id = 0;
    Run_On(worker, [this, port, timeout_ms, &id] { id = worker->Connect(port, timeout_ms); });
    return id;
}

int Automation_Simulator::Connect_Tcp_When_Listening(int port, int timeout_ms)
{
    const auto deadline = Simulator_Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (const int id = Connect_Tcp(port, 500))
            return id;
        if (Simulator_Clock::now() >= deadline)
            return 0;
        QThread::msleep(50);
    }
}

std::optional<std::string> Automation_Simulator::Open_Pseudo_Terminal()
{
    std::optional<std::string> path;
    Run_On(worker, [this, &path] { path = worker->Open_Pty(); });
    return path;
}

bool Automation_Simulator::Open_Serial_Device(const std::string& path)
{
    bool opened = false;
    Run_On(worker, [this, &path, &opened] { opened = worker->Open_Pty(path).has_value(); });
    return opened;
}

bool Automation_Simulator::Send(int connection, std::string_view bytes)
{
    bool sent = false;
    Run_On(worker, [this, connection, bytes, &sent] { sent = worker->Send(connection, bytes); });
    return sent;
}

void Automation_Simulator::Close_All()
{
    Run_On(worker, [this] { worker->Close_All(); });
}

std::vector<Received_Line> Automation_Simulator::Lines() const
{
    std::lock_guard lock(shared.mutex);
    return shared.lines;
}

std::vector<Received_Line> Automation_Simulator::Lines_From(std::size_t first) const
{
    std::lock_guard lock(shared.mutex);
    if (first >= shared.lines.size())
        return {};
    return {shared.lines.begin() + static_cast<std::ptrdiff_t>(first), shared.lines.end()};
}

std::size_t Automation_Simulator::Line_Count() const
{
    std::lock_guard lock(shared.mutex);
    return shared.lines.size();
}

std::vector<Simulated_Connection> Automation_Simulator::Connections() const
{
    std::lock_guard lock(shared.mutex);
    return shared.connections;
}

std::string Automation_Simulator::Unfinished_Bytes() const
{
    std::lock_guard lock(shared.mutex);
    std::string bytes;
    for (const Simulated_Connection& connection : shared.connections)
        bytes += connection.unfinished;
    return bytes;
}

bool Automation_Simulator::Wait_Until(const std::function<bool()>& done, int timeout_ms) const
{
    const auto deadline = Simulator_Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (done())
            return true;
        if (Simulator_Clock::now() >= deadline)
            return false;
        std::unique_lock lock(shared.mutex);
        shared.changed.wait_for(lock, std::chrono::milliseconds(20));
    }
}

bool Automation_Simulator::Wait_For_Line_Count(std::size_t count, int timeout_ms) const
{
    return Wait_Until([&] { return Line_Count() >= count; }, timeout_ms);
}

std::optional<std::size_t> Automation_Simulator::Wait_For_Line(
    std::string_view text, std::size_t from, int timeout_ms) const
{
    std::optional<std::size_t> found;
    Wait_Until(
        [&] {
            std::lock_guard lock(shared.mutex);
            for (std::size_t i = from; i < shared.lines.size() && !found; ++i)
                if (shared.lines[i].text == text)
                    found = i;
            return found.has_value();
        },
        timeout_ms);
    return found;
}

int Automation_Simulator::Wait_For_Accepted(int timeout_ms) const
{
    int id = 0;
    Wait_Until(
        [&] {
            std::lock_guard lock(shared.mutex);
            id = shared.accepted.empty() ? 0 : shared.accepted.front();
            return id != 0;
        },
        timeout_ms);
    return id;
}

// UDP on the receiver port number. One datagram holds one frame; its answer goes back to the
// datagram's sender, and it is stored, logged and shown in the Data Log as a TCP frame is. A
// datagram keeps no state between messages, so there is no connection, no countdown and no
// framer: what is not a frame costs one receive, one failed parse and a rate-limited line.

#include "receiver/Receiver_Datagram.h"
#include "receiver/Receiver_Port.h"
#include "receiver/Receiver_Socket.h"

#include "base/System_Error.h"

#include <QSocketNotifier>

namespace {

// A read event takes at most this many datagrams, so a flood on UDP cannot starve the TCP
// connections and the timers; the notifier fires again for the rest.
constexpr int Datagrams_Per_Event = 256;

// The buffer the datagrams are read into is the port's shared read buffer.
constexpr std::size_t Datagram_Limit = 64 * 1024;

} // namespace

void Receiver_Port::Open_Udp(std::uint16_t port)
{
    int error = 0;
    const std::intptr_t socket = receiver_datagram::Open(port, error);
    if (socket < 0) {
        // TCP stays open; UDP is tried again the next time the port opens.
        Log(QStringLiteral("UDP port ") + QString::number(port) + QStringLiteral(" error. ")
                + QString::fromStdString(System_Error_Text(error)),
            Log_Red);
        emit Fault_Beep();
        return;
    }
    udp_socket = socket;
    if (!udp_answer)
        udp_answer = std::make_unique<Answer>();
    // Parented too, so it goes with the port even when no event loop runs after Close_Udp.
    udp_reader = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read, this);
    connect(udp_reader.get(), &QSocketNotifier::activated, this, [this] { Udp_Read(); });
    Log(QStringLiteral("UDP port ") + QString::number(port) + QStringLiteral(" is open."));
}

void Receiver_Port::Close_Udp()
{
    if (udp_socket < 0)
        return;
    if (udp_reader) {
        udp_reader->setEnabled(false);
        // The notifier may be on the call stack (a read event): it goes once that has returned.
        udp_reader.release()->deleteLater();
    }
    receiver_datagram::Close(udp_socket);
    udp_socket = -1;
}

void Receiver_Port::Udp_Read()
{
    for (int i = 0; i < Datagrams_Per_Event && udp_socket >= 0; ++i) {
        receiver_datagram::Sender sender;
        const std::int64_t size
            = receiver_datagram::Receive(udp_socket, read_buffer.get(), Datagram_Limit, sender);
        if (size == receiver_socket::Would_Block)
            return;
        if (size == receiver_socket::Failed) {
            Note_Port_Trouble("udp",
                QStringLiteral("UDP port error. ")
                    + QString::fromStdString(System_Error_Text(receiver_socket::Last_Error())));
            return;
        }
        Peer peer {};
        if (!receiver_datagram::Text(sender, peer.Address, peer.Length, peer.Port))
            continue;
        char* const bytes = read_buffer.get();
        const std::size_t length = static_cast<std::size_t>(size);
        Data_Log_Feed(bytes, length);
        Answer& answer = *udp_answer;
        // A frame whose token is none of ours gets no answer here, unlike on TCP: such a frame is
        // typically a reply ("ACK", "DUH", ...), and with a forged sender two receivers, or this one
        // and itself, would otherwise answer each other's answers without end.
        if (!Answer_Message(bytes, length, answer) || answer.Frame.Kind == DC09_Kind::None) {
            Note_Unrecognised(peer);
            continue;
        }
        if (Refused_For_Full_Store(answer))
            continue;
        // A reply the system cannot take now is lost like a lost datagram; the sender repeats.
        receiver_datagram::Send(udp_socket, answer.Message.Bytes, answer.Message.Size, sender);
        Keep_Message(peer, answer);
    }
}

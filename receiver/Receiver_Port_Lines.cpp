// The receiver port's lines that a flood could repeat: at most one a minute for each peer address
// (or kind of port trouble), and then with the count of what happened since the last one.

#include "receiver/Receiver_Port.h"

#include <ctime>

namespace {

QString Text_Of(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// An address, or the other addresses that shared the table's overflow entry.
QString From(std::string_view address)
{
    return address.empty() ? QStringLiteral("other addresses") : Text_Of(address);
}

QString In_The_Last_Interval()
{
    return QStringLiteral(" in the last ") + QString::number(Rate_Limited_Lines::Interval_Seconds)
        + QStringLiteral(" s");
}

std::int64_t Now_Seconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

QString Unrecognised_Count_Line(std::string_view address, std::uint64_t count)
{
    return QStringLiteral("Unrecognised data received: ") + QString::number(count)
        + QStringLiteral(" reads from ") + From(address) + In_The_Last_Interval();
}

QString Time_Count_Line(std::string_view address, std::uint64_t count)
{
    return QStringLiteral("Encrypted messages refused for their time stamp: ") + QString::number(count)
        + QStringLiteral(" from ") + From(address) + In_The_Last_Interval();
}

QString Refused_Count_Line(std::string_view address, std::uint64_t count)
{
    return QStringLiteral("Messages refused (DUH): ") + QString::number(count) + QStringLiteral(" from ")
        + From(address) + In_The_Last_Interval();
}

QString Refusal_Reason(DC09_Outcome outcome, DC09_Kind kind, std::uint8_t aes_mode)
{
    if (outcome != DC09_Outcome::Rejected)
        return QStringLiteral("a clear message while encryption is on");
    if (kind == DC09_Kind::None)
        return QStringLiteral("a message type the receiver does not take");
    if (DC09_Is_Encrypted(kind))
        return aes_mode == 0 ? QStringLiteral("an encrypted message while encryption is off")
                             : QStringLiteral("not readable with the receiver's key (wrong key?)");
    return QStringLiteral("content the receiver does not take");
}

QString Port_Count_Line(std::string_view key, std::uint64_t count)
{
    const QString times = QString::number(count);
    if (key == "limit")
        return QStringLiteral("Receiver port: ") + times
            + QStringLiteral(" new connections beyond the limit of ") + QString::number(DC09_Connection_Limit)
            + QStringLiteral(" closed") + In_The_Last_Interval();
    if (key == "objects")
        return QStringLiteral("Object list full: ") + times + QStringLiteral(" accounts got no object")
            + In_The_Last_Interval();
    if (key == "descriptors")
        return QStringLiteral("Receiver port: accepting paused ") + times
            + QStringLiteral(" times for lack of descriptors") + In_The_Last_Interval();
    return QStringLiteral("Receiver port error: ") + times + QStringLiteral(" failed accepts")
        + In_The_Last_Interval();
}

} // namespace

void Receiver_Port::Note_Unrecognised(const Peer& peer)
{
    const std::uint64_t covered = unrecognised_lines.Note(peer.Text(), Now_Seconds());
    if (covered == 1)
        Log(QStringLiteral("Unrecognised data received from IP: ") + Text_Of(peer.Text())
            + QStringLiteral(", port: ") + QString::number(peer.Port));
    else if (covered > 1)
        Log(Unrecognised_Count_Line(peer.Text(), covered));
}

void Receiver_Port::Note_Time_Refused(const Peer& peer, std::int64_t message_time, std::int64_t receiver_time)
{
    const std::uint64_t covered = time_lines.Note(peer.Text(), Now_Seconds());
    if (covered > 1) {
        Log(Time_Count_Line(peer.Text(), covered), Log_Red);
    } else if (covered == 1) {
        const QString offset = message_time == 0
            ? QStringLiteral("no time stamp")
            : QStringLiteral("time stamp ") + QString::number(message_time - receiver_time)
                + QStringLiteral(" s from the receiver's clock");
        Log(QStringLiteral("Encrypted message refused for its time stamp from IP: ") + Text_Of(peer.Text())
                + QStringLiteral(", port: ") + QString::number(peer.Port) + QStringLiteral(", ") + offset,
            Log_Red);
    }
}

void Receiver_Port::Note_Refused(
    const Peer& peer, DC09_Outcome outcome, DC09_Kind kind, std::uint8_t aes_mode)
{
    const std::uint64_t covered = refused_lines.Note(peer.Text(), Now_Seconds());
    if (covered == 1)
        Log(QStringLiteral("Message refused (DUH) from IP: ") + Text_Of(peer.Text())
                + QStringLiteral(", port: ") + QString::number(peer.Port) + QStringLiteral(", ")
                + Refusal_Reason(outcome, kind, aes_mode),
            Log_Red);
    else if (covered > 1)
        Log(Refused_Count_Line(peer.Text(), covered), Log_Red);
}

void Receiver_Port::Note_Port_Trouble(std::string_view key, const QString& first_line)
{
    const std::uint64_t covered = port_lines.Note(key, Now_Seconds());
    if (covered == 1)
        Log(first_line, Log_Red);
    else if (covered > 1)
        Log(Port_Count_Line(key, covered), Log_Red);
}

void Receiver_Port::Flush_Counted_Lines()
{
    const std::int64_t now = Now_Seconds();
    unrecognised_lines.Flush(now, [this](std::string_view address, std::uint64_t count) {
        Log(Unrecognised_Count_Line(address, count));
    });
    refused_lines.Flush(now, [this](std::string_view address, std::uint64_t count) {
        Log(Refused_Count_Line(address, count), Log_Red);
    });
    time_lines.Flush(now, [this](std::string_view address, std::uint64_t count) {
        Log(Time_Count_Line(address, count), Log_Red);
    });
    Flush_Account_Lines(now);
    long_account_lines.Flush(now, [](std::string_view, std::uint64_t) {});
    Flush_Long_Account_Count(now);
    port_lines.Flush(now,
        [this](std::string_view key, std::uint64_t count) { Log(Port_Count_Line(key, count), Log_Red); });
}

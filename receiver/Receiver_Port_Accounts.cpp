// Messages refused by their account's row: one line at once for an account, then at most one a
// minute with the count. A scan that tries many accounts fills the fixed table and shares its
// overflow line, so the log grows by a bounded amount whatever it sends.

#include "receiver/Account_Choice.h"
#include "receiver/Receiver_Port.h"
#include "store/Fixed_Text.h"

#include <cstring>
#include <ctime>

namespace {

// The count key: the reason as one letter, then the account.
std::string_view Count_Key(
    char (&key)[Rate_Limited_Lines::Longest_Key + 1], Account_Refusal refusal, std::string_view account)
{
    key[0] = static_cast<char>('A' + static_cast<int>(refusal));
    const std::size_t length = std::min(account.size(), Rate_Limited_Lines::Longest_Key - 1);
    std::memcpy(key + 1, account.data(), length);
    return {key, length + 1};
}

QString Latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString Count_Line(std::string_view key, std::uint64_t count)
{
    const QString times = QString::number(count) + QStringLiteral(" messages refused");
    const QString interval = QStringLiteral(" in the last ")
        + QString::number(Rate_Limited_Lines::Interval_Seconds) + QStringLiteral(" s");
    if (key.empty())
        return times + QStringLiteral(" for other accounts") + interval;
    const auto refusal = static_cast<Account_Refusal>(key[0] - 'A');
    return times + QStringLiteral(" for account ") + Latin1(key.substr(1)) + interval + QStringLiteral(" (")
        + Latin1(Account_Refusal_Text(refusal)) + QStringLiteral(")");
}

} // namespace

void Receiver_Port::Note_Account_Refused(
    const Peer& peer, const DC09_Frame& frame, const Account_Choice& choice, DC09_Reply reply)
{
    const Account_Refusal refusal = choice.Refused(reply, frame);
    if (refusal == Account_Refusal::None)
        return;
    char buffer[Rate_Limited_Lines::Longest_Key + 1];
    const std::string_view account = Fixed_Text(frame.Account);
    const std::string_view key = Count_Key(buffer, refusal, account);
    const std::uint64_t covered = account_lines.Note(key, static_cast<std::int64_t>(std::time(nullptr)));
    if (covered == 1)
        Log(QStringLiteral("Message refused for account ") + Latin1(account) + QStringLiteral(" from IP: ")
            + Latin1(peer.Text()) + QStringLiteral(", port: ") + QString::number(peer.Port)
            + QStringLiteral(": ") + Latin1(Account_Refusal_Text(refusal)));
    else if (covered > 1)
        Log(Count_Line(key, covered));
}

void Receiver_Port::Flush_Account_Lines(std::int64_t now_seconds)
{
    account_lines.Flush(
        now_seconds, [this](std::string_view key, std::uint64_t count) { Log(Count_Line(key, count)); });
}

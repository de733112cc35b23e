// What happens to an accepted message: its object is updated and its event stored, unless the
// ring would have to overwrite an alarm that the automation software has not acknowledged yet.

#include "base/Settings_Record.h"
#include "base/Sync_Events.h"
#include "receiver/Fill_Event_From_Frame.h"
#include "receiver/Receiver_Port.h"
#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "store/Object_Table.h"

#include <ctime>

namespace {

template<std::size_t N> QString Text_Of(const char (&field)[N])
{
    const std::string_view text = Fixed_Text(field);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString Long_Account_Line(const Event_Record& event)
{
    const QString account = Text_Of(event.Account_Number);
    const std::size_t width = Line_Account_Width_Of(event);
    return QStringLiteral("Account ") + account + QStringLiteral(" is longer than the ")
        + QString::number(width)
        + QStringLiteral(" characters the automation software's line carries: it is forwarded as ")
        + account.left(static_cast<qsizetype>(width));
}

} // namespace

bool Receiver_Port::Store_Would_Lose_Alarm(std::size_t records) const
{
    // With no automation software set up nothing is ever reported, and the ring turns as ever.
    return links.Settings.Out_Port_Type != 0
        && links.Events.Next_Slot_Waiting(static_cast<std::uint32_t>(records));
}

bool Receiver_Port::Refused_For_Full_Store(const Answer& answer)
{
    const bool accepted = answer.Reply == DC09_Reply::Ack || answer.Reply == DC09_Reply::Encrypted_Ack;
    const DC09_Frame& frame = answer.Frame;
    const bool link_test = frame.Kind == DC09_Kind::Link_Test || frame.Kind == DC09_Kind::Encrypted_Link_Test;
    // Every record of the message must find room (an SIA-DCS block may hold several), or none is
    // stored. No answer at all: the sender's wait for its acknowledgement runs out, so it repeats
    // the message later or takes its backup path, as it does for a receiver that is away.
    if (!accepted || link_test || !Store_Would_Lose_Alarm(Stored_Record_Count(frame)))
        return false;
    Note_Store_Refused();
    return true;
}

void Receiver_Port::Note_Store_Refused()
{
    ++store_refused;
    if (store_full)
        return;
    store_full = true;
    Log(QStringLiteral("Event store full of alarms not yet reported to the automation software: new "
                       "alarms are not acknowledged, their senders repeat them later"),
        Log_Red);
    emit Fault_Beep();
    emit Store_Full_Changed(true);
}

void Receiver_Port::Check_Store_Full()
{
    if (!store_full || Store_Would_Lose_Alarm())
        return;
    store_full = false;
    Log(QStringLiteral("Event store accepts alarms again. Alarms not acknowledged while it was full: ")
            + QString::number(store_refused),
        Log_Red);
    store_refused = 0;
    emit Store_Full_Changed(false);
}

void Receiver_Port::Store_Message(const Filled_Event& filled)
{
    Object_Update_Outcome outcome;
    const std::uint32_t position
        = links.Objects.Update_Object(filled.Record, filled.Has_Signal_Quality, &outcome);
    Note_Object_Outcome(filled.Record, position, outcome);
    // Only a link test gets here while the ring is full of waiting alarms: it is answered for its
    // object's supervision, but takes no slot, as it is never reported.
    if (!Store_Would_Lose_Alarm())
        links.Events.Append_Event(filled.Record);
    links.Object_Changed.Set();
}

void Receiver_Port::Note_Object_Outcome(
    const Event_Record& event, std::uint32_t position, const Object_Update_Outcome& outcome)
{
    const bool too_long = Fixed_Text(event.Account_Number).size() > Line_Account_Width_Of(event);
    if (position == No_Object_Position) {
        Note_Port_Trouble("objects",
            QStringLiteral(
                "Object list full, every object in it has a report waiting or has failed: account ")
                + Text_Of(event.Account_Number) + QStringLiteral(" gets no object"));
        if (too_long
            && long_account_lines.Note(
                   Fixed_Text(event.Account_Number), static_cast<std::int64_t>(std::time(nullptr)))
                == 1)
            Log(Long_Account_Line(event), Log_Red);
        return;
    }
    if (outcome.Replaced)
        Log(QStringLiteral("Object list full: account ") + Text_Of(outcome.Replaced_Account)
            + QStringLiteral(" gave way to account ") + Text_Of(event.Account_Number));
    if (outcome.Is_New)
        long_account_warned[position] = 0;
    if (too_long && long_account_warned[position] == 0 && Name_Long_Account(event))
        long_account_warned[position] = 1;
}

bool Receiver_Port::Name_Long_Account(const Event_Record& event)
{
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    Flush_Long_Account_Count(now);
    if (long_accounts_named == 0)
        long_account_minute = now;
    if (long_accounts_named >= Long_Accounts_Named_Per_Minute) {
        ++long_accounts_unnamed;
        return false;
    }
    ++long_accounts_named;
    Log(Long_Account_Line(event), Log_Red);
    return true;
}

void Receiver_Port::Flush_Long_Account_Count(std::int64_t now_seconds)
{
    if (long_accounts_named == 0 || now_seconds - long_account_minute < 60)
        return;
    if (long_accounts_unnamed > 0)
        Log(QString::number(long_accounts_unnamed)
                + QStringLiteral(" more messages in the last 60 s came from accounts longer than the "
                                 "automation software's line carries"),
            Log_Red);
    long_accounts_named = 0;
    long_accounts_unnamed = 0;
}

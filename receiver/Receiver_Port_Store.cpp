// What one frame is answered with, and what is kept of it, for TCP and UDP alike: an accepted
// message updates its object and stores its events, unless the ring would have to overwrite an
// alarm that the automation software has not acknowledged yet.

#include "base/Settings_Record.h"
#include "base/Sync_Events.h"
#include "receiver/Account_Choice.h"
#include "receiver/DC09_Parse.h"
#include "receiver/DC09_Reply_Sources.h"
#include "receiver/DC09_Time.h"
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

bool Receiver_Port::Answer_Message(char* bytes, std::size_t size, Answer& answer)
{
    const Settings_Record& settings = links.Settings;
    // The header's account picks the cipher before anything is deciphered.
    answer.Choice = Account_Choice(accounts.get(), settings.DC9_AES_Mode, settings.DC9_Encoding_Key);
    const DC09_Outcome outcome = DC09_Parse(bytes, size, answer.Choice.Chooser(), answer.Frame);
    answer.Outcome = outcome;
    if (outcome == DC09_Outcome::Unrecognised)
        return false;
    // The window is measured on the clock the NAK carries, so the sender is told the time it is
    // measured against.
    answer.Receiver_Time = DC09_Current_Reply_Sources().Utc_Seconds();
    const bool time_in_window = DC09_Time_In_Window(answer.Frame.Message_Time, answer.Receiver_Time);
    answer.Reply
        = DC09_Choose_Reply(outcome, answer.Choice.Aes_Mode, settings.Time_Synch != 0, time_in_window);
    answer.Message
        = DC09_Build_Reply(answer.Reply, answer.Frame, answer.Choice.Aes_Mode, answer.Choice.Key32);
    return true;
}

std::int32_t Receiver_Port::Keep_Message(const Peer& peer, const Answer& answer)
{
    const DC09_Frame& frame = answer.Frame;
    if (answer.Reply == DC09_Reply::Nak)
        Note_Time_Refused(peer, frame.Message_Time, answer.Receiver_Time);
    else if (answer.Reply == DC09_Reply::Duh) {
        // Refused by its account's row, or else for what it carries: one line, not both.
        if (answer.Choice.Row != nullptr
            && answer.Choice.Refused(answer.Reply, frame) != Account_Refusal::None)
            Note_Account_Refused(peer, frame, answer.Choice, answer.Reply);
        else
            Note_Refused(peer, answer.Outcome, frame.Kind, answer.Choice.Aes_Mode);
    }
    if (answer.Reply != DC09_Reply::Ack && answer.Reply != DC09_Reply::Encrypted_Ack)
        return DC09_Idle_Seconds;
    const std::int64_t reception_time = static_cast<std::int64_t>(std::time(nullptr));
    Filled_Event filled = Fill_Event_From_Frame(frame, peer.Text(), reception_time);
    // An SIA-DCS block with several events is stored as that many records, in its order, all
    // acknowledged by the one reply.
    const std::size_t records = Stored_Record_Count(frame);
    for (std::size_t i = 0; i < records; ++i) {
        if (DC09_Is_Sia(frame.Kind))
            Fill_Sia_Event(filled.Record, frame, i);
        Store_Message(filled);
    }
    return links.Settings.DC9_Conn_Timeout;
}

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

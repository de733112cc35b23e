#include "bench/Soak_Ledger.h"

#include "store/Fixed_Text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint32_t Ring = Event_Slot_Count;
// A save pass writes records before it writes Next_Slot: the slots just ahead of it may already
// hold newer events than the index says.
constexpr std::uint32_t Unsettled_Slots = 256;

bool All_Digits(const std::string& text)
{
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return !text.empty();
}

} // namespace

std::string Soak_Account(int communicator)
{
    return std::to_string(Soak_First_Account + communicator);
}

void Soak_Group_Zone(int number, std::string& group, std::string& zone)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05d", number);
    group.assign(digits, 2);
    zone.assign(digits + 2, 3);
}

Soak_Ledger::Soak_Ledger(int communicators_)
    : communicators(communicators_)
    , acknowledged(static_cast<std::size_t>(communicators_) * Soak_Max_Events_Per_Communicator)
    , arrived(acknowledged.size())
{ }

std::optional<std::uint32_t> Soak_Ledger::Key_Of_Record(const Event_Record& record) const
{
    const std::string account(Fixed_Text(record.Account_Number));
    const std::string number
        = std::string(Fixed_Text(record.Group_Partition)) + std::string(Fixed_Text(record.Zone_User));
    if (!All_Digits(account) || number.size() != 5 || !All_Digits(number))
        return std::nullopt;
    const int communicator = std::atoi(account.c_str()) - Soak_First_Account;
    if (communicator < 0 || communicator >= communicators)
        return std::nullopt;
    return Key(communicator, std::atoi(number.c_str()));
}

// "5RRLLL 18" + account (4) + "E401" + group (2) + zone (3).
std::optional<std::uint32_t> Soak_Ledger::Key_Of_Line(const std::string& text) const
{
    if (text.size() != 22 || text.compare(13, 4, "E401") != 0)
        return std::nullopt;
    const std::string account = text.substr(9, 4), number = text.substr(17, 5);
    if (!All_Digits(account) || !All_Digits(number))
        return std::nullopt;
    const int communicator = std::atoi(account.c_str()) - Soak_First_Account;
    if (communicator < 0 || communicator >= communicators)
        return std::nullopt;
    return Key(communicator, std::atoi(number.c_str()));
}

void Soak_Ledger::Read_Event_File(const std::string& bytes)
{
    if (bytes.size() != sizeof(Event_Store_Image))
        return;
    const auto* image = reinterpret_cast<const Event_Store_Image*>(bytes.data());
    const std::uint32_t next = image->Next_Slot % Ring;
    // Looked at far more often than the ring turns over, so the way forward is the short one.
    if (previous_next_slot)
        next_position += (next + Ring - *previous_next_slot) % Ring;
    else
        next_position = next;
    previous_next_slot = next;

    for (std::uint32_t slot = 0; slot < Ring; ++slot) {
        const Event_Record& record = image->Slot[slot];
        if ((record.Status & 1) == 0 || (slot + Ring - next) % Ring < Unsettled_Slots)
            continue;
        const auto key = Key_Of_Record(record);
        if (!key || ring_position.contains(*key))
            continue;
        // Slot next - 1 holds the newest event, at position next_position - 1.
        ring_position[*key] = next_position - 1 - static_cast<std::int64_t>((next + Ring - 1 - slot) % Ring);
    }
}

void Soak_Ledger::Add_Lines(const std::vector<std::string>& texts)
{
    for (const std::string& text : texts) {
        const auto key = Key_Of_Line(text);
        if (!key)
            continue;
        ++lines;
        if (arrived[*key]) {
            ++repeated_lines;
            continue;
        }
        arrived[*key] = 1;
        first_arrivals.push_back(*key);
    }
}

Soak_Ledger::Findings Soak_Ledger::Check() const
{
    Findings findings;
    findings.Lines = lines;
    findings.Repeated_Lines = repeated_lines;
    const auto note = [&findings](const std::string& problem) {
        if (findings.First_Problem.empty())
            findings.First_Problem = problem;
    };
    const auto name = [](std::uint32_t key) {
        return Soak_Account(static_cast<int>(key / Soak_Max_Events_Per_Communicator)) + "/"
            + std::to_string(key % Soak_Max_Events_Per_Communicator);
    };
    for (std::uint32_t key = 0; key < acknowledged.size(); ++key) {
        if (!acknowledged[key])
            continue;
        ++findings.Acknowledged;
        if (!ring_position.contains(key)) {
            ++findings.Missing_In_File;
            note("event " + name(key) + " acknowledged but never seen in the event file");
        }
        if (!arrived[key]) {
            ++findings.Missing_At_Automation;
            note("event " + name(key) + " acknowledged but never reached the automation software");
        }
    }
    // Each pass sends in slot order: an older event may reach the automation software after a
    // newer one only when it sits in a higher slot (the ring wrapped between them) or when the
    // newer one went out in an earlier pass while the older one was pending in a higher slot.
    for (std::size_t i = 1; i < first_arrivals.size(); ++i) {
        const auto earlier = ring_position.find(first_arrivals[i - 1]);
        const auto later = ring_position.find(first_arrivals[i]);
        if (earlier == ring_position.end() || later == ring_position.end())
            continue;
        if (later->second < earlier->second && later->second % Ring < earlier->second % Ring) {
            ++findings.Out_Of_Ring_Order;
            note("event " + name(first_arrivals[i]) + " reached the automation software after the newer "
                + name(first_arrivals[i - 1]) + " from a lower slot");
        }
    }
    return findings;
}

#pragma once

// What the soak run knows about its events: which were acknowledged to a communicator, where each
// first showed up in the event file (its position in the ring's whole history), and the order in
// which they first reached the automation software. An event is named by its communicator and its
// number, both readable from the event record and from the report line.

#include "store/Event_Record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

inline constexpr int Soak_Max_Events_Per_Communicator = 100000; // group and zone: five digits
inline constexpr int Soak_First_Account = 5000;

// Account "5000" + communicator; group and zone hold the number in five digits.
std::string Soak_Account(int communicator);
void Soak_Group_Zone(int number, std::string& group, std::string& zone);

class Soak_Ledger
{
public:
    explicit Soak_Ledger(int communicators);

    std::uint32_t Key(int communicator, int number) const
    {
        return static_cast<std::uint32_t>(communicator * Soak_Max_Events_Per_Communicator + number);
    }
    // The key of an event record or a report line of this run, if it is one.
    std::optional<std::uint32_t> Key_Of_Record(const Event_Record& record) const;
    std::optional<std::uint32_t> Key_Of_Line(const std::string& text) const;

    // Sender threads: each communicator's events are marked by the one thread that owns it.
    void Mark_Acknowledged(std::uint32_t key) { acknowledged[key] = 1; }

    // A copy of the event file: records first seen get their ring position. Slots just ahead of
    // Next_Slot are left for the next look, as the pass writing them may not have moved it yet.
    void Read_Event_File(const std::string& bytes);
    // Report lines in the order they arrived.
    void Add_Lines(const std::vector<std::string>& texts);

    struct Findings
    {
        std::size_t Acknowledged = 0;
        std::size_t Missing_In_File = 0;
        std::size_t Missing_At_Automation = 0;
        std::size_t Out_Of_Ring_Order = 0;
        std::size_t Lines = 0;
        std::size_t Repeated_Lines = 0;
        std::string First_Problem;
    };
    Findings Check() const;

private:
    int communicators;
    std::vector<std::uint8_t> acknowledged;
    std::vector<std::uint8_t> arrived;
    std::unordered_map<std::uint32_t, std::int64_t> ring_position;
    std::vector<std::uint32_t> first_arrivals;
    std::size_t lines = 0;
    std::size_t repeated_lines = 0;
    std::optional<std::uint32_t> previous_next_slot;
    std::int64_t next_position = 0;
};

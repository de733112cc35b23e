#pragma once

#include <cstdint>
#include <vector>

inline constexpr std::int32_t DC09_Idle_Seconds = 5;
// Connections held at once; a connection beyond them is closed as soon as it is accepted.
inline constexpr int DC09_Connection_Limit = 10000;

// The idle countdowns of the open connections, one slot per connection. A connection takes a slot
// when it is accepted and gives it back when it ends, so every open connection is counted down and
// the table is as large as the most connections open at once. A countdown of 0 means the
// connection is not timed out (a connection time-out of 0 after an acknowledged message).
template<class Owner> class DC09_Connection_Table
{
public:
    // A slot for `owner`, counting down from idle_seconds.
    int Take(Owner* owner, std::int32_t idle_seconds)
    {
        int slot;
        if (free_slots.empty()) {
            slot = static_cast<int>(slot_list.size());
            slot_list.push_back({});
        } else {
            slot = free_slots.back();
            free_slots.pop_back();
        }
        slot_list[static_cast<std::size_t>(slot)] = {owner, idle_seconds};
        ++used;
        return slot;
    }

    void Restart(int slot, std::int32_t idle_seconds)
    {
        slot_list[static_cast<std::size_t>(slot)].Countdown = idle_seconds;
    }

    void Release(int slot)
    {
        slot_list[static_cast<std::size_t>(slot)] = {};
        free_slots.push_back(slot);
        --used;
    }

    // The one-second sweep: every running countdown goes down by 1, and the owner of each that
    // reaches 0 is handed to `expire`, which may release its slot (or any other) there and then.
    template<class Expire> void Tick(Expire&& expire)
    {
        for (std::size_t index = 0; index < slot_list.size(); ++index) {
            Slot& slot = slot_list[index];
            if (slot.Holder == nullptr || slot.Countdown == 0)
                continue;
            if (--slot.Countdown == 0)
                expire(*slot.Holder);
        }
    }

    int Used() const { return used; }
    std::int32_t Countdown(int slot) const { return slot_list[static_cast<std::size_t>(slot)].Countdown; }

private:
    struct Slot
    {
        Owner* Holder = nullptr;
        std::int32_t Countdown = 0;
    };
    std::vector<Slot> slot_list;
    std::vector<int> free_slots;
    int used = 0;
};

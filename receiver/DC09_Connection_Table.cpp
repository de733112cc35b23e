#include "receiver/DC09_Connection_Table.h"

#include "store/Fixed_Text.h"

#include <cstring>

DC09_Connection_Table::DC09_Connection_Table()
{
    std::memset(slots_, 0, sizeof slots_);
}

bool DC09_Connection_Table::Matches(
    const DC09_Connection_Slot& slot, std::string_view address, std::int32_t port)
{
    return slot.Port == port && address.find(Fixed_Text(slot.Address)) != std::string_view::npos;
}

int DC09_Connection_Table::Record(
    std::string_view address, std::int32_t port, std::int32_t idle_seconds, int hint)
{
    const auto running_match = [&](const DC09_Connection_Slot& slot) {
        return slot.Countdown != 0 && Matches(slot, address, port);
    };
    int own = -1;
    if (hint >= 0 && hint < DC09_Connection_Slots && running_match(slots_[hint])) {
        own = hint;
    } else {
        for (int index = 0; index < DC09_Connection_Slots && own < 0; ++index)
            own = running_match(slots_[index]) ? index : -1;
    }
    if (own >= 0) {
        slots_[own].Countdown = idle_seconds;
        return own;
    }
    for (int index = 0; index < DC09_Connection_Slots; ++index) {
        DC09_Connection_Slot& slot = slots_[index];
        if (slot.Countdown != 0)
            continue;
        Set_Fixed_Text(slot.Address, address.size() <= 15 ? address : std::string_view {});
        slot.Port = port;
        slot.Countdown = idle_seconds;
        return index;
    }
    return -1;
}

void DC09_Connection_Table::Tick(const std::function<bool(const DC09_Connection_Slot&)>& close_first_match)
{
    for (DC09_Connection_Slot& slot : slots_) {
        if (slot.Countdown == 0)
            continue;
        if (slot.Countdown == 1 && close_first_match(slot)) {
            slot.Port = 0;
            std::memset(slot.Address, 0, sizeof slot.Address);
        }
        --slot.Countdown;
    }
}

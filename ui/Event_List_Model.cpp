#include "ui/Event_List_Model.h"

#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "ui/List_Cell_Text.h"
#include "ui/List_Sort_Keys.h"

Event_List_Model::Event_List_Model(const Event_Store& event_store, QObject* parent)
    : List_Model(Event_List_Columns, Event_List_Header, Event_Slot_Count, parent)
    , store(event_store)
{ }

List_Model::Store_Reading Event_List_Model::Read_Store()
{
    next_slot = store.Next_Slot() % Event_Slot_Count;
    int used = 0;
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot)
        used += store.Status(slot) != 0 ? 1 : 0;
    // Slots are written in ring order, so the used ones are the newest rows.
    return {used, used};
}

std::uint32_t Event_List_Model::Natural_Slot(int row) const
{
    return Event_Slot_Of_Row(next_slot, row);
}

int Event_List_Model::Natural_Row(std::uint32_t slot) const
{
    return static_cast<int>((next_slot + 2 * Event_Slot_Count - 1 - slot) % Event_Slot_Count);
}

bool Event_List_Model::Slot_Used(std::uint32_t slot) const
{
    return store.Status(slot) != 0;
}

std::string_view Event_List_Model::Slot_Account(std::uint32_t slot) const
{
    return Fixed_Text(store.Slot(slot).Account_Number);
}

int Event_List_Model::Compare_Slots(std::uint32_t a, std::uint32_t b, int column) const
{
    return Event_Compare(store.Slot(a), store.Slot(b), column);
}

QString Event_List_Model::Cell_Text(std::uint32_t slot, int column) const
{
    return Event_Cell_Text(store.Slot(slot), column);
}

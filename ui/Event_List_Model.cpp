#include "ui/Event_List_Model.h"

#include "store/Atomic_Bits.h"
#include "store/Event_Store.h"
#include "ui/List_Cell_Text.h"

Event_List_Model::Event_List_Model(const Event_Store& event_store, QObject* parent)
    : List_Model(Event_List_Columns, Event_List_Header, parent)
    , store(event_store)
{ }

QString Event_List_Model::Cell_Text(int row, int column) const
{
    const Event_Record& record = store.Slot(Event_Slot_Of_Row(next_slot, row));
    // A free slot has no row of its own: its place stays empty.
    return Load_Bits(record.Status) == 0 ? QString() : Event_Cell_Text(record, column);
}

int Event_List_Model::Refresh()
{
    next_slot = store.Next_Slot() % Event_Slot_Count;
    int used = 0;
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot)
        used += store.Status(slot) != 0 ? 1 : 0;
    count = used;
    Show_Rows(used);
    return count;
}

std::uint32_t Event_List_Model::Slot_Of_Row(int row) const
{
    return Event_Slot_Of_Row(next_slot, row);
}

int Event_List_Model::Row_Of_Slot(std::uint32_t slot) const
{
    const int row = static_cast<int>((next_slot + 2 * Event_Slot_Count - 1 - slot) % Event_Slot_Count);
    return row < count ? row : -1;
}

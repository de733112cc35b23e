#pragma once

#include "ui/List_Model.h"

#include <cstdint>

class Event_Store;

// The event ring as table rows, newest first. A refresh only counts the used slots and tells the
// view what changed.
class Event_List_Model : public List_Model
{
    Q_OBJECT
public:
    explicit Event_List_Model(const Event_Store& store, QObject* parent = nullptr);

    // Reads Next_Slot and counts the used slots; returns the count.
    int Refresh();
    int Event_Count() const { return count; }
    // The slot a row shows, and the row that shows a slot (-1 when none does), as of the last
    // refresh.
    std::uint32_t Slot_Of_Row(int row) const;
    int Row_Of_Slot(std::uint32_t slot) const;

private:
    QString Cell_Text(int row, int column) const override;

    const Event_Store& store;
    std::uint32_t next_slot = 0; // as read by the last refresh
    int count = 0;
};

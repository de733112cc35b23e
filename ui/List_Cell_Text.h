#pragma once

#include "store/Event_Record.h"
#include "store/Object_Record.h"

#include <QString>

#include <cstdint>

// The texts of the event list and the object list, made from a record when a cell is painted, so
// the windows keep no copy of 40,000 strings. Record texts are single-byte characters.

inline constexpr int Event_List_Columns = 11;
inline constexpr int Event_Account_Column = 3;
inline constexpr int Event_Name_Column = 5;
inline constexpr int Event_Status_Column = 10;
inline constexpr int Object_Account_Column = 1;
inline constexpr int Object_List_Columns = 11;
inline constexpr int Object_Timeout_Column = 9;
inline constexpr int Object_Trash_Column = 10;

QString Event_List_Header(int column);
QString Event_Cell_Text(const Event_Record& record, int column);

QString Object_List_Header(int column);
QString Object_Cell_Text(const Object_Record& record, int column);

// Body rows of a list: newest event first by the ring rule, objects by position.
// Row r (from 0) of the event list shows slot (Next_Slot - 1 - r) mod 4096.
inline std::uint32_t Event_Slot_Of_Row(std::uint32_t next_slot, int row)
{
    return (next_slot + Event_Slot_Count - 1 - static_cast<std::uint32_t>(row) % Event_Slot_Count)
        % Event_Slot_Count;
}

// The column widths of a list `width` pixels wide: per cent of the width, integer division.
int Event_Column_Width(int width, int column);
int Object_Column_Width(int width, int column);

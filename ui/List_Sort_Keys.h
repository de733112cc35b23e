#pragma once

#include "store/Event_Record.h"
#include "store/Object_Record.h"

#include <string_view>

// How the list windows sort by a column, straight from the records: times and numbers by value,
// texts with their runs of digits by value ("A9" before "A10", "10.0.0.9" before "10.0.0.10").
// Each returns below zero, zero or above zero as `a` sorts before, with or after `b`.
int Natural_Compare(std::string_view a, std::string_view b);
int Event_Compare(const Event_Record& a, const Event_Record& b, int column);
int Object_Compare(const Object_Record& a, const Object_Record& b, int column);

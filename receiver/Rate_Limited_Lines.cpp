#include "receiver/Rate_Limited_Lines.h"

#include <algorithm>
#include <cstring>

namespace {

std::size_t Hash(std::string_view key)
{
    std::size_t hash = 14695981039346656037ull;
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

std::string_view Key_Of(const char* key, std::size_t length)
{
    return {key, length};
}

} // namespace

Rate_Limited_Lines::Rate_Limited_Lines(std::size_t capacity_)
    : entries(std::make_unique<Entry[]>(capacity_))
    , survivors(std::make_unique<Entry[]>(capacity_))
    , capacity(capacity_)
{ }

Rate_Limited_Lines::~Rate_Limited_Lines() = default;

Rate_Limited_Lines::Entry* Rate_Limited_Lines::Find(std::string_view key, bool& full)
{
    key = key.substr(0, Longest_Key);
    // Open addressing with linear probing; the table is kept at most three quarters full so a
    // probe always ends at an unused entry.
    for (std::size_t index = Hash(key) % capacity;; index = (index + 1) % capacity) {
        Entry& entry = entries[index];
        if (!entry.Used) {
            full = used >= capacity * 3 / 4;
            if (full)
                return &overflow;
            std::memcpy(entry.Key, key.data(), key.size());
            entry.Length = static_cast<std::uint8_t>(key.size());
            entry.Used = true;
            entry.Lined = false;
            entry.Last_Line = 0;
            entry.Counted = 0;
            ++used;
            return &entry;
        }
        if (Key_Of(entry.Key, entry.Length) == key)
            return &entry;
    }
}

std::uint64_t Rate_Limited_Lines::Note(std::string_view key, std::int64_t now_seconds)
{
    bool full = false;
    Entry& entry = *Find(key, full);
    if (full && !entry.Used) {
        // Keys beyond the table are told as one count, never one line each.
        entry.Used = true;
        entry.Last_Line = now_seconds;
    }
    if (full || (entry.Lined && now_seconds - entry.Last_Line < Interval_Seconds)) {
        ++entry.Counted;
        return 0;
    }
    const std::uint64_t covered = entry.Counted + 1;
    entry.Lined = true;
    entry.Last_Line = now_seconds;
    entry.Counted = 0;
    return covered;
}

void Rate_Limited_Lines::Flush(
    std::int64_t now_seconds, const std::function<void(std::string_view key, std::uint64_t count)>& write)
{
    std::size_t kept = 0;
    for (std::size_t index = 0; index < capacity; ++index) {
        Entry& entry = entries[index];
        if (!entry.Used || now_seconds - entry.Last_Line < Interval_Seconds) {
            if (entry.Used)
                survivors[kept++] = entry;
            continue;
        }
        if (entry.Counted == 0)
            continue; // quiet for a whole interval: forgotten
        write(Key_Of(entry.Key, entry.Length), entry.Counted);
        entry.Counted = 0;
        entry.Last_Line = now_seconds;
        survivors[kept++] = entry;
    }
    if (overflow.Used && now_seconds - overflow.Last_Line >= Interval_Seconds) {
        if (overflow.Counted != 0)
            write({}, overflow.Counted);
        overflow = Entry {};
    }
    if (kept == used)
        return;
    // Forgotten keys leave holes in the probe chains, so the survivors are placed anew.
    std::fill(entries.get(), entries.get() + capacity, Entry {});
    used = 0;
    for (std::size_t i = 0; i < kept; ++i)
        Insert(survivors[i]);
}

void Rate_Limited_Lines::Insert(const Entry& entry)
{
    bool full = false;
    Entry* place = Find(Key_Of(entry.Key, entry.Length), full);
    place->Lined = entry.Lined;
    place->Last_Line = entry.Last_Line;
    place->Counted = entry.Counted;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

// Log lines that a flood could repeat without end get at most one line a minute per key (a peer
// address, or one fixed key for a line about the whole port). The first occurrence is written at
// once; later ones within the minute are only counted, and the count is written when the minute
// is over. Keys live in a fixed table, so counting costs no allocation; when it is full, new keys
// share one overflow entry whose key is empty.
class Rate_Limited_Lines
{
public:
    static constexpr std::int64_t Interval_Seconds = 60;
    static constexpr std::size_t Longest_Key = 47;

    // Room for `capacity` keys (three quarters of them in use at most).
    explicit Rate_Limited_Lines(std::size_t capacity = 1024);
    ~Rate_Limited_Lines();

    // One occurrence for `key` at now_seconds. When the key had no line in the last interval its
    // line is due now: the result is the number of occurrences it tells of (1: this one alone).
    // Otherwise 0, and the occurrence is counted for a later line.
    std::uint64_t Note(std::string_view key, std::int64_t now_seconds);

    // Once a second: for each key whose interval is over with occurrences counted in it, `write`
    // gets the key and the count, and a new interval starts. Keys quiet for a whole interval are
    // forgotten.
    void Flush(std::int64_t now_seconds,
        const std::function<void(std::string_view key, std::uint64_t count)>& write);

private:
    struct Entry
    {
        char Key[Longest_Key + 1];
        std::uint8_t Length;
        bool Used;
        bool Lined; // a line was written for the key
        std::int64_t Last_Line;
        std::uint64_t Counted; // occurrences since the last line
    };
    Entry* Find(std::string_view key, bool& full);
    void Insert(const Entry& entry);

    std::unique_ptr<Entry[]> entries;
    std::unique_ptr<Entry[]> survivors; // the flush's scratch space, taken once
    std::size_t capacity;
    std::size_t used = 0;
    Entry overflow {};
};

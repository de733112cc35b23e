#pragma once

#include "base/Sync_Events.h"
#include "store/Event_Record.h"
#include "store/Image_Writer.h"
#include "store/Object_Record.h"
#include "store/Write_Health.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// What Update_Object did besides updating: the account may be new to the list, and a full
// list may have given an older object's position to it.
struct Object_Update_Outcome
{
    bool Is_New = false;
    bool Replaced = false;
    char Replaced_Account[sizeof(Object_Record::Account_Number)] = {};
};

// The supervised accounts and their file "latevn.dat". Everything but the reading and the
// Flag_Report clearing of the output thread runs on the window thread.
//
// Thread-safety: the window thread changes a record's fields only while holding Object_Lock, so
// the output thread takes a consistent copy under the same lock (Copy_Object). The flag byte is
// changed by both threads with single-bit atomic operations. Moving or zeroing records is fenced
// by the store gate as well.
class Object_Table
{
public:
    // Seconds since 1970 UTC; the bound of the search for the oldest object.
    using Clock = std::function<std::int64_t()>;

    Object_Table(Manual_Reset_Event& store_gate, std::mutex& object_lock, Clock clock = System_Clock);
    Object_Table(const Object_Table&) = delete;
    Object_Table& operator=(const Object_Table&) = delete;

    // Window thread, before the output thread starts and after it ends: what a bulk change waits
    // for after closing the gate (the output thread's line awaiting its answer). Empty: nothing.
    void Set_Bulk_Change_Drain(std::function<void()> drain) { bulk_change_drain = std::move(drain); }

    // Start-up, after the event file. Returns the pending message when the file had the wrong size
    // and was created anew, otherwise an empty text. Every countdown starts from its full time-out.
    std::string Load_Object_File(const std::string& path);
    const std::string& File_Path() const { return path; }

    // For every stored message, before the event is appended. Returns the object's position, or
    // No_Object_Position when the list is full and every object in it either has a report waiting
    // or has failed: such an object must not be pushed out, so the account gets none.
    std::uint32_t Update_Object(
        const Event_Record& event, bool has_signal_quality, Object_Update_Outcome* outcome = nullptr);

    // Writes record `position` to the file under Object_Lock; false on failure. A record whose
    // write failed is kept for the next attempt, so the file catches up once writing works again.
    bool Write_Object_Record(std::uint32_t position);

    // Told once when the object file's writes start failing (red) and once when they work again,
    // with the log line to write. Window thread, like every write of the file.
    using Write_State_Hook = std::function<void(const std::string& text, bool failing)>;
    void Set_Write_State_Hook(Write_State_Hook hook) { write_state_hook = std::move(hook); }
    std::uint32_t Unwritten_Count() const { return unwritten_count; }

    // Once a second. True when an object failed in this tick. Also retries records whose write
    // failed, and notices an object file that was removed or replaced while open.
    // `failed` (when given) sees each object that failed in this tick, under the table's lock.
    bool Supervision_Tick(const std::function<void(const Object_Record& record)>& failed = {});

    // Minutes above Max_Ping_Timeout are taken as Max_Ping_Timeout.
    void Set_Ping_Timeout(std::uint32_t position, std::uint32_t minutes);

    // After the operator confirmed: later objects move down one position, the file is rewritten.
    void Delete_Object(std::uint32_t position);

    // Zeroes the table and the file; does nothing (returns false) when the file does not exist.
    // Stopping and restarting the supervision timer around the call is the window's part.
    bool Delete_All_Objects();

    // Window thread: the thread that changes the records may read them directly. Positions come
    // from the windows' grids, so every accessor takes any value: a position past the table reads
    // as an empty record and changes nothing.
    const Object_Record& Object(std::uint32_t position) const;

    // Output thread.
    std::uint8_t Supervision_Flags(std::uint32_t position) const;
    Object_Record Copy_Object(std::uint32_t position) const;
    // Clears Flag_Report after the automation software acknowledged a supervision line made from
    // `reported` (a Copy_Object result). Nothing is cleared when the position holds another account
    // by now, or when Flag_Failed changed since, because that change still has to be reported.
    bool Clear_Flag_Report(std::uint32_t position, const Object_Record& reported);

    static std::int64_t System_Clock();

private:
    bool Write_Record_Locked(std::uint32_t position);
    bool Write_Table_Locked();
    void Note_Write(int error);
    void Mark_All_Unwritten();
    void Write_Unwritten_Locked();
    void Index_Positions(std::uint32_t first);
    std::uint32_t Find_Position(const Event_Record& event, bool& is_new, bool& replaces) const;
    bool May_Give_Way(std::uint32_t position) const;

    Manual_Reset_Event& gate;
    std::function<void()> bulk_change_drain;
    std::mutex& lock;
    Clock clock;
    std::string path;
    // One block for the whole life of the table; objects are never allocated one by one.
    std::unique_ptr<Object_Record[]> records;
    // What the search for an account reads of each record, kept densely beside the records and in
    // step with Last_Time and Account_Number by every change of the window thread: a stored
    // message scans every used position, and 16 bytes per object stream far faster than the
    // records' cache lines.
    struct Search_Entry
    {
        std::int64_t Last_Time;
        std::uint64_t Account_Hash;
    };
    std::unique_ptr<Search_Entry[]> search_index;
    Image_Writer writer;
    Write_Health health;
    Write_State_Hook write_state_hook;
    // Positions whose record in the file is older than in memory because a write failed.
    std::unique_ptr<std::uint8_t[]> unwritten;
    std::uint32_t unwritten_count = 0;
};

inline constexpr std::uint32_t No_Object_Position = Object_Count;

// The countdown in seconds for a time-out in minutes; fits 32 bits thanks to the clamp.
inline std::uint32_t Countdown_For(std::uint32_t minutes)
{
    return (minutes < Max_Ping_Timeout ? minutes : Max_Ping_Timeout) * 60U;
}

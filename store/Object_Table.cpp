#include "store/Object_Table.h"

#include "base/System_Error.h"
#include "store/Atomic_Bits.h"
#include "store/Data_File.h"
#include "store/Fixed_Text.h"
#include "store/Image_File.h"

#include <chrono>
#include <cstring>
#include <string_view>

namespace {

constexpr std::uint32_t Default_Timeout_With_Signal = 6; // minutes
constexpr std::uint32_t Default_Timeout_Without_Signal = 70; // minutes
constexpr std::uint8_t No_Signal_Quality = 255;

constexpr std::size_t Account_Width = sizeof(Object_Record::Account_Number);
static_assert(Account_Width == sizeof(Event_Record::Account_Number));

// FNV-1a; only has to tell accounts apart cheaply, a match is confirmed on the text.
std::uint64_t Account_Hash(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char character : text) {
        hash ^= static_cast<unsigned char>(character);
        hash *= 1099511628211ULL;
    }
    return hash;
}

// The account as a search key: a record matches when its text is the same, whatever bytes a
// loaded file carries after the terminator.
struct Account_Key
{
    std::string_view Text;
    std::uint64_t Hash;

    explicit Account_Key(const char (&account)[Account_Width])
        : Text(Fixed_Text(account))
        , Hash(Account_Hash(Text))
    { }
};

std::int64_t Record_Offset(std::uint32_t position)
{
    return static_cast<std::int64_t>(sizeof(Object_Record)) * position;
}

template<std::size_t N> void Copy_Field(char (&target)[N], const char (&source)[N])
{
    std::memcpy(target, source, N);
}

} // namespace

std::int64_t Object_Table::System_Clock()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(now).count();
}

Object_Table::Object_Table(Manual_Reset_Event& store_gate, std::mutex& object_lock, Clock time_source)
    : gate(store_gate)
    , lock(object_lock)
    , clock(std::move(time_source))
    , records(std::make_unique<Object_Record[]>(Object_Count))
    , search_index(std::make_unique<Search_Entry[]>(Object_Count))
    , unwritten(std::make_unique<std::uint8_t[]>(Object_Count))
{ }

void Object_Table::Index_Positions(std::uint32_t first)
{
    for (std::uint32_t position = first; position < Object_Count; ++position) {
        const Object_Record& record = records[position];
        search_index[position] = {record.Last_Time, Account_Hash(Fixed_Text(record.Account_Number))};
    }
}

std::string Object_Table::Load_Object_File(const std::string& file_path)
{
    path = file_path;
    writer.Set_Path(path);
    std::string message = Load_Image_File(path, records.get(), Object_File_Size);
    // The stored countdowns are stale: every supervised object gets a full period after start-up.
    for (std::uint32_t position = 0; position < Object_Count; ++position)
        records[position].Ping_Countdown = Countdown_For(records[position].Ping_Timeout);
    Index_Positions(0);
    return message;
}

// An object with a failure or a recovery still to report, or one that has failed, keeps its place:
// pushing it out would lose what the automation software has not been told.
bool Object_Table::May_Give_Way(std::uint32_t position) const
{
    return (Load_Bits(records[position].Supervision_Flags) & (Flag_Failed | Flag_Report)) == 0;
}

std::uint32_t Object_Table::Find_Position(const Event_Record& event, bool& is_new, bool& replaces) const
{
    const Account_Key key(event.Account_Number);
    std::int64_t oldest_time = clock();
    std::uint32_t oldest = No_Object_Position;
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        const Search_Entry& entry = search_index[position];
        if (entry.Last_Time == 0) {
            is_new = true;
            return position;
        }
        if (entry.Account_Hash == key.Hash && Fixed_Text(records[position].Account_Number) == key.Text) {
            is_new = false;
            return position;
        }
        // The flags are read only for a better candidate, so the scan stays on the dense index.
        if ((entry.Last_Time < oldest_time || oldest == No_Object_Position) && May_Give_Way(position)) {
            oldest_time = entry.Last_Time;
            oldest = position;
        }
    }
    is_new = oldest != No_Object_Position;
    replaces = is_new;
    return oldest;
}

std::uint32_t Object_Table::Update_Object(
    const Event_Record& event, bool has_signal_quality, Object_Update_Outcome* outcome)
{
    bool is_new = false;
    bool replaces = false;
    const std::uint32_t position = Find_Position(event, is_new, replaces);
    if (outcome) {
        outcome->Is_New = is_new;
        outcome->Replaced = replaces;
        if (replaces)
            Copy_Field(outcome->Replaced_Account, records[position].Account_Number);
    }
    if (position == No_Object_Position)
        return position;

    std::lock_guard guard(lock);
    Object_Record& record = records[position];
    record.Last_Time = event.Time_Received;
    Copy_Field(record.Account_Number, event.Account_Number);
    Copy_Field(record.Receiver_Number, event.Receiver_Number);
    Copy_Field(record.Line_Number, event.Line_Number);
    Copy_Field(record.Qualifier_Event, event.Qualifier_Event);
    Copy_Field(record.Group_Partition, event.Group_Partition);
    Copy_Field(record.Zone_User, event.Zone_User);
    Copy_Field(record.IP_Address, event.IP_Address);
    record.Signal_Quality
        = has_signal_quality ? static_cast<std::uint8_t>(event.Signal_Quality) : No_Signal_Quality;
    search_index[position] = {record.Last_Time, Account_Hash(Fixed_Text(record.Account_Number))};

    if (is_new) {
        record.Ping_Timeout
            = has_signal_quality ? Default_Timeout_With_Signal : Default_Timeout_Without_Signal;
        record.Ping_Countdown = Countdown_For(record.Ping_Timeout);
        Store_Bits(record.Supervision_Flags, 0);
        std::memset(record.Reserved_67, 0, sizeof record.Reserved_67);
        std::memset(record.Reserved_74, 0, sizeof record.Reserved_74);
        std::memset(record.Reserved_84, 0, sizeof record.Reserved_84);
        Write_Record_Locked(position);
        return position;
    }

    if (record.Ping_Timeout != 0)
        record.Ping_Countdown = Countdown_For(record.Ping_Timeout);
    if ((Load_Bits(record.Supervision_Flags) & Flag_Failed) != 0) {
        // The file gets the restored state; the pending report stays a memory-only bit.
        Clear_Bits(record.Supervision_Flags, Flag_Failed);
        Write_Record_Locked(position);
        Set_Bits(record.Supervision_Flags, Flag_Report);
    } else {
        Write_Record_Locked(position);
    }
    return position;
}

bool Object_Table::Write_Object_Record(std::uint32_t position)
{
    if (position >= Object_Count)
        return false;
    std::lock_guard guard(lock);
    return Write_Record_Locked(position);
}

bool Object_Table::Write_Record_Locked(std::uint32_t position)
{
    const int error = writer.Write(Record_Offset(position), &records[position], sizeof(Object_Record));
    if (error != 0 && unwritten[position] == 0) {
        unwritten[position] = 1;
        ++unwritten_count;
    } else if (error == 0 && unwritten[position] != 0) {
        unwritten[position] = 0;
        --unwritten_count;
    }
    Note_Write(error);
    if (error == 0 && unwritten_count > 0)
        Write_Unwritten_Locked();
    return error == 0;
}

bool Object_Table::Write_Table_Locked()
{
    const int error = writer.Write(0, records.get(), Object_File_Size);
    if (error == 0) {
        std::memset(unwritten.get(), 0, Object_Count);
        unwritten_count = 0;
    } else {
        Mark_All_Unwritten();
    }
    Note_Write(error);
    return error == 0;
}

void Object_Table::Mark_All_Unwritten()
{
    std::memset(unwritten.get(), 1, Object_Count);
    unwritten_count = Object_Count;
}

void Object_Table::Note_Write(int error)
{
    const Write_Change change = health.Note(error);
    if (change == Write_Change::None || !write_state_hook)
        return;
    if (change == Write_Change::Started_Failing)
        write_state_hook(
            "Object file write error. Error: " + std::to_string(error) + ". " + System_Error_Text(error),
            true);
    else
        write_state_hook("Object file written again.", false);
}

void Object_Table::Write_Unwritten_Locked()
{
    if (unwritten_count == Object_Count) {
        Write_Table_Locked();
        return;
    }
    for (std::uint32_t position = 0; position < Object_Count && unwritten_count > 0; ++position) {
        if (unwritten[position] == 0)
            continue;
        const int error = writer.Write(Record_Offset(position), &records[position], sizeof(Object_Record));
        Note_Write(error);
        if (error != 0)
            return; // still failing: the next tick tries again
        unwritten[position] = 0;
        --unwritten_count;
    }
}

bool Object_Table::Supervision_Tick(const std::function<void(const Object_Record& record)>& failed)
{
    bool any_failed = false;
    std::lock_guard guard(lock);
    // Records written since the file was removed or replaced went to a file nobody reads.
    if (writer.Drop_If_Replaced())
        Mark_All_Unwritten();
    if (unwritten_count > 0)
        Write_Unwritten_Locked();
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        Object_Record& record = records[position];
        const std::uint32_t countdown = record.Ping_Countdown;
        if (record.Account_Number[0] != '\0' && countdown >= 2) {
            record.Ping_Countdown = countdown - 1;
        } else if (countdown == 1) {
            record.Ping_Countdown = 0;
            Set_Bits(record.Supervision_Flags, Flag_Failed);
            Write_Record_Locked(position);
            Set_Bits(record.Supervision_Flags, Flag_Report);
            any_failed = true;
            if (failed)
                failed(record);
        }
    }
    return any_failed;
}

void Object_Table::Set_Ping_Timeout(std::uint32_t position, std::uint32_t minutes)
{
    if (position >= Object_Count)
        return;
    const std::uint32_t timeout = minutes < Max_Ping_Timeout ? minutes : Max_Ping_Timeout;
    std::lock_guard guard(lock);
    Object_Record& record = records[position];
    if (record.Ping_Timeout != timeout) {
        record.Ping_Timeout = timeout;
        record.Ping_Countdown = Countdown_For(timeout);
    }
    Write_Record_Locked(position);
}

void Object_Table::Delete_Object(std::uint32_t position)
{
    if (position >= Object_Count)
        return;
    // Fenced like the whole-table deletion, so the output thread never reports or clears a flag of
    // a record while it moves.
    Store_Gate_Fence fence(gate, bulk_change_drain);
    std::lock_guard guard(lock);
    std::memmove(
        &records[position], &records[position + 1], sizeof(Object_Record) * (Object_Count - 1 - position));
    std::memset(&records[Object_Count - 1], 0, sizeof(Object_Record));
    Index_Positions(position);
    Write_Table_Locked();
}

bool Object_Table::Delete_All_Objects()
{
    if (!File_Exists(path))
        return false;
    Store_Gate_Fence fence(gate, bulk_change_drain);
    std::lock_guard guard(lock);
    std::memset(records.get(), 0, Object_File_Size);
    Index_Positions(0);
    Write_Table_Locked();
    return true;
}

const Object_Record& Object_Table::Object(std::uint32_t position) const
{
    static const Object_Record empty {};
    return position < Object_Count ? records[position] : empty;
}

std::uint8_t Object_Table::Supervision_Flags(std::uint32_t position) const
{
    if (position >= Object_Count)
        return 0;
    return Load_Bits(records[position].Supervision_Flags);
}

Object_Record Object_Table::Copy_Object(std::uint32_t position) const
{
    if (position >= Object_Count)
        return {};
    std::lock_guard guard(lock);
    return records[position];
}

bool Object_Table::Clear_Flag_Report(std::uint32_t position, const Object_Record& reported)
{
    if (position >= Object_Count)
        return false;
    std::lock_guard guard(lock);
    Object_Record& record = records[position];
    if (Fixed_Text(record.Account_Number) != Fixed_Text(reported.Account_Number))
        return false;
    if (((Load_Bits(record.Supervision_Flags) ^ reported.Supervision_Flags) & Flag_Failed) != 0)
        return false;
    Clear_Bits(record.Supervision_Flags, Flag_Report);
    return true;
}

#include "store/Event_Store.h"

#include "base/System_Error.h"
#include "store/Atomic_Bits.h"
#include "store/Fixed_Text.h"
#include "store/Image_File.h"
#include "store/Relaxed_Copy.h"

#include <cstring>

namespace {

constexpr std::size_t Record_Body_Offset = 1; // everything after the status byte
constexpr std::size_t Record_Body_Size = sizeof(Event_Record) - Record_Body_Offset;

std::int64_t Slot_Offset(std::uint32_t slot)
{
    return static_cast<std::int64_t>(offsetof(Event_Store_Image, Slot) + sizeof(Event_Record) * slot);
}

char* Body(Event_Record& record)
{
    return reinterpret_cast<char*>(&record) + Record_Body_Offset;
}

const char* Body(const Event_Record& record)
{
    return reinterpret_cast<const char*>(&record) + Record_Body_Offset;
}

// Next_Slot is the first member, so the block's start is suitably aligned for it; a reference to
// the packed member itself cannot be formed.
std::atomic_ref<std::uint32_t> Next_Slot_Ref(Event_Store_Image& image)
{
    return std::atomic_ref(*reinterpret_cast<std::uint32_t*>(&image));
}

Event_File_Result Failure(Event_File_Failure failure, int error)
{
    return {failure, error};
}

} // namespace

std::string Event_File_Failure_Text(const Event_File_Result& result)
{
    const char* head = "";
    switch (result.Failure) {
    case Event_File_Failure::None:
        return {};
    case Event_File_Failure::Open:
        head = "File open error. ";
        break;
    case Event_File_Failure::Seek:
        head = "File seek error. ";
        break;
    case Event_File_Failure::Write:
        head = "Disk write error. ";
        break;
    }
    return head + std::string(" Error: ") + std::to_string(result.Error) + ". "
        + System_Error_Text(result.Error);
}

Event_Store::Event_Store(Manual_Reset_Event& store_gate)
    : gate(store_gate)
    , image(std::make_unique<Event_Store_Image>())
    , generation(std::make_unique<std::atomic<std::uint32_t>[]>(Event_Slot_Count))
{ }

std::string Event_Store::Load_Event_File(const std::string& file_path)
{
    path = file_path;
    return Load_Image_File(path, image.get(), sizeof(Event_Store_Image));
}

std::uint32_t Event_Store::Next_Slot() const
{
    return Next_Slot_Ref(*image).load(std::memory_order_acquire);
}

bool Event_Store::Next_Slot_Waiting(std::uint32_t count) const
{
    const std::uint32_t next = Next_Slot();
    for (std::uint32_t i = 0; i < count && i < Event_Slot_Count; ++i) {
        const std::uint32_t slot = (next + i) % Event_Slot_Count;
        const std::uint8_t status = Status(slot);
        if ((status & (Status_Used | Status_Reported)) == Status_Used
            && Fixed_Text(image->Slot[slot].Qualifier_Event) != "NULL")
            return true;
    }
    return false;
}

const Event_Record& Event_Store::Slot(std::uint32_t slot) const
{
    static const Event_Record free_slot {};
    return slot < Event_Slot_Count ? image->Slot[slot] : free_slot;
}

std::uint8_t Event_Store::Status(std::uint32_t slot) const
{
    if (slot >= Event_Slot_Count)
        return 0;
    return Load_Bits(image->Slot[slot].Status);
}

std::uint32_t Event_Store::Generation(std::uint32_t slot) const
{
    if (slot >= Event_Slot_Count)
        return 0;
    return generation[slot].load(std::memory_order_acquire);
}

void Event_Store::Append_Event(const Event_Record& record)
{
    const std::uint32_t slot = Next_Slot() % Event_Slot_Count;
    Event_Record& target = image->Slot[slot];
    std::atomic<std::uint32_t>& slot_generation = generation[slot];
    // Odd generation and status 0 while the body changes: neither a pass nor a late
    // acknowledgement of the event being replaced can take the slot for a finished one. The
    // acquiring read-modify-write keeps the body writes after it.
    const std::uint32_t stable = slot_generation.fetch_add(1, std::memory_order_acquire);
    Store_Bits(target.Status, 0);
    Copy_To_Shared(Body(target), Body(record), Record_Body_Size);
    slot_generation.store(stable + 2, std::memory_order_release);
    Store_Bits(target.Status, Status_Used);

    Next_Slot_Ref(*image).store((slot + 1) % Event_Slot_Count, std::memory_order_release);
}

bool Event_Store::Copy_Event(std::uint32_t slot, Event_Copy& copy) const
{
    if (slot >= Event_Slot_Count)
        return false;
    std::lock_guard lock(file_lock);
    return Copy_Slot(slot, copy);
}

bool Event_Store::Copy_Slot(std::uint32_t slot, Event_Copy& copy) const
{
    const std::uint32_t before = generation[slot].load(std::memory_order_acquire);
    const std::uint8_t status = Status(slot);
    if ((before & 1) != 0 || (status & Status_Used) == 0)
        return false;
    Copy_From_Shared(Body(copy.Record), Body(image->Slot[slot]), Record_Body_Size);
    copy.Record.Status = status;
    copy.Generation = before;
    // A releasing read-modify-write instead of a plain load: it reads the latest generation and
    // keeps the copy before it, so a rewrite that started meanwhile is always noticed.
    return generation[slot].fetch_add(0, std::memory_order_release) == before;
}

Event_File_Result Event_Store::Open_For_Pass(Event_File_Pass& pass) const
{
    if (pass.file.Is_Open())
        return {};
    if (const int error = pass.file.Open_Existing(path, File_Access::Write_Only))
        return Failure(Event_File_Failure::Open, error);
    pass.opened = true;
    return {};
}

bool Event_Store::Mark_Saved_If_Unchanged(std::uint32_t slot, std::uint32_t slot_generation)
{
    std::atomic_ref status(image->Slot[slot].Status);
    std::uint8_t value = status.load(std::memory_order_acquire);
    do {
        if ((value & (Status_Used | Status_Saved)) != Status_Used || Generation(slot) != slot_generation)
            return false;
    } while (!status.compare_exchange_weak(
        value, value | Status_Saved, std::memory_order_acq_rel, std::memory_order_acquire));
    return true;
}

Save_Result Event_Store::Save_New_Events()
{
    Save_Result result;
    Event_File_Pass pass;
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot) {
        if (!gate.Is_Set())
            break;
        if ((Status(slot) & (Status_Used | Status_Saved)) != Status_Used)
            continue;

        std::lock_guard lock(file_lock);
        Event_Copy copy;
        if (!Copy_Slot(slot, copy) || (copy.Record.Status & Status_Saved) != 0)
            continue; // being rewritten right now: the next pass takes it
        if (result.Result = Open_For_Pass(pass); result.Result.Failed())
            break;
        if (const int error = pass.file.Seek(Slot_Offset(slot))) {
            result.Result = Failure(Event_File_Failure::Seek, error);
            break;
        }
        // The file copy carries the status without Status_Saved, which stays a memory-only bit.
        if (const int error = pass.file.Write(&copy.Record, sizeof copy.Record)) {
            result.Result = Failure(Event_File_Failure::Write, error);
            break;
        }
        if (Mark_Saved_If_Unchanged(slot, copy.Generation))
            ++result.Saved;
    }

    if (pass.file.Is_Open() && !result.Result.Failed()) {
        std::lock_guard lock(file_lock);
        const std::uint32_t next_slot = Next_Slot();
        if (const int seek_error = pass.file.Seek(0))
            result.Result = Failure(Event_File_Failure::Seek, seek_error);
        else if (const int write_error = pass.file.Write(&next_slot, sizeof next_slot))
            result.Result = Failure(Event_File_Failure::Write, write_error);
    }
    pass.Close();
    result.File_Opened = pass.File_Opened();
    return result;
}

Event_File_Result Event_Store::Mark_Event_Reported(
    Event_File_Pass& pass, std::uint32_t slot, std::optional<std::uint32_t> sent_generation)
{
    if (slot >= Event_Slot_Count)
        return {};
    std::lock_guard lock(file_lock);
    if (const Event_File_Result opened = Open_For_Pass(pass); opened.Failed())
        return opened;

    std::atomic_ref status(image->Slot[slot].Status);
    std::uint8_t value = status.load(std::memory_order_acquire);
    do {
        // Only a saved event can have been sent; anything else means the slot changed hands.
        if ((value & (Status_Used | Status_Saved)) != (Status_Used | Status_Saved))
            return {};
        if (sent_generation && Generation(slot) != *sent_generation)
            return {};
    } while (!status.compare_exchange_weak(
        value, value | Status_Reported, std::memory_order_acq_rel, std::memory_order_acquire));

    const std::uint8_t reported = value | Status_Reported;
    if (const int error = pass.file.Seek(Slot_Offset(slot))) {
        pass.Close();
        return Failure(Event_File_Failure::Seek, error);
    }
    if (const int error = pass.file.Write(&reported, sizeof reported)) {
        pass.Close();
        return Failure(Event_File_Failure::Write, error);
    }
    return {};
}

bool Event_Store::Clear_Events()
{
    if (!File_Exists(path))
        return false;

    Store_Gate_Fence fence(gate, bulk_change_drain);
    std::lock_guard lock(file_lock);
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot) {
        Event_Record& record = image->Slot[slot];
        generation[slot].fetch_add(2, std::memory_order_acq_rel);
        Store_Bits(record.Status, 0);
        std::memset(Body(record), 0, Record_Body_Size);
    }
    Next_Slot_Ref(*image).store(0, std::memory_order_release);
    // A failure leaves the old content in the file while memory is empty, as nothing reports it.
    Write_Image_Range(path, 0, image.get(), sizeof(Event_Store_Image));
    return true;
}

std::string_view Status_Text(const Event_Record& record)
{
    if (Fixed_Text(record.Qualifier_Event) == "NULL")
        return "Not reportable";
    switch (Load_Bits(record.Status)) {
    case Status_Used | Status_Saved | Status_Reported:
        return "Reported";
    case Status_Used | Status_Saved:
        return "Pending";
    default:
        return "Unknown";
    }
}

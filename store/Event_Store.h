#pragma once

#include "base/Sync_Events.h"
#include "store/Data_File.h"
#include "store/Event_Record.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// How a file operation of the output thread's passes ended. The first failure ends the pass.
enum class Event_File_Failure : std::uint8_t { None, Open, Seek, Write };

struct Event_File_Result
{
    Event_File_Failure Failure = Event_File_Failure::None;
    int Error = 0; // the system's code for the failure

    bool Failed() const { return Failure != Event_File_Failure::None; }
};

// The log line for a failure: "File open error. ", "File seek error. " or "Disk write error. ",
// then " Error: ", the code, ". " and the system's text for the code.
std::string Event_File_Failure_Text(const Event_File_Result& result);

struct Save_Result
{
    Event_File_Result Result;
    bool File_Opened = false; // the file was touched: the event list wants a refresh
    std::uint32_t Saved = 0; // records written in this pass
};

// The event file as one pass of the output thread uses it: opened when the first record needs it,
// at most once, and closed when the pass ends (also when this object goes out of scope).
class Event_File_Pass
{
public:
    Event_File_Pass() = default;
    Event_File_Pass(const Event_File_Pass&) = delete;
    Event_File_Pass& operator=(const Event_File_Pass&) = delete;

    // True once the file has been opened in this pass, even if it is closed again since.
    bool File_Opened() const { return opened; }
    void Close() { file.Close(); }

private:
    friend class Event_Store;
    Data_File file;
    bool opened = false;
};

// A record as the output thread read it, with the generation of its slot at that moment. An
// append to the slot changes the generation, so an answer that arrives for a line made from an
// overwritten slot can be told apart from one for the event now in it.
struct Event_Copy
{
    Event_Record Record;
    std::uint32_t Generation = 0;
};

// The ring of stored events and its file "tarvel.dat". The window thread loads, appends, clears
// and reads for display; the output thread saves, reads for sending and marks reported. There is
// no lock on the ring: a slot is published by its status byte, whole-store changes are fenced by
// the store gate, and the file writes of the two threads are serialised by a private lock.
class Event_Store
{
public:
    explicit Event_Store(Manual_Reset_Event& store_gate);
    Event_Store(const Event_Store&) = delete;
    Event_Store& operator=(const Event_Store&) = delete;

    // Window thread, before the output thread starts and after it ends: what a bulk change waits
    // for after closing the gate (the output thread's line awaiting its answer). Empty: nothing.
    void Set_Bulk_Change_Drain(std::function<void()> drain) { bulk_change_drain = std::move(drain); }

    // Start-up, before the worker threads. Returns the pending message when the file had the
    // wrong size and was created anew, otherwise an empty text.
    std::string Load_Event_File(const std::string& path);
    const std::string& File_Path() const { return path; }

    // Window thread. The record's status is ignored; the slot becomes visible only when complete.
    void Append_Event(const Event_Record& record);

    // Output thread: one pass writing every new record, ended early when the gate closes.
    Save_Result Save_New_Events();

    // Output thread, after the automation software acknowledged the event. With a generation from
    // Copy_Event nothing is marked when the slot has been overwritten since the copy was taken.
    Event_File_Result Mark_Event_Reported(Event_File_Pass& pass, std::uint32_t slot,
        std::optional<std::uint32_t> sent_generation = std::nullopt);

    // Window thread, after the operator confirmed. Does nothing (returns false) when the event
    // file no longer exists.
    bool Clear_Events();

    std::uint32_t Next_Slot() const;
    // Window thread: whether one of the `count` slots the next appends take holds an event the
    // automation software has not acknowledged yet (a link test never waits: it is not reported).
    bool Next_Slot_Waiting(std::uint32_t count = 1) const;
    std::uint8_t Status(std::uint32_t slot) const;
    std::uint32_t Generation(std::uint32_t slot) const;

    // Window thread only: the thread that appends may read the slots directly. Slot numbers come
    // from the windows' grids, so every accessor takes any value: a slot past the ring reads as a
    // free one and changes nothing.
    const Event_Record& Slot(std::uint32_t slot) const;
    const Event_Store_Image& Image() const { return *image; }

    // Output thread: a consistent copy of a used slot; false while the slot is free or being
    // written.
    bool Copy_Event(std::uint32_t slot, Event_Copy& copy) const;

private:
    bool Copy_Slot(std::uint32_t slot, Event_Copy& copy) const;
    Event_File_Result Open_For_Pass(Event_File_Pass& pass) const;
    bool Mark_Saved_If_Unchanged(std::uint32_t slot, std::uint32_t generation);

    Manual_Reset_Event& gate;
    std::function<void()> bulk_change_drain;
    std::string path;
    // One block for the whole life of the store; events are never allocated one by one.
    std::unique_ptr<Event_Store_Image> image;
    // Even while a slot is stable, odd while Append_Event is rewriting it.
    std::unique_ptr<std::atomic<std::uint32_t>[]> generation;
    // Keeps a record or status write of the output thread from landing in the file, or in the
    // block, after Clear_Events has zeroed them: an acknowledgement may arrive after the gate's
    // settle time.
    mutable std::mutex file_lock;
};

// The "Status" column of the event list.
std::string_view Status_Text(const Event_Record& record);

#pragma once

// Helpers shared by the end-to-end suites: settings for a test receiver, reading the data files as
// their record layouts, and bounded polls for what the program writes.

#include "base/Settings_Record.h"
#include "store/Event_Record.h"
#include "store/Fixed_Text.h"
#include "store/Object_Record.h"
#include "tests/support/DC09_Test_Client.h"
#include "tests/support/DC09_Test_Frames.h"
#include "tests/support/Program_Runner.h"

#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

inline Settings_Record Receiver_Settings(
    int aes_mode = 0, const Test_Key& key = {}, int time_synch = 0, int connection_timeout = 30)
{
    Settings_Record settings = Test_Default_Settings();
    settings.DC9_AES_Mode = static_cast<std::uint8_t>(aes_mode);
    std::memcpy(settings.DC9_Encoding_Key, key.data(), key.size());
    settings.Time_Synch = static_cast<std::uint8_t>(time_synch);
    settings.DC9_Conn_Timeout = connection_timeout;
    return settings;
}

// 32 printable key bytes, as an operator types them in text form.
inline Test_Key Test_Key_Bytes(int seed = 0)
{
    Test_Key key {};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>('!' + (seed + 7 * static_cast<int>(i)) % 94);
    return key;
}

inline std::int64_t Now_Seconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

template<typename Record> std::string Record_Bytes(const Record& record)
{
    return {reinterpret_cast<const char*>(&record), sizeof record};
}

// The event file as the ring image; null when it is missing or has the wrong size.
inline std::unique_ptr<Event_Store_Image> Read_Event_Store(const Program_Runner& runner)
{
    const auto bytes = runner.Read_Data_File("tarvel.dat");
    if (!bytes || bytes->size() != sizeof(Event_Store_Image))
        return nullptr;
    auto store = std::make_unique<Event_Store_Image>();
    std::memcpy(store.get(), bytes->data(), sizeof(Event_Store_Image));
    return store;
}

inline std::vector<Object_Record> Read_Object_Table(const Program_Runner& runner)
{
    const auto bytes = runner.Read_Data_File("latevn.dat");
    if (!bytes || bytes->size() != Object_File_Size)
        return {};
    std::vector<Object_Record> table(Object_Count);
    std::memcpy(table.data(), bytes->data(), Object_File_Size);
    return table;
}

inline std::size_t Used_Event_Count(const Event_Store_Image& store)
{
    std::size_t used = 0;
    for (const Event_Record& record : store.Slot)
        used += record.Status != 0 ? 1 : 0;
    return used;
}

inline std::size_t Used_Object_Count(const std::vector<Object_Record>& table)
{
    std::size_t used = 0;
    for (const Object_Record& record : table)
        used += record.Last_Time != 0 ? 1 : 0;
    return used;
}

// Polls the event file until `Next_Slot` reaches `next_slot`; the last image read (may be null).
inline std::unique_ptr<Event_Store_Image> Wait_For_Next_Slot(
    const Program_Runner& runner, std::uint32_t next_slot, int timeout_ms = 3000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        auto store = Read_Event_Store(runner);
        if ((store && store->Next_Slot == next_slot) || std::chrono::steady_clock::now() >= deadline)
            return store;
        QThread::msleep(20);
    }
}

// After the acknowledged message with `account`, the event file holds that event alone, also a
// while later: whatever was sent beside it was never stored.
inline void Expect_Only_Stored_Event(const Program_Runner& runner, std::string_view account)
{
    const auto store = Wait_For_Next_Slot(runner, 1);
    ASSERT_TRUE(store);
    QThread::msleep(300);
    const auto later = Read_Event_Store(runner);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->Next_Slot, 1u);
    EXPECT_EQ(Used_Event_Count(*later), 1u);
    EXPECT_EQ(Fixed_Text(later->Slot[0].Account_Number), account);
}

// Polls the object file until `count` positions are used; the last table read.
inline std::vector<Object_Record> Wait_For_Objects(
    const Program_Runner& runner, std::size_t count, int timeout_ms = 1500)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        auto table = Read_Object_Table(runner);
        if (Used_Object_Count(table) >= count || std::chrono::steady_clock::now() >= deadline)
            return table;
        QThread::msleep(20);
    }
}

struct Expected_Fields
{
    std::string receiver;
    std::string line = "0";
    std::string account = "1234";
    std::string event = "1401";
    std::string group = "01";
    std::string zone = "001";
    std::string address = "127.0.0.1";
    int signal_quality = 255;
};

inline Event_Record Expected_Event(const Expected_Fields& fields, std::int64_t time_received)
{
    Event_Record record {};
    record.Status = Status_Used;
    Set_Fixed_Text(record.Receiver_Number, fields.receiver);
    Set_Fixed_Text(record.Line_Number, fields.line);
    Set_Fixed_Text(record.Account_Number, fields.account);
    Set_Fixed_Text(record.Qualifier_Event, fields.event);
    Set_Fixed_Text(record.Group_Partition, fields.group);
    Set_Fixed_Text(record.Zone_User, fields.zone);
    record.Time_Received = time_received;
    Set_Fixed_Text_Full(record.IP_Address, fields.address);
    record.Signal_Quality = fields.signal_quality;
    return record;
}

inline Object_Record Expected_Object(
    const Expected_Fields& fields, std::int64_t last_time, std::uint32_t ping_timeout)
{
    Object_Record record {};
    record.Last_Time = last_time;
    Set_Fixed_Text(record.Account_Number, fields.account);
    Set_Fixed_Text(record.Receiver_Number, fields.receiver);
    Set_Fixed_Text(record.Line_Number, fields.line);
    Set_Fixed_Text(record.Qualifier_Event, fields.event);
    Set_Fixed_Text(record.Group_Partition, fields.group);
    Set_Fixed_Text(record.Zone_User, fields.zone);
    Set_Fixed_Text_Full(record.IP_Address, fields.address);
    record.Signal_Quality = static_cast<std::uint8_t>(fields.signal_quality);
    record.Ping_Timeout = ping_timeout;
    record.Ping_Countdown = ping_timeout * 60;
    return record;
}

// Byte-exact check of a stored event whose reception time must lie in [earliest, latest].
inline void Expect_Event(
    const Event_Record& actual, const Expected_Fields& fields, std::int64_t earliest, std::int64_t latest)
{
    EXPECT_GE(actual.Time_Received, earliest);
    EXPECT_LE(actual.Time_Received, latest);
    const Event_Record expected = Expected_Event(fields, actual.Time_Received);
    EXPECT_EQ(Hex_Upper(Record_Bytes(actual)), Hex_Upper(Record_Bytes(expected)))
        << "event record of account " << fields.account;
}

// Byte-exact check of an object written at the time of `event`; the countdown is written whole.
inline void Expect_Object(const Object_Record& actual, const Expected_Fields& fields,
    const Event_Record& event, std::uint32_t ping_timeout)
{
    const Object_Record expected = Expected_Object(fields, event.Time_Received, ping_timeout);
    EXPECT_EQ(Hex_Upper(Record_Bytes(actual)), Hex_Upper(Record_Bytes(expected)))
        << "object record of account " << fields.account;
}

// Text of the first log line containing `text`, or empty.
inline std::string Find_Log_Line(const Program_Runner& runner, std::string_view text)
{
    for (const std::string& line : runner.Log_Lines())
        if (line.find(text) != std::string::npos)
            return line;
    return {};
}

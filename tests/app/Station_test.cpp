// The station without any window: start-up, supervision, the raw-traffic gate and the program end,
// in this process, on a core application that has no window system at all.

#include "app/Station.h"
#include "store/Event_Record.h"
#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "store/Object_Record.h"
#include "store/Object_Table.h"
#include "store/Supervision_Timer.h"
#include "tests/support/DC09_Test_Client.h"
#include "tests/support/DC09_Test_Frames.h"
#include "tests/support/Program_Runner.h"
#include "tests/support/Pump_Until.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace {

std::size_t Count_Of(const std::string& text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// An object with a one-minute time-out that reported a moment ago.
std::string Object_File_With_Supervised_Account(const char* account)
{
    std::string file(Object_File_Size, '\0');
    Object_Record record {};
    record.Last_Time = 1765262000;
    Set_Fixed_Text(record.Account_Number, account);
    Set_Fixed_Text(record.Qualifier_Event, "1602");
    record.Signal_Quality = 255;
    record.Ping_Timeout = 1;
    std::memcpy(file.data(), &record, sizeof record);
    return file;
}

class Station_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("HOME", QByteArray::fromStdString(runner.Home()));
        // Each test's own single-instance lock: the station holds it for the life of the process.
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runner.Runtime_Folder()));
        qunsetenv("XDG_DATA_HOME");
        settings = Test_Default_Settings();
        settings.DC9_Port_Enable = 0;
    }

    void TearDown() override
    {
        if (station)
            station->End();
    }

    void Start()
    {
        ASSERT_TRUE(runner.Write_Settings(settings));
        station = std::make_unique<Station>();
        ASSERT_EQ(station->Start(), Station::Start_Result::Started);
    }

    // One frame from a communicator on a thread of its own, while this thread serves the
    // receiver; the reply's token, empty when none came.
    std::string Exchange(const std::string& frame)
    {
        std::string reply;
        std::atomic<bool> done {false};
        std::thread communicator([&] {
            DC09_Test_Client client;
            if (client.Connect(settings.DC9_Port))
                reply = Decode_Reply(client.Exchange(frame)).token;
            done = true;
        });
        Pump_Until([&] { return done.load(); }, 8000);
        communicator.join();
        return reply;
    }

    Program_Runner runner; // for its home and runtime folders and the file helpers; never started
    Settings_Record settings {};
    std::unique_ptr<Station> station;
};

TEST_F(Station_Test, StartsWithoutAWindowSystemAndEndsOnceInItsOrder)
{
    Start();
    EXPECT_EQ(runner.Read_Data_File("tarvel.dat").value_or("").size(), Event_File_Size);
    EXPECT_EQ(runner.Read_Data_File("latevn.dat").value_or("").size(), Object_File_Size);
    auto* countdown = station->Supervision().findChild<QTimer*>(QStringLiteral("Timer_Ping_Update"));
    ASSERT_NE(countdown, nullptr);
    EXPECT_TRUE(countdown->isActive());
    EXPECT_EQ(countdown->interval(), 1000);

    station->End();
    EXPECT_FALSE(countdown->isActive()) << "no countdown may run after the end";
    EXPECT_TRUE(station->Safe_To_Delete());
    station->End();
    const std::string log = runner.Read_Log_Files();
    EXPECT_EQ(Count_Of(log, "Program closed"), 1U) << log;
    ASSERT_GE(log.size(), std::strlen("Program closed\r\n"));
    EXPECT_EQ(log.substr(log.size() - std::strlen("Program closed\r\n")), "Program closed\r\n")
        << "the end is the last line";
}

TEST_F(Station_Test, ASecondStationOfTheSameSessionDoesNotStart)
{
    Start();
    Station second;
    EXPECT_EQ(second.Start(), Station::Start_Result::Already_Running);
    second.End(); // never started: nothing to end, nothing logged
    station->End();
    EXPECT_EQ(Count_Of(runner.Read_Log_Files(), "Program closed"), 1U);
}

TEST_F(Station_Test, SupervisionRunsAndReportsWithoutAnyWindow)
{
    ASSERT_TRUE(runner.Write_Data_File("latevn.dat", Object_File_With_Supervised_Account("4321")));
    Start();
    QSignalSpy changed(station.get(), &Station::Objects_Changed);
    Supervision_Timer& supervision = station->Supervision();
    for (int second = 1; second < 60; ++second)
        supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(station->Objects().Supervision_Flags(0) & Flag_Failed, 0);
    EXPECT_EQ(changed.count(), 0) << "nothing changed yet";
    supervision.Timer_Ping_UpdateTimer(); // the 60th second
    EXPECT_NE(station->Objects().Supervision_Flags(0) & Flag_Failed, 0);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(Station_Test, DeletingAllObjectsHoldsTheCountdownAndSaysSo)
{
    ASSERT_TRUE(runner.Write_Data_File("latevn.dat", Object_File_With_Supervised_Account("4321")));
    Start();
    QSignalSpy changed(station.get(), &Station::Objects_Changed);
    EXPECT_TRUE(station->Supervision().Delete_All_Objects());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(station->Objects().Object(0).Last_Time, 0);
    EXPECT_TRUE(station->Supervision().Active()) << "the countdown goes on after the change";
    EXPECT_EQ(runner.Read_Data_File("latevn.dat").value_or("x"), std::string(Object_File_Size, '\0'));
}

TEST_F(Station_Test, RawTrafficIsMadeOnlyWhileSomebodyShowsIt)
{
    settings.DC9_Port_Enable = 1;
    settings.DC9_Port = static_cast<std::uint16_t>(Pick_Free_Port());
    Start();
    QSignalSpy status(station.get(), &Station::Receiver_Status_Changed);
    QSignalSpy traffic(station.get(), &Station::Raw_Traffic);
    ASSERT_TRUE(Pump_Until(
        [&] {
            return !status.isEmpty()
                && status.last().at(0).toString().startsWith(QStringLiteral("Receiver port is open"));
        },
        5000));
    Test_Message message;
    message.sequence = "0001";
    ASSERT_EQ(Exchange(Build_Clear_Frame(message)), "ACK");
    EXPECT_EQ(traffic.count(), 0);

    station->Set_Raw_Traffic_Wanted(true);
    message.sequence = "0002";
    ASSERT_EQ(Exchange(Build_Clear_Frame(message)), "ACK");
    ASSERT_EQ(traffic.count(), 2) << "an empty line, then the stamped frame";
    EXPECT_TRUE(traffic.at(0).at(0).toString().isEmpty());
    EXPECT_TRUE(traffic.at(1).at(0).toString().contains(QStringLiteral("\"ADM-CID\"0002")));
}

TEST_F(Station_Test, AnEventStoredJustBeforeTheEndIsInTheFile)
{
    Start();
    Event_Record record {};
    record.Status = Status_Used;
    Set_Fixed_Text(record.Account_Number, "7777");
    Set_Fixed_Text(record.Qualifier_Event, "1130");
    record.Time_Received = 1765262000;
    station->Events().Append_Event(record);
    station->End();
    const std::string file = runner.Read_Data_File("tarvel.dat").value_or("");
    ASSERT_EQ(file.size(), Event_File_Size);
    Event_Record saved {};
    std::memcpy(&saved, file.data() + 4, sizeof saved);
    EXPECT_EQ(saved.Status & Status_Used, Status_Used);
    EXPECT_STREQ(saved.Account_Number, "7777");
    EXPECT_EQ(saved.Time_Received, 1765262000);
}

} // namespace

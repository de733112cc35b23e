#include "tests/support/Forwarding_Session.h"

#include "output/Output_Transport.h"
#include "store/Event_Record.h"

#include <QThread>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>

std::string Heartbeat_Text(int receiver_number)
{
    char text[64];
    std::snprintf(text, sizeof text, "1%02d000%11s@%4s", receiver_number, "", "");
    return text;
}

std::string Event_Line_Text(int receiver, int line, std::string_view account, std::string_view event,
    std::string_view group, std::string_view zone)
{
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "5%02d%03d 18", receiver, line);
    std::string text = prefix;
    text.append(account).append(event).append(group).append(zone);
    return text;
}

Test_Message Event_Message(std::string_view account, std::string_view event, std::string_view group,
    std::string_view zone, std::string_view receiver, std::string_view line)
{
    Test_Message message;
    message.receiver = receiver;
    message.line = line;
    message.account = account;
    message.content = "#" + std::string(account) + "|" + std::string(event) + " " + std::string(group) + " "
        + std::string(zone) + "]";
    return message;
}

std::uint8_t Wait_For_Event_Status(
    const Program_Runner& runner, std::uint32_t slot, std::uint8_t status, int timeout_ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    const std::size_t offset = offsetof(Event_Store_Image, Slot) + sizeof(Event_Record) * slot;
    std::uint8_t seen = 0;
    for (;;) {
        const auto bytes = runner.Read_Data_File("tarvel.dat");
        seen = bytes && bytes->size() == Event_File_Size ? static_cast<std::uint8_t>((*bytes)[offset]) : 0;
        if (seen == status || std::chrono::steady_clock::now() >= deadline)
            return seen;
        QThread::msleep(20);
    }
}

std::size_t Count_Log_Lines(const Program_Runner& runner, std::string_view text)
{
    std::size_t count = 0;
    for (const std::string& line : runner.Log_Lines())
        count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
}

Settings_Record Forwarding_Settings(int heartbeat_period)
{
    Settings_Record settings = Test_Default_Settings();
    Set_Transport(settings, Output_Transport::Tcp);
    settings.Mon_Server_Mode = 1;
    settings.Test_Heartbeat_Period = heartbeat_period;
    return settings;
}

bool Forwarding_Session::Start(const Settings_Record& settings)
{
    if (!runner.Start_Receiver(settings)) {
        problem = "the receiver port did not open: " + runner.Standard_Error();
        return false;
    }
    return true;
}

bool Forwarding_Session::Start_Server_Mode(Settings_Record settings, int connections, int timeout_ms)
{
    // The receiver port is picked after ours; on the rare clash both would want the same port.
    for (int attempt = 0; attempt < 3; ++attempt) {
        mon_port = Pick_Free_Port();
        settings.Mon_Port = mon_port;
        settings.Mon_Server_Mode = 1;
        Set_Transport(settings, Output_Transport::Tcp);
        if (!Start(settings))
            return false;
        if (runner.Port() != mon_port)
            break;
        if (!runner.Stop(5000))
            runner.Kill();
    }
    const std::string open
        = "Automation software port " + std::to_string(mon_port) + " is open. Waiting for connection...";
    if (!runner.Wait_For_Log(open, timeout_ms)) {
        problem = "the output port did not open: " + runner.Standard_Error();
        return false;
    }
    for (int i = 0; i < connections; ++i) {
        if (simulator.Connect_Tcp_When_Listening(mon_port, 3000) == 0) {
            problem = "the simulator could not connect to port " + std::to_string(mon_port);
            return false;
        }
    }
    return true;
}

std::string Forwarding_Session::Send_Event(const Test_Message& message)
{
    if (!communicator.Is_Connected() && !communicator.Connect(runner.Port()))
        return "no connection";
    return Decode_Reply(communicator.Exchange(Build_Clear_Frame(message))).token;
}

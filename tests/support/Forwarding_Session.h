#pragma once

// What the forwarding end-to-end tests and the forwarding load tool share: the program under test
// with its receiver port open, a communicator that sends it events, and a simulated automation
// software on the output side, plus the report lines the program is expected to send, written out
// from the line format by hand.

#include "tests/support/Automation_Simulator.h"
#include "tests/support/DC09_Test_Client.h"
#include "tests/support/DC09_Test_Frames.h"
#include "tests/support/Program_Runner.h"

#include <cstdint>
#include <string>
#include <string_view>

// The heartbeat text (without 0x14): "1", the receiver number in at least two digits, "000", eleven
// blanks, "@", four blanks.
std::string Heartbeat_Text(int receiver_number);

// An event line's text (without 0x14): "5", receiver in at least two digits, line in at least three,
// " 18", account, qualifier letter and event code, group, zone.
std::string Event_Line_Text(int receiver, int line, std::string_view account, std::string_view event,
    std::string_view group, std::string_view zone);

// An ADM-CID event from a communicator; `event` is the qualifier digit and code ("1401").
Test_Message Event_Message(std::string_view account, std::string_view event, std::string_view group,
    std::string_view zone, std::string_view receiver = "12", std::string_view line = "3");

// Polls the event file until slot `slot` carries `status`; the last status read (0 when unreadable).
std::uint8_t Wait_For_Event_Status(
    const Program_Runner& runner, std::uint32_t slot, std::uint8_t status, int timeout_ms);

// How many lines of the program's log contain `text`.
std::size_t Count_Log_Lines(const Program_Runner& runner, std::string_view text);

// Receiver settings with the output as a TCP server; the caller picks the rest.
Settings_Record Forwarding_Settings(int heartbeat_period);

struct Forwarding_Session
{
    Program_Runner runner;
    Automation_Simulator simulator;
    DC09_Test_Client communicator;
    int mon_port = 0;
    std::string problem; // why the last start failed

    // Starts the program with the receiver port and `settings` as they are (Mon_Port included).
    bool Start(const Settings_Record& settings);
    // TCP server mode on a free port: starts the program, waits for its output port to open and
    // connects the simulator to it, `connections` times back to back. The first heartbeat follows
    // within about a second.
    bool Start_Server_Mode(Settings_Record settings, int connections = 1, int timeout_ms = 10000);
    // Sends one frame from the communicator (connecting first when needed); the reply's token.
    std::string Send_Event(const Test_Message& message);
};

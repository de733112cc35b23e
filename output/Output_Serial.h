#pragma once

#include "output/Line_Transport.h"
#include "output/Window_Thread_Call.h"

#include <cstdint>
#include <string>

class Comm_Port;
class Log_Writer;
struct Reply_Channel;

// The serial side of the link. The window thread opens and closes the port; the monitoring thread
// writes each line on it, and the answer reaches it through the reply channel, which the serial
// receive thread fills.
class Output_Serial : public Line_Transport
{
public:
    struct Links
    {
        Comm_Port& Port;
        Reply_Channel& Reply;
        Log_Writer& Log;
    };

    // `window_call` takes a write failure's log line to the window thread.
    Output_Serial(Links links, Window_Thread_Call window_call);

    // --- Window thread ---

    bool Is_Open() const;
    // 8 data bits, no parity, one stop bit. Throws ECommError when the port does not open.
    void Open(std::uint32_t baud_rate, const std::string& device_path);
    // Throws ECommError when the system refuses.
    void Close();

    // --- Monitoring thread ---

    // `line` ends with its zero byte. A closed port sends nothing; the answer wait then reports
    // the missing answer.
    Line_Exchange Exchange(const char* line, std::size_t size, bool heartbeat,
        std::chrono::milliseconds answer_wait, std::stop_token stop) override;

private:
    Links links;
    Window_Thread_Call window_call;
};

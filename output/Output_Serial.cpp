#include "output/Output_Serial.h"

#include "base/Log_Writer.h"
#include "output/Comm_Port.h"
#include "output/Link_State.h"

Output_Serial::Output_Serial(Links links_, Window_Thread_Call window_call_)
    : links(links_)
    , window_call(window_call_)
{ }

bool Output_Serial::Is_Open() const
{
    return links.Port.Is_Open();
}

void Output_Serial::Open(std::uint32_t baud_rate, const std::string& device_path)
{
    Comm_Port& port = links.Port;
    port.Set_Baud_Rate(baud_rate);
    port.Set_Byte_Size(8);
    port.Set_Parity(Comm_Parity_None);
    port.Set_Stop_Bits(Comm_One_Stop_Bit);
    port.Set_Port_Name(device_path);
    port.Open();
}

void Output_Serial::Close()
{
    links.Port.Close();
}

Line_Exchange Output_Serial::Exchange(
    const char* line, std::size_t, bool, std::chrono::milliseconds answer_wait, std::stop_token stop)
{
    Comm_Port& port = links.Port;
    if (port.Is_Open()) {
        try {
            port.Write(line);
        } catch (const ECommError& error) {
            const std::string text = "COM port error: " + std::to_string(error.System_Code);
            window_call.Run([this, text] { links.Log.Log_Message(text, Log_Red); }, stop);
        }
    }
    // The serial receive thread delivers the answer.
    return Await_Reply_Channel(links.Reply, answer_wait);
}

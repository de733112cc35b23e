#include "receiver/DC09_Reply.h"

#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Hex.h"
#include "receiver/DC09_Reply_Sources.h"
#include "receiver/DC09_Time.h"
#include "store/Fixed_Text.h"

#include <cstring>

namespace {

// A reply body under construction in fixed storage; anything beyond its capacity is dropped.
class Reply_Body
{
public:
    void Put(std::string_view text)
    {
        const std::size_t room = sizeof text_ - size_;
        const std::size_t count = text.size() < room ? text.size() : room;
        std::memcpy(text_ + size_, text.data(), count);
        size_ += count;
    }

    void Put(char c)
    {
        if (size_ < sizeof text_)
            text_[size_++] = c;
    }

    // At least min_digits digits, leading zeros, as printf's "%0.4d" writes them.
    void Put_Number(std::int64_t value, int min_digits)
    {
        if (value < 0)
            Put('-');
        std::uint64_t magnitude
            = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (count < min_digits)
            digits[count++] = '0';
        while (count > 0)
            Put(digits[--count]);
    }

    std::string_view View() const { return {text_, size_}; }

private:
    char text_[DC09_Max_Body];
    std::size_t size_ = 0;
};

// Keeps the stamp at its fixed 21 characters whatever a clock says: years 0000 to 9999.
constexpr std::int64_t Last_Stamp_Second = 253402300799; // 9999-12-31 23:59:59

// "]_HH:MM:SS,MM-DD-YYYY" of the receiver's current UTC time; the ] closes the data block.
void Put_Time_Stamp(Reply_Body& body)
{
    std::int64_t now = DC09_Current_Reply_Sources().Utc_Seconds();
    now = now < 0 ? 0 : now > Last_Stamp_Second ? Last_Stamp_Second : now;
    const DC09_Civil_Time time = DC09_Civil_From_Seconds(now);
    body.Put("]_");
    body.Put_Number(time.Hour, 2);
    body.Put(':');
    body.Put_Number(time.Minute, 2);
    body.Put(':');
    body.Put_Number(time.Second, 2);
    body.Put(',');
    body.Put_Number(time.Month, 2);
    body.Put('-');
    body.Put_Number(time.Day, 2);
    body.Put('-');
    body.Put_Number(time.Year, 4);
}

// Token, sequence, receiver, line and account of the message, up to and including the [.
void Put_Echo(Reply_Body& body, std::string_view token, const DC09_Frame& frame)
{
    body.Put('"');
    body.Put(token);
    body.Put('"');
    body.Put_Number(frame.Sequence, 4);
    if (frame.Receiver[0] != '\0') {
        body.Put('R');
        body.Put(Fixed_Text(frame.Receiver));
    }
    body.Put('L');
    body.Put(frame.Line[0] != '\0' ? Fixed_Text(frame.Line) : std::string_view("0"));
    body.Put('#');
    body.Put(Fixed_Text(frame.Account));
    body.Put('[');
}

// The pad characters, "|" and the time stamp, enciphered and written as hexadecimal. The pad
// makes whole blocks and, with the random values, stands in for the zero IV.
void Put_Encrypted_Time(Reply_Body& body, std::uint8_t aes_mode, const std::uint8_t* key32)
{
    Reply_Body stamp;
    Put_Time_Stamp(stamp);
    const std::size_t data_size = 1 + stamp.View().size();
    const std::size_t pad_size = DC09_Block_Size - data_size % DC09_Block_Size;
    std::uint8_t plain[4 * DC09_Block_Size];
    static_assert(sizeof plain >= DC09_Block_Size + 1 + 21 + DC09_Block_Size);
    const DC09_Reply_Sources sources = DC09_Current_Reply_Sources();
    for (std::size_t i = 0; i < pad_size; ++i)
        plain[i] = static_cast<std::uint8_t>(sources.Random() % 64 + 16);
    plain[pad_size] = '|';
    std::memcpy(plain + pad_size + 1, stamp.View().data(), stamp.View().size());
    const std::size_t blocks = (pad_size + data_size) / DC09_Block_Size;
    Encrypt_DC09_Data(plain, blocks, aes_mode, key32);
    for (std::size_t i = 0; i < blocks * DC09_Block_Size; ++i) {
        body.Put(DC09_Hex_Digit(plain[i] >> 4));
        body.Put(DC09_Hex_Digit(plain[i]));
    }
}

} // namespace

std::string_view DC09_Reply_Name(DC09_Reply reply)
{
    switch (reply) {
    case DC09_Reply::Ack:
        return "ACK";
    case DC09_Reply::Encrypted_Ack:
        return "*ACK";
    case DC09_Reply::Nak:
        return "NAK";
    case DC09_Reply::Duh:
        return "DUH";
    case DC09_Reply::None:
        break;
    }
    return {};
}

DC09_Reply DC09_Choose_Reply(
    DC09_Outcome outcome, std::uint8_t aes_mode, bool time_synch, bool time_in_window)
{
    switch (outcome) {
    case DC09_Outcome::Unrecognised:
        return DC09_Reply::None;
    case DC09_Outcome::Rejected:
        return DC09_Reply::Duh;
    case DC09_Outcome::Accepted:
        // Clear messages are refused while encryption is on.
        return aes_mode == 0 ? DC09_Reply::Ack : DC09_Reply::Duh;
    case DC09_Outcome::AcceptedEncrypted:
        // With time synchronisation a message stamped outside the window gets the receiver's
        // time, so that the sender can set its clock and send again.
        return time_synch && !time_in_window ? DC09_Reply::Nak : DC09_Reply::Encrypted_Ack;
    }
    return DC09_Reply::None;
}

DC09_Message DC09_Build_Reply(
    DC09_Reply reply, const DC09_Frame& frame, std::uint8_t aes_mode, const std::uint8_t* key32)
{
    Reply_Body body;
    switch (reply) {
    case DC09_Reply::None:
        return DC09_Message {};
    case DC09_Reply::Ack:
    case DC09_Reply::Duh:
        Put_Echo(body, DC09_Reply_Name(reply), frame);
        if (frame.Message_Time != 0)
            Put_Time_Stamp(body);
        else
            body.Put(']');
        break;
    case DC09_Reply::Encrypted_Ack:
        Put_Echo(body, DC09_Reply_Name(reply), frame);
        Put_Encrypted_Time(body, aes_mode, key32);
        break;
    case DC09_Reply::Nak:
        body.Put("\"NAK\"0000R0L0A0[");
        Put_Time_Stamp(body);
        break;
    }
    return DC09_Write_Frame(body.View());
}

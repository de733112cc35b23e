#include "fuzz/DC09_Fuzz_Input.h"
#include "receiver/DC09_Content.h"
#include "receiver/DC09_Parse.h"
#include "receiver/DC09_Reply.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr Fuzz_Key Key;

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

template<std::size_t N> bool Terminated(const char (&field)[N])
{
    return ::strnlen(field, N) < N;
}

bool Is_Upper(char c)
{
    return c >= 'A' && c <= 'Z';
}

// SIA-DCS events only come from an SIA-DCS block, within the limit, each stored field ended
// (the zone may fill its record field, which its one spare byte here still ends).
void Check_Sia_Events(const DC09_Frame& frame, DC09_Outcome outcome)
{
    Require(frame.Sia_Count <= DC09_Sia_Event_Limit, "SIA events within the limit");
    const bool accepted = outcome == DC09_Outcome::Accepted || outcome == DC09_Outcome::AcceptedEncrypted;
    if (!accepted)
        return;
    Require(frame.Sia_Count == 0 || DC09_Is_Sia(frame.Kind), "SIA events only from SIA-DCS");
    for (std::size_t i = 0; i < frame.Sia_Count; ++i) {
        const DC09_Sia_Event& event = frame.Sia_Events[i];
        Require(Terminated(event.Event) && Terminated(event.Group) && Terminated(event.Zone),
            "SIA event fields terminated");
        Require((event.Event[0] == 'N' || event.Event[0] == 'O') && Is_Upper(event.Event[1])
                && Is_Upper(event.Event[2]) && event.Event[3] == '\0',
            "SIA event is a function code and two letters");
    }
}

void Check_Frame(const DC09_Frame& frame, DC09_Outcome outcome)
{
    Require(Terminated(frame.Receiver) && Terminated(frame.Line) && Terminated(frame.Account)
            && Terminated(frame.Event) && Terminated(frame.Group) && Terminated(frame.Zone)
            && Terminated(frame.Extended_Data),
        "text fields zero-terminated inside their widths");
    Require(frame.Sequence >= 0 && frame.Sequence <= 9999, "sequence 0..9999");
    if (outcome == DC09_Outcome::Accepted)
        Require(!DC09_Is_Encrypted(frame.Kind) && frame.Kind != DC09_Kind::None, "clear kind when Accepted");
    if (outcome == DC09_Outcome::AcceptedEncrypted)
        Require(DC09_Is_Encrypted(frame.Kind), "encrypted kind when AcceptedEncrypted");
    Check_Sia_Events(frame, outcome);
}

// Every reply is a well-formed frame whose token the parser does not take as a message.
void Check_Reply(const DC09_Message& reply, DC09_Reply kind)
{
    if (kind == DC09_Reply::None) {
        Require(reply.Size == 0, "no bytes without a reply");
        return;
    }
    Require(reply.Size >= 10 && reply.Size <= 116, "reply size");
    char copy[sizeof reply.Bytes];
    std::memcpy(copy, reply.Bytes, reply.Size);
    DC09_Frame frame;
    Require(DC09_Parse(copy, reply.Size, 0, Key.Bytes, frame) == DC09_Outcome::Rejected,
        "reply frames with a good CRC and length");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Pinned sources keep every finding reproducible.
    DC09_Set_Reply_Sources(
        {[]() -> std::int64_t { return 1711029909; }, []() -> std::uint32_t { return 7; }});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t aes_mode = Fuzz_Aes_Mode(data[0]);
    const bool time_synch = Fuzz_Time_Synch(data[0]);
    const std::size_t length = size - 1;
    // Exactly the read's bytes on the heap and no terminator after them: the parser is meant to
    // stay inside [text, text + length), and AddressSanitizer reports any byte beyond.
    const std::unique_ptr<char[]> text(new char[length]);
    std::memcpy(text.get(), data + 1, length);

    DC09_Frame frame;
    const DC09_Outcome outcome = DC09_Parse(text.get(), length, aes_mode, Key.Bytes, frame);
    Check_Frame(frame, outcome);

    const DC09_Extended_Values values = DC09_Read_Extended(frame);
    Require(Terminated(values.Signal_Quality) && Terminated(values.IP_Address), "extended values terminated");

    const DC09_Reply reply = DC09_Choose_Reply(outcome, aes_mode, time_synch);
    Check_Reply(DC09_Build_Reply(reply, frame, aes_mode, Key.Bytes), reply);
    return 0;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// One piece of a connection's byte stream, as the framer cuts it.
struct DC09_Stream_Piece
{
    enum class Kind : std::uint8_t {
        Frame, // line feed up to the carriage return at the length its header gives
        Garbage // bytes that belong to no frame: dropped
    };
    Kind What;
    char* Bytes; // valid until the next call on the framer; a frame may be parsed in place
    std::size_t Size;
};

// Where a scan of contiguous stream bytes stops.
struct DC09_Stream_Cut
{
    enum class Kind : std::uint8_t {
        Frame, // [Begin, End) is a whole frame
        Garbage, // [Begin, End) is dropped
        Partial, // a frame starts at Begin and needs more bytes than there are
        End // nothing is left
    };
    Kind What;
    std::size_t Begin;
    std::size_t End;
};

// The next piece of text[from, size). Bytes before a line feed are garbage, and so is a line feed
// whose header can never make a frame (CRC and length fields that are not hexadecimal, a carriage
// return missing where the length says). A start of frame that needs more bytes is Partial when
// the whole frame would fit in partial_limit bytes, else garbage. The CRC and what lies inside the
// frame are left to the parse.
DC09_Stream_Cut DC09_Next_Cut(
    const char* text, std::size_t size, std::size_t from, std::size_t partial_limit);

// Cuts one connection's byte stream into frames. A read normally goes into the port's shared read
// buffer and its frames are handed out from there, so a frame that arrives whole costs no copy; only
// the start of a frame that a read cut off is kept, in this connection's own bounded buffer, and the
// next read is appended behind it. Nothing is allocated per frame: the buffer is taken once, when
// the connection first leaves a frame unfinished.
class DC09_Stream_Framer
{
public:
    // The longest frame that is waited for across reads. Frames are a few hundred bytes; a frame
    // that arrives whole in one read is taken at any length the read holds.
    static constexpr std::size_t Pending_Limit = 4096;

    // Where the next read goes and how much it may bring: the shared buffer while nothing waits,
    // else the room behind the waiting bytes.
    char* Read_Target(char* shared, std::size_t shared_size, std::size_t& room);
    // The read's bytes, which lie at the Read_Target given for it.
    void Received(char* bytes, std::size_t size);
    // The next piece of the received bytes; false once they are all handed out. What is left then
    // is a frame's start, which is kept for the next read.
    bool Next(DC09_Stream_Piece& piece);

    std::size_t Pending_Size() const { return pending_size; }

private:
    void Keep(const char* bytes, std::size_t size);

    std::unique_ptr<char[]> pending;
    std::size_t pending_size = 0;
    char* span = nullptr; // the bytes being cut: the shared buffer or `pending`
    std::size_t span_size = 0;
    std::size_t span_at = 0;
};

#include "receiver/DC09_Stream_Framer.h"

#include "receiver/DC09_Hex.h"

#include <cstring>

namespace {

constexpr std::size_t Field_Size = 8; // CRC and length, four hexadecimal digits each

const char* Find(const char* from, const char* end, char wanted)
{
    return static_cast<const char*>(std::memchr(from, wanted, static_cast<std::size_t>(end - from)));
}

} // namespace

DC09_Stream_Cut DC09_Next_Cut(const char* text, std::size_t size, std::size_t from, std::size_t partial_limit)
{
    using Kind = DC09_Stream_Cut::Kind;
    if (from >= size)
        return {Kind::End, size, size};
    const char* const end = text + size;
    const char* const line_feed = Find(text + from, end, '\n');
    if (line_feed == nullptr)
        return {Kind::Garbage, from, size};
    const std::size_t begin = static_cast<std::size_t>(line_feed - text);
    if (begin > from)
        return {Kind::Garbage, from, begin};

    // From here on a failure drops this line feed only: a frame may start at the next one.
    const DC09_Stream_Cut not_a_frame {Kind::Garbage, begin, begin + 1};
    const DC09_Stream_Cut partial {Kind::Partial, begin, size};
    const char* const fields = line_feed + 1;
    const std::size_t have = static_cast<std::size_t>(end - fields);
    unsigned length = 0;
    for (std::size_t i = 0; i < Field_Size; ++i) {
        if (i == have)
            return Field_Size + 2 <= partial_limit ? partial : not_a_frame;
        const int digit = DC09_Hex_Value_Any_Case(fields[i]);
        if (digit < 0)
            return not_a_frame;
        if (i >= 4)
            length = length * 16 + static_cast<unsigned>(digit);
    }
    // The quote is looked for no further than a kept frame could reach, so a read full of line
    // feeds costs a bounded search per line feed, never a search to the end of the read each.
    const bool may_wait = size - begin < partial_limit;
    const char* const quote = Find(fields + Field_Size, may_wait ? end : line_feed + partial_limit, '"');
    if (quote == nullptr)
        return may_wait ? partial : not_a_frame;
    const std::size_t frame_size = static_cast<std::size_t>(quote - line_feed) + length + 1;
    if (frame_size > size - begin)
        return frame_size <= partial_limit ? partial : not_a_frame;
    if (quote[length] != '\r')
        return not_a_frame;
    return {Kind::Frame, begin, begin + frame_size};
}

char* DC09_Stream_Framer::Read_Target(char* shared, std::size_t shared_size, std::size_t& room)
{
    if (pending_size == 0) {
        room = shared_size;
        return shared;
    }
    room = Pending_Limit - pending_size;
    return pending.get() + pending_size;
}

void DC09_Stream_Framer::Received(char* bytes, std::size_t size)
{
    if (pending_size == 0) {
        span = bytes;
        span_size = size;
    } else {
        // The read was appended behind the waiting bytes.
        span = pending.get();
        span_size = pending_size + size;
        pending_size = 0;
    }
    span_at = 0;
}

bool DC09_Stream_Framer::Next(DC09_Stream_Piece& piece)
{
    if (span == nullptr)
        return false;
    const DC09_Stream_Cut cut = DC09_Next_Cut(span, span_size, span_at, Pending_Limit);
    switch (cut.What) {
    case DC09_Stream_Cut::Kind::Frame:
    case DC09_Stream_Cut::Kind::Garbage:
        piece.What = cut.What == DC09_Stream_Cut::Kind::Frame ? DC09_Stream_Piece::Kind::Frame
                                                              : DC09_Stream_Piece::Kind::Garbage;
        piece.Bytes = span + cut.Begin;
        piece.Size = cut.End - cut.Begin;
        span_at = cut.End;
        return true;
    case DC09_Stream_Cut::Kind::Partial:
        Keep(span + cut.Begin, cut.End - cut.Begin);
        break;
    case DC09_Stream_Cut::Kind::End:
        break;
    }
    span = nullptr;
    return false;
}

void DC09_Stream_Framer::Keep(const char* bytes, std::size_t size)
{
    if (!pending)
        pending = std::make_unique<char[]>(Pending_Limit);
    // memmove: when the span is the pending buffer itself the kept bytes may overlap their place.
    std::memmove(pending.get(), bytes, size);
    pending_size = size;
}

// Fuzz target for the per-connection framer: the input (after two seed bytes) is a connection's byte
// stream, fed in reads cut at random places. Checks that the pieces handed out are the stream's
// bytes in order with nothing lost or repeated, that each frame is framed as its header says, that
// the waiting bytes stay under the bound, and that the cuts change nothing as long as no frame is
// longer than what is waited for.

#include "receiver/DC09_Stream_Framer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

struct Run
{
    std::vector<std::string> frames;
    bool long_frame = false; // a frame longer than the wait bound was taken whole from one read
};

// Feeds the stream in reads of the sizes `next_size` gives; checks every piece against the stream.
template<class Next_Size> Run Feed(const std::string& stream, Next_Size next_size)
{
    Run run;
    DC09_Stream_Framer framer;
    std::vector<char> shared(65536);
    std::size_t fed = 0; // stream bytes given to the framer
    std::size_t handed = 0; // stream bytes handed out as pieces
    while (fed < stream.size()) {
        std::size_t room = 0;
        char* target = framer.Read_Target(shared.data(), shared.size(), room);
        Require(room > 0, "room for the next read");
        const std::size_t size = std::min({room, stream.size() - fed, next_size()});
        std::memcpy(target, stream.data() + fed, size);
        fed += size;
        framer.Received(target, size);
        DC09_Stream_Piece piece;
        while (framer.Next(piece)) {
            Require(piece.Size > 0, "no empty piece");
            Require(handed + piece.Size <= fed, "no piece beyond what was read");
            Require(std::memcmp(piece.Bytes, stream.data() + handed, piece.Size) == 0,
                "pieces are the stream in order");
            handed += piece.Size;
            if (piece.What != DC09_Stream_Piece::Kind::Frame)
                continue;
            Require(
                piece.Bytes[0] == '\n' && piece.Bytes[piece.Size - 1] == '\r', "a frame runs from LF to CR");
            run.frames.emplace_back(piece.Bytes, piece.Size);
            run.long_frame = run.long_frame || piece.Size > DC09_Stream_Framer::Pending_Limit;
        }
        Require(framer.Pending_Size() < DC09_Stream_Framer::Pending_Limit, "waiting bytes bounded");
        Require(handed + framer.Pending_Size() == fed, "every byte read is handed out or waiting");
    }
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::uint32_t state = static_cast<std::uint32_t>(data[0]) << 8 | data[1];
    const std::string stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const Run whole = Feed(stream, [] { return std::size_t {65536}; });
    const Run cut = Feed(stream, [&state] {
        state = state * 1103515245u + 12345u;
        return std::size_t {1} + (state >> 16) % 64;
    });
    if (!whole.long_frame)
        Require(whole.frames == cut.frames, "the same frames however the reads are cut");
    return 0;
}

// The per-connection framer: whole frames out of a byte stream however the reads cut it.

#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Stream_Framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dc09_test;

namespace {

const std::string Worked_Example = Wrap_Frame(Worked_Example_Body);

std::string Second_Frame()
{
    std::string body(Worked_Example_Body);
    body.replace(body.find("0001"), 4, "0002");
    return Wrap_Frame(body);
}

// A connection's stream fed read by read, as the port feeds it: each read lands where the framer
// asks, in a shared buffer of the given size or behind its waiting bytes.
class Stream
{
public:
    explicit Stream(std::size_t shared_size = 65536)
        : shared(shared_size)
    { }

    // Feeds `bytes` as reads of at most what the framer has room for; "F:" + frame for each frame,
    // "G:" + byte count for each piece of garbage.
    std::vector<std::string> Read(const std::string& bytes)
    {
        std::vector<std::string> pieces;
        std::size_t at = 0;
        while (at < bytes.size()) {
            std::size_t room = 0;
            char* target = framer.Read_Target(shared.data(), shared.size(), room);
            if (room == 0) {
                ADD_FAILURE() << "no room for the next read";
                break;
            }
            const std::size_t size = std::min(room, bytes.size() - at);
            std::copy_n(bytes.data() + at, size, target);
            at += size;
            framer.Received(target, size);
            DC09_Stream_Piece piece;
            while (framer.Next(piece)) {
                if (piece.What == DC09_Stream_Piece::Kind::Frame)
                    pieces.push_back("F:" + std::string(piece.Bytes, piece.Size));
                else
                    pieces.push_back("G:" + std::to_string(piece.Size));
            }
        }
        return pieces;
    }

    DC09_Stream_Framer framer;

private:
    std::vector<char> shared;
};

using Pieces = std::vector<std::string>;

} // namespace

TEST(DC09_Stream_Framer, WholeFrameInOneReadIsHandedOutAsItCame)
{
    Stream stream;
    EXPECT_EQ(stream.Read(Worked_Example), Pieces({"F:" + Worked_Example}));
    EXPECT_EQ(stream.framer.Pending_Size(), 0u);
}

TEST(DC09_Stream_Framer, FrameCutAnywhereIsHandedOutOnceWhole)
{
    for (std::size_t cut = 1; cut < Worked_Example.size(); ++cut) {
        Stream stream;
        EXPECT_EQ(stream.Read(Worked_Example.substr(0, cut)), Pieces()) << "cut " << cut;
        EXPECT_EQ(stream.framer.Pending_Size(), cut);
        EXPECT_EQ(stream.Read(Worked_Example.substr(cut)), Pieces({"F:" + Worked_Example})) << "cut " << cut;
        EXPECT_EQ(stream.framer.Pending_Size(), 0u);
    }
}

TEST(DC09_Stream_Framer, SeveralFramesInOneReadComeOutInOrder)
{
    Stream stream;
    const std::string second = Second_Frame();
    EXPECT_EQ(stream.Read(Worked_Example + second + Worked_Example),
        Pieces({"F:" + Worked_Example, "F:" + second, "F:" + Worked_Example}));
}

TEST(DC09_Stream_Framer, BytesBeforeALineFeedAreGarbage)
{
    Stream stream;
    EXPECT_EQ(
        stream.Read("noise\r\"" + Worked_Example + "tail"), Pieces({"G:7", "F:" + Worked_Example, "G:4"}));
    EXPECT_EQ(stream.framer.Pending_Size(), 0u) << "bytes with no line feed are not kept";
}

TEST(DC09_Stream_Framer, LineFeedThatStartsNoFrameIsDroppedAlone)
{
    // Fields that are no hexadecimal digits, a carriage return missing where the length says: the
    // frame behind them is still found.
    std::string wrong_length = Worked_Example;
    wrong_length[8] = '6';
    for (const std::string& before : {std::string("\nXYZ"), std::string("\n\n"), wrong_length}) {
        Stream stream;
        const Pieces pieces = stream.Read(before + Worked_Example);
        ASSERT_FALSE(pieces.empty());
        EXPECT_EQ(pieces.back(), "F:" + Worked_Example) << before;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
            EXPECT_EQ(pieces[i].substr(0, 2), "G:") << before;
    }
}

TEST(DC09_Stream_Framer, LengthBeyondTheEndWaitsForTheRest)
{
    // One more character than the frame holds: the frame waits, and the next read decides.
    std::string too_long = Worked_Example;
    too_long[8] = '8';
    Stream stream;
    EXPECT_EQ(stream.Read(too_long), Pieces());
    const Pieces pieces = stream.Read(Worked_Example);
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces.back(), "F:" + Worked_Example);
}

TEST(DC09_Stream_Framer, WaitingBytesAreBounded)
{
    // A header that promises more than a frame can hold is garbage at once; a start of frame that
    // never finds its quote is dropped once it would fill the buffer.
    Stream stream;
    EXPECT_EQ(stream.Read("\n0000FFFF\"ADM-CID\""), Pieces({"G:1", "G:17"}));
    EXPECT_EQ(stream.framer.Pending_Size(), 0u);
    Stream endless;
    std::size_t dropped = 0;
    for (int i = 0; i < 100; ++i) {
        for (const std::string& piece : endless.Read("\n00000000" + std::string(200, 'x'))) {
            ASSERT_EQ(piece.substr(0, 2), "G:");
            dropped += std::stoul(piece.substr(2));
        }
        ASSERT_LT(endless.framer.Pending_Size(), DC09_Stream_Framer::Pending_Limit);
    }
    EXPECT_GT(dropped, 100u * 209u - DC09_Stream_Framer::Pending_Limit);
    EXPECT_EQ(endless.Read(Worked_Example).back(), "F:" + Worked_Example);
}

TEST(DC09_Stream_Framer, LongFrameIsTakenWholeFromOneReadAndWaitedForUpToTheLimit)
{
    const std::string long_frame = Wrap_Frame(std::string(Worked_Example_Body) + std::string(3000, '['));
    Stream whole;
    EXPECT_EQ(whole.Read(long_frame), Pieces({"F:" + long_frame}));
    Stream cut;
    EXPECT_EQ(cut.Read(long_frame.substr(0, 100)), Pieces());
    EXPECT_EQ(cut.Read(long_frame.substr(100)), Pieces({"F:" + long_frame}));
    const std::string too_long = Wrap_Frame(std::string(Worked_Example_Body) + std::string(5000, '['));
    Stream refused;
    const Pieces pieces = refused.Read(too_long.substr(0, 100));
    EXPECT_EQ(refused.framer.Pending_Size(), 0u) << "a frame that cannot be held is not waited for";
    EXPECT_FALSE(pieces.empty());
}

TEST(DC09_Stream_Framer, ByteByByteStreamOfFramesAndNoise)
{
    const std::string stream_bytes = "junk" + Worked_Example + "\n\"" + Second_Frame() + Worked_Example;
    Stream stream;
    Pieces frames;
    for (const char c : stream_bytes)
        for (const std::string& piece : stream.Read(std::string(1, c)))
            if (piece.starts_with("F:"))
                frames.push_back(piece);
    EXPECT_EQ(frames, Pieces({"F:" + Worked_Example, "F:" + Second_Frame(), "F:" + Worked_Example}));
}

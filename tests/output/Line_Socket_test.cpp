#include "output/Line_Socket.h"

#include "base/Sync_Events.h"
#include "output/Link_State.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Wait_End = Line_Socket::Wait_End;

// A connected TCP pair on 127.0.0.1: `ours` goes to the Line_Socket, `peer` plays the automation
// software with plain blocking calls.
class Line_Socket_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(listener, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener, 1), 0);
        ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
        peer = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ours = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        ASSERT_GE(ours, 0);
        socket = Line_Socket::Adopt(ours);
        ASSERT_TRUE(socket);
    }

    void TearDown() override
    {
        if (peer >= 0)
            ::close(peer);
    }

    void Peer_Writes(const std::string& bytes) const
    {
        ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }

    // What the peer has received so far (waits up to a second for the first byte).
    std::string Peer_Reads() const
    {
        std::string got;
        pollfd readable {peer, POLLIN, 0};
        while (::poll(&readable, 1, got.empty() ? 1000 : 50) == 1) {
            char buffer[4096];
            const ssize_t size = ::recv(peer, buffer, sizeof buffer, 0);
            if (size <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(size));
        }
        return got;
    }

    int ours = -1;
    int peer = -1;
    std::shared_ptr<Line_Socket> socket;
    Manual_Reset_Event interrupt;
};

TEST_F(Line_Socket_Test, OnlyTheFirstByteOfAReadAnswersAndTheRestIsDropped)
{
    ASSERT_TRUE(socket->Send("line\x14", 5, 1000ms));
    EXPECT_EQ(Peer_Reads(), "line\x14");

    // A read that starts with neither ACK nor NAK is no answer: the wait goes on.
    std::uint8_t answer = 0;
    std::thread answering([this] {
        Peer_Writes("?");
        std::this_thread::sleep_for(100ms);
        Peer_Writes(std::string {char(Answer_NAK), char(Answer_ACK), 'x'});
    });
    EXPECT_EQ(socket->Await_Answer(3000ms, interrupt, answer), Wait_End::Answer);
    answering.join();
    EXPECT_EQ(answer, Answer_NAK);

    // The ACK behind the NAK went with its read: the next line hears nothing.
    ASSERT_TRUE(socket->Discard_Unasked());
    EXPECT_EQ(socket->Await_Answer(200ms, interrupt, answer), Wait_End::Silence);
}

TEST_F(Line_Socket_Test, BytesSentUnaskedNeverAnswerTheNextLine)
{
    Peer_Writes(std::string(3, char(Answer_ACK)));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(socket->Discard_Unasked());
    ASSERT_TRUE(socket->Send("line\x14", 5, 1000ms));
    std::uint8_t answer = 0;
    EXPECT_EQ(socket->Await_Answer(200ms, interrupt, answer), Wait_End::Silence);
}

TEST_F(Line_Socket_Test, ClosedPeerIsNoConnectionAndStaysSilent)
{
    int error = -1;
    EXPECT_EQ(socket->Look(error), Line_Socket::Health::Open);
    ::close(peer);
    peer = -1;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(socket->Look(error), Line_Socket::Health::Closed_By_Peer);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(socket->Discard_Unasked());
    EXPECT_TRUE(socket->Peer_Gone());
    std::uint8_t answer = 0;
    EXPECT_EQ(socket->Await_Answer(200ms, interrupt, answer), Wait_End::Silence);
}

TEST_F(Line_Socket_Test, SettingTheReplyChannelEndsTheWait)
{
    std::thread program_end([this] {
        std::this_thread::sleep_for(100ms);
        interrupt.Set();
    });
    std::uint8_t answer = 0;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(socket->Await_Answer(10000ms, interrupt, answer), Wait_End::Given_Up);
    program_end.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5000ms);
}

TEST_F(Line_Socket_Test, ConnectionLetGoByTheWindowThreadEndsTheWait)
{
    std::thread window_thread([this] {
        std::this_thread::sleep_for(100ms);
        socket->Drop();
    });
    std::uint8_t answer = 0;
    EXPECT_EQ(socket->Await_Answer(10000ms, interrupt, answer), Wait_End::Given_Up);
    window_thread.join();
}

TEST_F(Line_Socket_Test, PeerThatReadsNothingEndsTheWriteAtTheRoomWait)
{
    // Far more than the two sockets' buffers hold.
    const std::vector<char> flood(64 << 20, 'x');
    EXPECT_FALSE(socket->Send(flood.data(), flood.size(), 200ms));
    socket->Drop();
    EXPECT_FALSE(socket->Send("line\x14", 5, 1000ms)) << "a dropped connection takes no line";
}

TEST_F(Line_Socket_Test, DuplicateOutlivesTheOriginalAndClosesWithItsLastHolder)
{
    std::shared_ptr<Line_Socket> copy = Line_Socket::Duplicate(ours);
    ASSERT_TRUE(copy);
    socket.reset(); // closes the original descriptor
    ASSERT_TRUE(copy->Send("kept\x14", 5, 1000ms));
    EXPECT_EQ(Peer_Reads(), "kept\x14");

    copy.reset();
    char byte = 0;
    pollfd readable {peer, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 1000), 1);
    EXPECT_EQ(::recv(peer, &byte, 1, 0), 0) << "the peer sees the end once the last holder let go";
}

} // namespace

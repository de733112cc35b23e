#include "DC09_Codec_Test_Util.h"

#include "receiver/Account_Choice.h"
#include "receiver/DC09_Content.h"
#include "receiver/DC09_Parse.h"
#include "receiver/DC09_Reply.h"
#include "receiver/DC09_Stream_Framer.h"

#include <gtest/gtest.h>
#include <openssl/crypto.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace dc09_test;

// Every heap allocation of this program is counted: C++ ones through the replaced operator new,
// the crypto library's through its allocator hooks, which must be installed before its first use.
namespace {

std::atomic<long> New_Calls {0};
std::atomic<long> Crypto_Allocations {0};

void* Counting_Malloc(std::size_t size, const char*, int)
{
    ++Crypto_Allocations;
    return std::malloc(size);
}

void* Counting_Realloc(void* block, std::size_t size, const char*, int)
{
    ++Crypto_Allocations;
    return std::realloc(block, size);
}

void Plain_Free(void* block, const char*, int)
{
    std::free(block);
}

const bool Crypto_Counted = CRYPTO_set_mem_functions(Counting_Malloc, Counting_Realloc, Plain_Free) == 1;

} // namespace

void* operator new(std::size_t size)
{
    ++New_Calls;
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace {

struct Message
{
    std::string Frame;
    std::uint8_t Mode;
    Key Cipher_Key;
};

// One read as the receiver port handles it, in a fixed buffer.
void Handle(const Message& message)
{
    char buffer[512];
    std::memcpy(buffer, message.Frame.data(), message.Frame.size());
    DC09_Frame frame;
    const DC09_Outcome outcome
        = DC09_Parse(buffer, message.Frame.size(), message.Mode, message.Cipher_Key.data(), frame);
    const DC09_Extended_Values values = DC09_Read_Extended(frame);
    const DC09_Message reply = DC09_Build_Reply(
        DC09_Choose_Reply(outcome, message.Mode, false), frame, message.Mode, message.Cipher_Key.data());
    ASSERT_NE(reply.Size, 0u);
    ASSERT_EQ(values.Signal_Quality[0], '1');
}

} // namespace

TEST(DC09_Allocation, WarmThreadHandlesMessagesWithoutAllocating)
{
    ASSERT_TRUE(Crypto_Counted) << "the crypto library allocated before its hooks were installed";
    Key other_key = Counting_Key();
    other_key[0] = 0xA5;
    const std::string data = "#1234|1401 01 001][Q18]_14:05:09,03-21-2024";
    std::vector<Message> messages {{Wrap_Frame("\"ADM-CID\"0001L0#1234[" + data), 0, Counting_Key()}};
    for (const std::uint8_t mode : {0, 1, 2, 3})
        messages.push_back(
            {Encrypted_Frame("\"*ADM-CID\"0002L0#1234[", data, mode, Counting_Key()), mode, Counting_Key()});
    // SIA-DCS blocks with several events, clear and encrypted, and lower-case hexadecimal.
    const std::string sia = "#12ab|Nri1/BA01/BR01/ti10:21/id5/OP][Q18]";
    messages.push_back({Wrap_Frame("\"SIA-DCS\"0004L0#12AB[" + sia), 0, Counting_Key()});
    messages.push_back(
        {Encrypted_Frame("\"*SIA-DCS\"0005L0#12ab[", sia, 3, Counting_Key()), 3, Counting_Key()});
    // A key change between messages re-keys the thread's context in place.
    messages.push_back({Encrypted_Frame("\"*ADM-CID\"0003L0#1234[", data, 3, other_key), 3, other_key});
    for (const Message& message : messages)
        Handle(message);

    const long new_before = New_Calls;
    const long crypto_before = Crypto_Allocations;
    for (int round = 0; round < 20; ++round)
        for (const Message& message : messages)
            Handle(message);
    EXPECT_EQ(New_Calls - new_before, 0);
    EXPECT_EQ(Crypto_Allocations - crypto_before, 0);
}

// A connection's framer takes its buffer for cut-off frames once; after that whole, packed and cut
// frames, and garbage, cost no allocation.
TEST(DC09_Allocation, FramerAllocatesItsBufferOnceAndThenNothing)
{
    const std::string frame = Wrap_Frame(Worked_Example_Body);
    const std::string stream = "noise" + frame + frame + frame.substr(0, 20);
    const std::string rest = frame.substr(20);
    std::vector<char> shared(65536);
    DC09_Stream_Framer framer;
    std::size_t frames = 0;
    const auto feed = [&](const std::string& bytes) {
        std::size_t room = 0;
        char* target = framer.Read_Target(shared.data(), shared.size(), room);
        ASSERT_GE(room, bytes.size());
        std::memcpy(target, bytes.data(), bytes.size());
        framer.Received(target, bytes.size());
        DC09_Stream_Piece piece;
        while (framer.Next(piece))
            frames += piece.What == DC09_Stream_Piece::Kind::Frame ? 1 : 0;
    };
    feed(stream);
    feed(rest);
    const long new_before = New_Calls;
    for (int round = 0; round < 20; ++round) {
        feed(stream);
        feed(rest);
    }
    EXPECT_EQ(New_Calls - new_before, 0);
    EXPECT_EQ(frames, 21u * 3u);
}

// The account look-up of every message (10,000 rows, the "*" row, the settings) costs nothing on
// the heap either.
TEST(DC09_Allocation, AccountLookUpAllocatesNothing)
{
    std::vector<Account_Row> rows(10000);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_TRUE(Store_Account(std::to_string(100000 + i), rows[i]));
        rows[i].Mode = Account_Mode::Aes256;
        std::memcpy(rows[i].Key, Counting_Key().data(), 32);
    }
    const Account_Table table(rows);
    const std::string data = "#1234|1401 01 001]";
    const std::vector<std::string> frames {
        Encrypted_Frame("\"*ADM-CID\"0001L0#105000[", data, 3, Counting_Key()),
        Wrap_Frame("\"ADM-CID\"0002L0#105001[" + data), Wrap_Frame("\"ADM-CID\"0003L0#ABCD[" + data)};
    const auto handle_all = [&] {
        for (const std::string& text : frames) {
            char buffer[512];
            std::memcpy(buffer, text.data(), text.size());
            Account_Choice choice(&table, 0, Counting_Key().data());
            DC09_Frame frame;
            const DC09_Outcome outcome = DC09_Parse(buffer, text.size(), choice.Chooser(), frame);
            const DC09_Reply reply = DC09_Choose_Reply(outcome, choice.Aes_Mode, false);
            ASSERT_NE(DC09_Build_Reply(reply, frame, choice.Aes_Mode, choice.Key32).Size, 0u);
        }
    };
    handle_all();
    const long new_before = New_Calls;
    const long crypto_before = Crypto_Allocations;
    for (int round = 0; round < 20; ++round)
        handle_all();
    EXPECT_EQ(New_Calls - new_before, 0);
    EXPECT_EQ(Crypto_Allocations - crypto_before, 0);
}

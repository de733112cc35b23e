// One received message through the codec as the receiver port handles it: parse, choose the
// reply, build it. The parse works in place, so every iteration first copies the frame into the
// work buffer; Copy_Only measures that copy alone.

#include "receiver/Account_Choice.h"
#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Crc16.h"
#include "receiver/DC09_Parse.h"
#include "receiver/DC09_Reply.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t Key[32]
    = {0x60, 0x3D, 0xEB, 0x10, 0x15, 0xCA, 0x71, 0xBE, 0x2B, 0x73, 0xAE, 0xF0, 0x85, 0x7D, 0x77, 0x81, 0x1F,
        0x35, 0x2C, 0x07, 0x3B, 0x61, 0x08, 0xD7, 0x2D, 0x98, 0x10, 0xA3, 0x09, 0x14, 0xDF, 0xF4};

const std::string Worked_Example_Body = "\"ADM-CID\"0001L0#1234[#1234|1401 01 001]";

std::string Clear_Frame(const std::string& body)
{
    char fields[16];
    std::snprintf(fields, sizeof fields, "\n%04X%04X", DC09_Crc16(body.data(), body.size()),
        static_cast<unsigned>(body.size()));
    return fields + body + '\r';
}

// "*ADM-CID" written the way a communicator would, with the codec's own cipher and framing.
std::string Encrypted_Frame(std::uint8_t aes_mode)
{
    const std::string data = "|#1234|1401 01 001]";
    std::string plain(16 - data.size() % 16, '\x2A');
    plain += data;
    Encrypt_DC09_Data(reinterpret_cast<std::uint8_t*>(plain.data()), plain.size() / 16, aes_mode, Key);
    std::string body = "\"*ADM-CID\"0001L0#1234[";
    for (const unsigned char byte : plain) {
        body += "0123456789ABCDEF"[byte >> 4];
        body += "0123456789ABCDEF"[byte & 15];
    }
    return std::string(DC09_Write_Frame(body).View());
}

void Handle_Message(benchmark::State& state, const std::string& frame, std::uint8_t aes_mode)
{
    char work[256];
    DC09_Frame parsed;
    std::memcpy(work, frame.data(), frame.size());
    const DC09_Outcome expected = DC09_Parse(work, frame.size(), aes_mode, Key, parsed);
    if (expected != DC09_Outcome::Accepted && expected != DC09_Outcome::AcceptedEncrypted) {
        state.SkipWithError("the frame is not accepted");
        return;
    }
    for (auto _ : state) {
        std::memcpy(work, frame.data(), frame.size());
        const DC09_Outcome outcome = DC09_Parse(work, frame.size(), aes_mode, Key, parsed);
        const DC09_Reply reply = DC09_Choose_Reply(outcome, aes_mode, false);
        DC09_Message message = DC09_Build_Reply(reply, parsed, aes_mode, Key);
        benchmark::DoNotOptimize(message);
    }
}

// The same with the account's row looked up first in a table of 10,000 rows (account 1234 among
// them, in the frame's mode and key): the cost the account table adds to every message.
void Handle_Message_With_Table(benchmark::State& state, const std::string& frame, std::uint8_t aes_mode)
{
    std::vector<Account_Row> rows(10000);
    for (std::size_t i = 0; i + 1 < rows.size(); ++i)
        Store_Account(std::to_string(10000000 + 7 * i), rows[i]);
    Store_Account("1234", rows.back());
    rows.back().Mode = aes_mode == 0 ? Account_Mode::Clear : aes_mode == 1 ? Account_Mode::Aes128 : Account_Mode::Aes256;
    std::memcpy(rows.back().Key, Key, sizeof Key);
    const Account_Table table(std::move(rows));
    char work[256];
    DC09_Frame parsed;
    for (auto _ : state) {
        std::memcpy(work, frame.data(), frame.size());
        Account_Choice choice(&table, 0, Key);
        const DC09_Outcome outcome = DC09_Parse(work, frame.size(), choice.Chooser(), parsed);
        const DC09_Reply reply = DC09_Choose_Reply(outcome, choice.Aes_Mode, false);
        DC09_Message message = DC09_Build_Reply(reply, parsed, choice.Aes_Mode, choice.Key32);
        benchmark::DoNotOptimize(message);
    }
    if (DC09_Choose_Reply(DC09_Parse(work, 0, 0, Key, parsed), 0, false) != DC09_Reply::None)
        state.SkipWithError("an empty frame was answered");
}

void Copy_Only(benchmark::State& state, const std::string& frame)
{
    char work[256];
    for (auto _ : state) {
        std::memcpy(work, frame.data(), frame.size());
        benchmark::DoNotOptimize(work);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK_CAPTURE(Handle_Message, Clear, Clear_Frame(Worked_Example_Body), 0);
BENCHMARK_CAPTURE(
    Handle_Message, Clear_Time_Stamp, Clear_Frame(Worked_Example_Body + "_14:05:09,03-21-2024"), 0);
BENCHMARK_CAPTURE(Handle_Message, Encrypted_AES_128, Encrypted_Frame(1), 1);
BENCHMARK_CAPTURE(Handle_Message, Encrypted_AES_256, Encrypted_Frame(3), 3);
BENCHMARK_CAPTURE(Handle_Message_With_Table, Clear, Clear_Frame(Worked_Example_Body), 0);
BENCHMARK_CAPTURE(Handle_Message_With_Table, Encrypted_AES_256, Encrypted_Frame(3), 3);
BENCHMARK_CAPTURE(Copy_Only, Encrypted_Frame, Encrypted_Frame(3));

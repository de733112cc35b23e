#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Cipher.h"
#include "receiver/DC09_Parse.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace dc09_test;

namespace {

std::string Encrypt(std::string_view plain_hex, std::uint8_t mode, const Key& key)
{
    std::string data = Bytes_Of_Hex(plain_hex);
    EXPECT_TRUE(
        Encrypt_DC09_Data(reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16, mode, key.data()));
    return Hex_Upper(data);
}

std::string Decrypt(std::string_view cipher_hex, std::uint8_t mode, const Key& key)
{
    std::string data = Bytes_Of_Hex(cipher_hex);
    EXPECT_TRUE(
        Decrypt_DC09_Data(reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16, mode, key.data()));
    return Hex_Upper(data);
}

struct Known_Answer
{
    std::uint8_t Mode;
    const char* Key;
    const char* Plain;
    const char* Cipher;
};

// FIPS-197 appendix C: one block, so CBC with a zero IV is the bare block cipher.
const Known_Answer Fips_197[] = {
    {1, "000102030405060708090A0B0C0D0E0F", "00112233445566778899AABBCCDDEEFF",
        "69C4E0D86A7B0430D8CDB78070B4C55A"},
    {2, "000102030405060708090A0B0C0D0E0F1011121314151617", "00112233445566778899AABBCCDDEEFF",
        "DDA97CA4864CDFE06EAF70A0EC0D7191"},
    {3, "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F",
        "00112233445566778899AABBCCDDEEFF", "8EA2B7CA516745BFEAFC49904B496089"},
};

// NIST SP 800-38A F.2.1, F.2.3, F.2.5 (CBC). Their IV is 000102..0F; XORed into the first plain
// block beforehand it gives the same cipher text under a zero IV.
constexpr const char* Sp_800_38a_Plain = "6BC1BEE22E409F96E93D7E117393172A"
                                         "AE2D8A571E03AC9C9EB76FAC45AF8E51"
                                         "30C81C46A35CE411E5FBC1191A0A52EF"
                                         "F69F2445DF4F9B17AD2B417BE66C3710";
const Known_Answer Sp_800_38a[] = {
    {1, "2B7E151628AED2A6ABF7158809CF4F3C", Sp_800_38a_Plain,
        "7649ABAC8119B246CEE98E9B12E9197D"
        "5086CB9B507219EE95DB113A917678B2"
        "73BED6B8E3C1743B7116E69E22229516"
        "3FF1CAA1681FAC09120ECA307586E1A7"},
    {2, "8E73B0F7DA0E6452C810F32B809079E562F8EAD2522C6B7B", Sp_800_38a_Plain,
        "4F021DB243BC633D7178183A9FA071E8"
        "B4D9ADA9AD7DEDF4E5E738763F69145A"
        "571B242012FB7AE07FA9BAAC3DF102E0"
        "08B0E27988598881D920A9E64F5615CD"},
    {3, "603DEB1015CA71BE2B73AEF0857D77811F352C073B6108D72D9810A30914DFF4", Sp_800_38a_Plain,
        "F58C4C04D6E5F1BA779EABFB5F7BFBD6"
        "9CFC4E967EDB808D679F777BC6702C7D"
        "39F23369A9D9BACFA530E26304231461"
        "B2EB05E2C39BE9FCDA6C19078C6A9D1B"},
};

std::string With_Iv_Folded_In(std::string plain_hex)
{
    std::string bytes = Bytes_Of_Hex(plain_hex);
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ i);
    return Hex_Upper(bytes);
}

} // namespace

TEST(DC09_Cipher, Fips197KnownAnswersForEveryKeySize)
{
    for (const Known_Answer& answer : Fips_197) {
        const Key key = Key_Of_Hex(answer.Key);
        EXPECT_EQ(Encrypt(answer.Plain, answer.Mode, key), answer.Cipher) << int {answer.Mode};
        EXPECT_EQ(Decrypt(answer.Cipher, answer.Mode, key), answer.Plain) << int {answer.Mode};
    }
}

TEST(DC09_Cipher, CbcKnownAnswersForEveryKeySize)
{
    for (const Known_Answer& answer : Sp_800_38a) {
        const Key key = Key_Of_Hex(answer.Key);
        const std::string plain = With_Iv_Folded_In(answer.Plain);
        EXPECT_EQ(Encrypt(plain, answer.Mode, key), answer.Cipher) << int {answer.Mode};
        EXPECT_EQ(Decrypt(answer.Cipher, answer.Mode, key), plain) << int {answer.Mode};
    }
}

TEST(DC09_Cipher, KeyBytesBeyondTheKeyLengthAreIgnored)
{
    Key other = Counting_Key();
    for (std::size_t i = 24; i < 32; ++i)
        other[i] = 0xEE;
    const std::string plain(64, '5');
    EXPECT_EQ(Encrypt(plain, 2, Counting_Key()), Encrypt(plain, 2, other));
    EXPECT_NE(Encrypt(plain, 3, Counting_Key()), Encrypt(plain, 3, other));
    other[16] = 0xEE;
    EXPECT_EQ(Encrypt(plain, 1, Counting_Key()), Encrypt(plain, 1, other));
}

TEST(DC09_Cipher, ModesOutsideTheRangeWorkAsAes128)
{
    EXPECT_EQ(Encrypt(Fips_197[0].Plain, 7, Key_Of_Hex(Fips_197[0].Key)), Fips_197[0].Cipher);
}

TEST(DC09_Cipher, ModeZeroAppliesOnlyTheChaining)
{
    const std::string first = "00112233445566778899AABBCCDDEEFF";
    const std::string second = "0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F";
    const std::string second_xor_first = "0F1E2D3C4B5A69788796A5B4C3D2E1F0";
    EXPECT_EQ(Decrypt(first, 0, Counting_Key()), first);
    EXPECT_EQ(Decrypt(first + second, 0, Counting_Key()), first + second_xor_first);
    EXPECT_EQ(Encrypt(first + second_xor_first, 0, Counting_Key()), first + second);
}

TEST(DC09_Cipher, RoundTripRestoresThePlainTextInEveryMode)
{
    const std::string plain = Hex_Upper("\x1A\x2B\x3C\x4D\x10\x11\x12\x13\x14\x15|]_14:05:09,03-21-2024");
    ASSERT_EQ(plain.size(), 64u);
    for (std::uint8_t mode = 0; mode <= 3; ++mode) {
        const std::string cipher = Encrypt(plain, mode, Counting_Key());
        EXPECT_NE(cipher, plain) << int {mode};
        EXPECT_EQ(Decrypt(cipher, mode, Counting_Key()), plain) << int {mode};
    }
}

namespace {

// A whole-buffer AES-CBC with a zero IV through OpenSSL's own CBC mode, as an independent reference.
std::string Reference_Cbc_Encrypt(const std::string& plain_hex, std::uint8_t mode, const Key& key)
{
    const EVP_CIPHER* cipher = mode == 3 ? EVP_aes_256_cbc()
        : mode == 2                      ? EVP_aes_192_cbc()
                                         : EVP_aes_128_cbc();
    const std::string plain = Bytes_Of_Hex(plain_hex);
    std::string out(plain.size(), '\0');
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    const unsigned char iv[16] = {};
    int written = 0;
    EVP_EncryptInit_ex(context, cipher, nullptr, key.data(), iv);
    EVP_CIPHER_CTX_set_padding(context, 0);
    EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &written,
        reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(plain.size()));
    EVP_CIPHER_CTX_free(context);
    return Hex_Upper(out);
}

} // namespace

TEST(DC09_Cipher, LongDataMatchesAWholeBufferCbc)
{
    // 40 blocks: more than one chunk of the in-place decryption.
    std::string plain;
    for (int i = 0; i < 40 * 16; ++i)
        plain += static_cast<char>(i * 7 + 3);
    const std::string plain_hex = Hex_Upper(plain);
    for (const std::uint8_t mode : {1, 2, 3}) {
        const std::string cipher = Reference_Cbc_Encrypt(plain_hex, mode, Counting_Key());
        EXPECT_EQ(Encrypt(plain_hex, mode, Counting_Key()), cipher) << int {mode};
        EXPECT_EQ(Decrypt(cipher, mode, Counting_Key()), plain_hex) << int {mode};
    }
    const std::string chained = Encrypt(plain_hex, 0, Counting_Key());
    std::string expected = plain;
    for (std::size_t i = 16; i < expected.size(); ++i)
        expected[i] = static_cast<char>(expected[i] ^ expected[i - 16]);
    EXPECT_EQ(chained, Hex_Upper(expected));
    EXPECT_EQ(Decrypt(chained, 0, Counting_Key()), plain_hex);
}

TEST(DC09_Cipher, KeyChangesBetweenCallsTakeEffect)
{
    const Known_Answer& first = Sp_800_38a[2];
    const Known_Answer& second = Fips_197[2];
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Decrypt(first.Cipher, 3, Key_Of_Hex(first.Key)), With_Iv_Folded_In(first.Plain)) << round;
        EXPECT_EQ(Decrypt(second.Cipher, 3, Key_Of_Hex(second.Key)), second.Plain) << round;
        EXPECT_EQ(Encrypt(second.Plain, 3, Key_Of_Hex(second.Key)), second.Cipher) << round;
        EXPECT_EQ(Encrypt(With_Iv_Folded_In(first.Plain), 3, Key_Of_Hex(first.Key)), first.Cipher) << round;
    }
}

TEST(DC09_Cipher, EveryThreadGetsTheSameAnswers)
{
    std::string from_thread;
    std::thread worker([&] { from_thread = Encrypt(Sp_800_38a[2].Plain, 3, Key_Of_Hex(Sp_800_38a[2].Key)); });
    worker.join();
    EXPECT_EQ(from_thread, Encrypt(Sp_800_38a[2].Plain, 3, Key_Of_Hex(Sp_800_38a[2].Key)));
}

TEST(DC09_Encrypted_Data, EncryptedReportParsesInEveryMode)
{
    for (std::uint8_t mode = 0; mode <= 3; ++mode) {
        const std::string frame = Encrypted_Frame("\"*ADM-CID\"0003R1L0#1234[",
            "#1234|1401 01 001][Q18]_14:05:09,03-21-2024", mode, Counting_Key());
        const Parsed parsed = Parse(frame, mode);
        ASSERT_EQ(parsed.Outcome, DC09_Outcome::AcceptedEncrypted) << int {mode};
        EXPECT_EQ(parsed.Frame.Kind, DC09_Kind::Encrypted_ADM_CID);
        EXPECT_EQ(parsed.Frame.Sequence, 3);
        EXPECT_STREQ(parsed.Frame.Receiver, "1");
        EXPECT_STREQ(parsed.Frame.Account, "1234");
        EXPECT_STREQ(parsed.Frame.Event, "1401");
        EXPECT_STREQ(parsed.Frame.Group, "01");
        EXPECT_STREQ(parsed.Frame.Zone, "001");
        EXPECT_STREQ(parsed.Frame.Extended_Data, "[Q18]");
        EXPECT_EQ(parsed.Frame.Message_Time, 1711029909);
    }
}

TEST(DC09_Encrypted_Data, EncryptedLinkTestParses)
{
    const Parsed parsed = Parse(Encrypted_Frame("\"*NULL\"0000L0#1234[", "]", 3, Counting_Key()), 3);
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::AcceptedEncrypted);
    EXPECT_EQ(parsed.Frame.Kind, DC09_Kind::Encrypted_Link_Test);
    EXPECT_STREQ(parsed.Frame.Event, "NULL");
}

TEST(DC09_Encrypted_Data, WrongKeyOrKeySizeIsRejected)
{
    const std::string frame
        = Encrypted_Frame("\"*ADM-CID\"0003L0#1234[", "#1234|1401 01 001]", 3, Counting_Key());
    Key wrong = Counting_Key();
    wrong[31] ^= 1;
    EXPECT_EQ(Parse(frame, 3, wrong).Outcome, DC09_Outcome::Rejected);
    EXPECT_EQ(Parse(frame, 1).Outcome, DC09_Outcome::Rejected);
}

TEST(DC09_Encrypted_Data, LowerCaseCipherTextIsDeciphered)
{
    std::string frame = Encrypted_Frame("\"*NULL\"0000L0#1234[", "]", 1, Counting_Key());
    const std::size_t data = frame.find('[') + 1;
    for (std::size_t i = data; i + 1 < frame.size(); ++i)
        frame[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(frame[i])));
    const std::string body = frame.substr(9, frame.size() - 10);
    ASSERT_NE(body, Encrypted_Frame("\"*NULL\"0000L0#1234[", "]", 1, Counting_Key()).substr(9, body.size()));
    EXPECT_EQ(Parse(Wrap_Frame(body), 1).Outcome, DC09_Outcome::AcceptedEncrypted);
}

TEST(DC09_Encrypted_Data, OddLastDigitIsDropped)
{
    const std::string frame = Encrypted_Frame("\"*NULL\"0000L0#1234[", "]", 2, Counting_Key());
    const std::string body = frame.substr(9, frame.size() - 10) + "A";
    EXPECT_EQ(Parse(Wrap_Frame(body), 2).Outcome, DC09_Outcome::AcceptedEncrypted);
}

TEST(DC09_Encrypted_Data, TrailingPartOfABlockStaysAsDecoded)
{
    // Fewer than 16 bytes: nothing is deciphered, so the clear bar is found.
    const Parsed parsed = Parse(Wrap_Frame("\"*NULL\"0000L0#1234[" + Hex_Upper("AB|]")), 3);
    EXPECT_EQ(parsed.Outcome, DC09_Outcome::AcceptedEncrypted);
    EXPECT_EQ(
        Parse(Wrap_Frame("\"*NULL\"0000L0#1234[" + Hex_Upper("AB]")), 3).Outcome, DC09_Outcome::Rejected);
}

TEST(DC09_Encrypted_Data, DecipheredTextEndsAtItsFirstZeroByte)
{
    std::string plain = std::string(15, '\x11') + '\0' + "|#1234|1401 01 001]" + std::string(13, '\x11');
    ASSERT_EQ(plain.size() % 16, 0u);
    ASSERT_TRUE(Aes_Cbc_Encrypt(1, Counting_Key(), plain));
    EXPECT_EQ(
        Parse(Wrap_Frame("\"*ADM-CID\"0003L0#1234[" + Hex_Upper(plain)), 1).Outcome, DC09_Outcome::Rejected);
}

TEST(DC09_Encrypted_Data, WritesStayInsideTheGivenText)
{
    const std::string frame
        = Encrypted_Frame("\"*ADM-CID\"0003L0#1234[", "#1234|1401 01 001]", 3, Counting_Key());
    std::vector<char> buffer(frame.begin(), frame.end());
    const std::string guard = "GUARDBYTES";
    buffer.insert(buffer.end(), guard.begin(), guard.end());
    DC09_Frame parsed;
    ASSERT_EQ(DC09_Parse(buffer.data(), frame.size(), 3, Counting_Key().data(), parsed),
        DC09_Outcome::AcceptedEncrypted);
    EXPECT_EQ(std::string(buffer.data() + frame.size(), guard.size()), guard);
    // The parse decoded the data over its hexadecimal text, in place.
    EXPECT_NE(std::string(buffer.data(), frame.size()), frame);
}

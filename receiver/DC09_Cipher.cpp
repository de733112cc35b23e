#include "receiver/DC09_Cipher.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <cstring>

namespace {

constexpr int Key_Sizes = 3; // AES-128, -192, -256
constexpr std::size_t Max_Key_Length = 32;

int Key_Size_Index(std::uint8_t aes_mode)
{
    return aes_mode == 3 ? 2 : aes_mode == 2 ? 1 : 0;
}

// Fetching an algorithm searches the provider store under a lock, so it is done once per process.
// The block cipher runs in ECB mode and the CBC chaining is done here: the contexts then carry no
// IV state between messages and never need re-initialising while the key stays the same.
struct Aes_Ciphers
{
    EVP_CIPHER* Cipher[Key_Sizes];

    Aes_Ciphers()
        : Cipher {EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr),
            EVP_CIPHER_fetch(nullptr, "AES-192-ECB", nullptr),
            EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr)}
    { }
    ~Aes_Ciphers()
    {
        for (EVP_CIPHER* cipher : Cipher)
            EVP_CIPHER_free(cipher);
    }
    Aes_Ciphers(const Aes_Ciphers&) = delete;
    Aes_Ciphers& operator=(const Aes_Ciphers&) = delete;
};

const Aes_Ciphers& Shared_Ciphers()
{
    static const Aes_Ciphers ciphers;
    return ciphers;
}

// A context with its key schedule, rebuilt only when the key bytes differ from the last call's;
// the result is the same as building it afresh for every message, at a fraction of the cost.
struct Keyed_Context
{
    EVP_CIPHER_CTX* Context = nullptr;
    bool Keyed = false;
    std::uint8_t Key[Max_Key_Length] = {};
};

// One set per thread, since a context is not shareable; created on first use, so a message
// costs no allocation afterwards.
struct Thread_Contexts
{
    Keyed_Context For[Key_Sizes][2]; // [key size][encrypt]

    Thread_Contexts() = default;
    ~Thread_Contexts()
    {
        for (auto& size : For)
            for (Keyed_Context& keyed : size)
                EVP_CIPHER_CTX_free(keyed.Context);
    }
    Thread_Contexts(const Thread_Contexts&) = delete;
    Thread_Contexts& operator=(const Thread_Contexts&) = delete;
};

EVP_CIPHER_CTX* Keyed_For(std::uint8_t aes_mode, const std::uint8_t* key32, int encrypt)
{
    thread_local Thread_Contexts contexts;
    const int index = Key_Size_Index(aes_mode);
    Keyed_Context& keyed = contexts.For[index][encrypt];
    const std::size_t key_length = DC09_Key_Length(aes_mode);
    if (keyed.Keyed && std::memcmp(keyed.Key, key32, key_length) == 0)
        return keyed.Context;
    if (keyed.Context == nullptr) {
        const EVP_CIPHER* cipher = Shared_Ciphers().Cipher[index];
        if (cipher == nullptr)
            return nullptr;
        EVP_CIPHER_CTX* fresh = EVP_CIPHER_CTX_new();
        if (fresh == nullptr || EVP_CipherInit_ex2(fresh, cipher, nullptr, nullptr, encrypt, nullptr) != 1) {
            EVP_CIPHER_CTX_free(fresh);
            return nullptr;
        }
        keyed.Context = fresh;
    }
    keyed.Keyed = EVP_CipherInit_ex2(keyed.Context, nullptr, key32, nullptr, encrypt, nullptr) == 1
        && EVP_CIPHER_CTX_set_padding(keyed.Context, 0) == 1;
    if (!keyed.Keyed)
        return nullptr;
    std::memcpy(keyed.Key, key32, key_length);
    return keyed.Context;
}

bool Run_Blocks(EVP_CIPHER_CTX* context, std::uint8_t* out, const std::uint8_t* in, std::size_t blocks)
{
    const int size = static_cast<int>(blocks * DC09_Block_Size);
    int written = 0;
    return EVP_CipherUpdate(context, out, &written, in, size) == 1 && written == size;
}

void Xor_Block(std::uint8_t* block, const std::uint8_t* with)
{
    for (std::size_t i = 0; i < DC09_Block_Size; ++i)
        block[i] ^= with[i];
}

constexpr std::uint8_t Zero_Iv[DC09_Block_Size] = {};

// Blocks deciphered per library call; the cipher text of a chunk is kept aside for the chaining.
constexpr std::size_t Chunk_Blocks = 16;

// From the last chunk back to the first, so the block before a chunk is still cipher text when the
// chunk's first block is chained with it. With no context (mode 0) only the chaining is applied.
bool Decrypt_Cbc(EVP_CIPHER_CTX* context, std::uint8_t* data, std::size_t blocks)
{
    std::uint8_t saved[Chunk_Blocks * DC09_Block_Size];
    for (std::size_t end = blocks; end > 0;) {
        const std::size_t start = end > Chunk_Blocks ? end - Chunk_Blocks : 0;
        std::uint8_t* chunk = data + start * DC09_Block_Size;
        std::memcpy(saved, chunk, (end - start) * DC09_Block_Size);
        if (context != nullptr && !Run_Blocks(context, chunk, saved, end - start))
            return false;
        for (std::size_t i = start; i < end; ++i) {
            const std::uint8_t* previous = Zero_Iv;
            if (i > start)
                previous = saved + (i - 1 - start) * DC09_Block_Size;
            else if (i > 0)
                previous = data + (i - 1) * DC09_Block_Size;
            Xor_Block(data + i * DC09_Block_Size, previous);
        }
        end = start;
    }
    return true;
}

bool Encrypt_Cbc(EVP_CIPHER_CTX* context, std::uint8_t* data, std::size_t blocks)
{
    for (std::size_t i = 0; i < blocks; ++i) {
        std::uint8_t* block = data + i * DC09_Block_Size;
        Xor_Block(block, i == 0 ? Zero_Iv : block - DC09_Block_Size);
        if (context != nullptr && !Run_Blocks(context, block, block, 1))
            return false;
    }
    return true;
}

// A refused call leaves nothing readable behind and no error queued on the thread.
bool Finish(bool ok, std::uint8_t* data, std::size_t blocks)
{
    if (!ok) {
        std::memset(data, 0, blocks * DC09_Block_Size);
        ERR_clear_error();
    }
    return ok;
}

} // namespace

std::size_t DC09_Key_Length(std::uint8_t aes_mode)
{
    return aes_mode == 3 ? 32 : aes_mode == 2 ? 24 : 16;
}

bool Decrypt_DC09_Data(
    std::uint8_t* data, std::size_t blocks, std::uint8_t aes_mode, const std::uint8_t* key32)
{
    if (blocks == 0)
        return true;
    if (aes_mode == 0)
        return Decrypt_Cbc(nullptr, data, blocks);
    EVP_CIPHER_CTX* context = Keyed_For(aes_mode, key32, 0);
    return Finish(context != nullptr && Decrypt_Cbc(context, data, blocks), data, blocks);
}

bool Encrypt_DC09_Data(
    std::uint8_t* data, std::size_t blocks, std::uint8_t aes_mode, const std::uint8_t* key32)
{
    if (blocks == 0)
        return true;
    if (aes_mode == 0)
        return Encrypt_Cbc(nullptr, data, blocks);
    EVP_CIPHER_CTX* context = Keyed_For(aes_mode, key32, 1);
    return Finish(context != nullptr && Encrypt_Cbc(context, data, blocks), data, blocks);
}

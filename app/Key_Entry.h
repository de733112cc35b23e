#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The AES key as the operator types it: either as text (the key bytes themselves) or as pairs of
// hexadecimal digits. The key field is always the full 32 bytes of DC9_Encoding_Key; the mode only
// decides how many of them are shown and accepted.

using Key_Bytes = std::uint8_t[32];

// How many bytes a mode uses is the cipher's rule (DC09_Key_Length); with encryption off it only
// bounds the key edit.

// Text entry: the key becomes the text's bytes followed by zeros. A text longer than the field
// leaves the key all zero rather than a silently cut key.
void Key_From_Text(Key_Bytes& key, std::string_view text);

// Hex entry: each digit replaces one nibble of the key, in order, so bytes and nibbles beyond the
// digits typed keep their previous values. Stops at the first character that is not a hex digit or
// that lies beyond 2 x key_length digits, and returns how many characters were taken: a result
// below text.size() means the text must be cut back to that length. An empty text changes nothing.
std::size_t Key_From_Hex(Key_Bytes& key, std::string_view text, std::size_t key_length);

// True when the text format can show the first key_length bytes as they are: no byte other than
// zero follows a zero byte. Zeros at the end are what text entry pads a short text with.
bool Key_Shows_As_Text(const Key_Bytes& key, std::size_t key_length);

// What the key edit shows: the first key_length bytes as lower-case hex pairs, or as text up to the
// first zero byte.
std::string Key_Display_Text(const Key_Bytes& key, std::size_t key_length, bool hex);

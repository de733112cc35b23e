#include "app/Key_Entry.h"
#include "base/Edit_Values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

void Fill(Key_Bytes& key, std::uint8_t value)
{
    std::fill(std::begin(key), std::end(key), value);
}

TEST(Key_Entry, Text_Of_Twenty_Characters_Is_Followed_By_Zeros)
{
    Key_Bytes key;
    Fill(key, 0xAA);
    Key_From_Text(key, "abcdefghijklmnopqrst");
    EXPECT_EQ(std::memcmp(key, "abcdefghijklmnopqrst", 20), 0);
    for (std::size_t i = 20; i < sizeof key; ++i)
        EXPECT_EQ(key[i], 0) << i;
    EXPECT_EQ(Key_Display_Text(key, 24, false), "abcdefghijklmnopqrst");
}

TEST(Key_Entry, Text_Longer_Than_The_Field_Leaves_The_Key_Zero)
{
    Key_Bytes key;
    Fill(key, 0x55);
    Key_From_Text(key, std::string(33, 'x'));
    EXPECT_TRUE(std::all_of(std::begin(key), std::end(key), [](std::uint8_t b) { return b == 0; }));
    Key_From_Text(key, std::string(32, 'y'));
    EXPECT_EQ(key[31], 'y');
}

TEST(Key_Entry, Hex_Display_Is_Lower_Case_With_Every_Byte_Of_The_Key)
{
    Key_Bytes key {};
    key[0] = 0xAB;
    key[1] = 0x0F;
    key[23] = 0xC0;
    key[24] = 0xFF; // beyond an AES-192 key
    const std::string shown = Key_Display_Text(key, 24, true);
    ASSERT_EQ(shown.size(), 48u);
    EXPECT_EQ(shown.substr(0, 4), "ab0f");
    EXPECT_EQ(shown.substr(46), "c0");
    EXPECT_EQ(shown.find_first_of("ABCDEF"), std::string::npos);
}

TEST(Key_Entry, Text_Display_Ends_At_The_First_Zero_And_At_The_Key_Length)
{
    Key_Bytes key {};
    std::memcpy(key, "0123456789abcdefXYZ", 19);
    EXPECT_EQ(Key_Display_Text(key, 16, false), "0123456789abcdef");
    key[5] = 0;
    EXPECT_EQ(Key_Display_Text(key, 32, false), "01234");
}

TEST(Key_Entry, Text_Can_Show_A_Key_Only_When_No_Byte_Follows_A_Zero)
{
    Key_Bytes key {};
    EXPECT_TRUE(Key_Shows_As_Text(key, 32)) << "all zero: the empty text";
    std::memcpy(key, "abc", 3);
    EXPECT_TRUE(Key_Shows_As_Text(key, 32)) << "zeros after the text pad it";
    key[20] = 'x';
    EXPECT_FALSE(Key_Shows_As_Text(key, 24));
    EXPECT_TRUE(Key_Shows_As_Text(key, 16)) << "bytes beyond the key length do not count";
    Fill(key, 'k');
    key[0] = 0;
    EXPECT_FALSE(Key_Shows_As_Text(key, 16));
}

TEST(Key_Entry, Hex_Digits_Replace_Nibbles_And_Keep_The_Rest)
{
    Key_Bytes key;
    Fill(key, 0x77);
    EXPECT_EQ(Key_From_Hex(key, "aB1", 16), 3u);
    EXPECT_EQ(key[0], 0xAB);
    EXPECT_EQ(key[1], 0x17); // only the high nibble was typed
    EXPECT_EQ(key[2], 0x77);
}

TEST(Key_Entry, Hex_Entry_Stops_At_A_Non_Digit)
{
    Key_Bytes key {};
    EXPECT_EQ(Key_From_Hex(key, "12G4", 16), 2u);
    EXPECT_EQ(key[0], 0x12);
    EXPECT_EQ(key[1], 0x00);
}

TEST(Key_Entry, Hex_Entry_Stops_Beyond_Twice_The_Key_Length)
{
    Key_Bytes key {};
    const std::string digits(34, 'f');
    EXPECT_EQ(Key_From_Hex(key, digits, 16), 32u);
    EXPECT_EQ(key[15], 0xFF);
    EXPECT_EQ(key[16], 0x00);
    EXPECT_EQ(Key_From_Hex(key, std::string(64, 'e'), 32), 64u);
    EXPECT_EQ(key[31], 0xEE);
}

TEST(Key_Entry, Empty_Hex_Text_Changes_Nothing)
{
    Key_Bytes key;
    Fill(key, 0x3C);
    EXPECT_EQ(Key_From_Hex(key, "", 32), 0u);
    EXPECT_TRUE(std::all_of(std::begin(key), std::end(key), [](std::uint8_t b) { return b == 0x3C; }));
}

TEST(Edit_Values, Decimal_Integers)
{
    EXPECT_EQ(Decimal_Value("7777"), 7777);
    EXPECT_EQ(Decimal_Value("-56"), -56);
    EXPECT_EQ(Decimal_Value("+12"), 12);
    EXPECT_EQ(Decimal_Value(" 30 "), 30);
    EXPECT_EQ(Decimal_Value("2147483647"), 2147483647);
}

TEST(Edit_Values, Texts_That_Are_No_Number_Give_No_Value)
{
    for (const char* text : {"", " ", "-", "+", "+-5", "12a", "0x10", "1 2", "2147483648", "abc"})
        EXPECT_FALSE(Decimal_Value(text).has_value()) << '"' << text << '"';
}

} // namespace

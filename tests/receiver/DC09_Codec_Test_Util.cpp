#include "DC09_Codec_Test_Util.h"

#include "receiver/DC09_Parse.h"

#include <vector>

namespace dc09_test {

Key Counting_Key()
{
    Key key {};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(i);
    return key;
}

Parsed Parse(std::string text, std::uint8_t aes_mode, const Key& key)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    Parsed parsed {};
    parsed.Outcome = DC09_Parse(buffer.data(), text.size(), aes_mode, key.data(), parsed.Frame);
    return parsed;
}

} // namespace dc09_test

#include "config/base64.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string Bytes(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>(i * 7 + 3);
    }
    return bytes;
}

// Decodes from a buffer of exactly the text's size, so that a read past the end is caught by
// AddressSanitizer.
std::string DecodeExact(const std::string& text) {
    std::vector<char> exact(text.begin(), text.end());
    return Base64Decode(exact.data(), static_cast<int>(exact.size()));
}

TEST(Base64, Rfc4648TestVectorsBothWays) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, text] : cases) {
        EXPECT_EQ(Base64Encode(plain), text);
        EXPECT_EQ(Base64Encode(reinterpret_cast<const unsigned char*>(plain.data()),
                               static_cast<int>(plain.size())),
                  text);
        EXPECT_EQ(DecodeExact(text), plain);
    }
}

TEST(Base64, LineBreakFollowsEveryNineteenthCompleteGroup) {
    const struct {
        size_t bytes;
        std::vector<size_t> breaksAt;  // offsets of "\r\n" in the text
        size_t textLength;
    } cases[] = {
        {56, {}, 76},           // 18 groups, then a padded group
        {57, {76}, 78},         // 19 groups and the break, also at the very end
        {58, {76}, 82},         // the padded group after the break
        {114, {76, 154}, 156},  // two full lines
        {171, {76, 154, 232}, 234},
    };
    for (const auto& c : cases) {
        const std::string text = Base64Encode(Bytes(c.bytes));
        EXPECT_EQ(text.size(), c.textLength) << c.bytes;
        std::vector<size_t> breaks;
        for (size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 1)) {
            breaks.push_back(at);
        }
        EXPECT_EQ(breaks, c.breaksAt) << c.bytes;
        EXPECT_EQ(DecodeExact(text), Bytes(c.bytes)) << c.bytes;
    }
    EXPECT_EQ(Base64Encode(Bytes(58)).substr(78), Base64Encode(Bytes(58).substr(57)));
}

TEST(Base64, DecoderSkipsLineBreaksBetweenGroups) {
    for (const char* lineBreak : {"\r\n", "\n", "\r\r\n", "\r", "\n\n\n"}) {
        EXPECT_EQ(DecodeExact(std::string("Zm9v") + lineBreak + "YmFy"), "foobar") << lineBreak;
    }
    EXPECT_EQ(DecodeExact(""), "");
    EXPECT_EQ(DecodeExact("\r\n\r\r\n\n"), "");
}

TEST(Base64, DecoderValidatesNothing) {
    const std::pair<std::string, std::string> cases[] = {
        {"Z!9v", "\x64\x0F\x6F"},        // outside the alphabet counts as 0 ...
        {"ZA9v", "\x64\x0F\x6F"},        // ... exactly like 'A'
        {"Z\xC3\x39v", "\x64\x0F\x6F"},  // so does a byte above the table's range
        {"Z\xFF\x39v", "\x64\x0F\x6F"},
        {"Zm=x", "f"},  // third '=': one byte, fourth not examined
        {"Zm9=", "fo"},
        {"Zm\r\nv", std::string("\x66\x60\x00\xBC", 4)},  // a break inside a group is 0 ...
        {" Zm9v", "\x01\x99\xBD\xBC"},                    // ... and blanks are not skipped
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(DecodeExact(text), bytes) << text;
    }
}

TEST(Base64, GroupCutShortNeverReadsPastTheText) {
    // Missing characters count as padding: one or two left give one byte, three give two.
    EXPECT_EQ(DecodeExact("Zm9vY"), std::string("foo`", 4));
    EXPECT_EQ(DecodeExact("Zm9vYm"), "foob");
    EXPECT_EQ(DecodeExact("Zm9vYmE"), "fooba");
    EXPECT_EQ(Base64Decode("Zm9v", -4), "");
}

}  // namespace

#include "config/base64.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr int kLineCharacters = 76;

// Value of each byte as a Base64 digit; every byte outside the alphabet (and '=') is 0.
constexpr std::array<uint8_t, 256> MakeDecodingTable() {
    std::array<uint8_t, 256> table{};
    for (uint8_t i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    }
    return table;
}
constexpr std::array<uint8_t, 256> kDecodingTable = MakeDecodingTable();

uint32_t Digit(char c) {
    return kDecodingTable[static_cast<unsigned char>(c)];
}

std::string Encode(const unsigned char* data, size_t length) {
    const size_t groups = length / 3;
    const size_t rest = length - 3 * groups;
    std::string text;
    text.reserve((groups + 1) * 4 + (groups / 19) * 2);
    int lineCount = 0;
    const unsigned char* p = data;
    for (size_t g = 0; g < groups; ++g, p += 3) {
        text += kAlphabet[p[0] >> 2];
        text += kAlphabet[((p[0] << 4) | (p[1] >> 4)) & 0x3F];
        text += kAlphabet[((p[1] << 2) | (p[2] >> 6)) & 0x3F];
        text += kAlphabet[p[2] & 0x3F];
        lineCount += 4;
        if (lineCount == kLineCharacters) {
            text += "\r\n";
            lineCount = 0;
        }
    }
    if (rest == 1) {
        text += kAlphabet[p[0] >> 2];
        text += kAlphabet[(p[0] & 0x03) << 4];
        text += kPad;
        text += kPad;
    } else if (rest == 2) {
        text += kAlphabet[p[0] >> 2];
        text += kAlphabet[((p[0] & 0x03) << 4) | (p[1] >> 4)];
        text += kAlphabet[(p[1] & 0x0F) << 2];
        text += kPad;
    }
    return text;
}

std::string Decode(const char* text, size_t length) {
    std::string bytes;
    bytes.reserve(length / 4 * 3 + 3);
    size_t i = 0;
    while (i < length) {
        if (text[i] == '\r' || text[i] == '\n') {
            ++i;
            continue;
        }
        // A group cut short by the end of the text reads its missing characters as padding.
        const auto at = [&](size_t k) { return i + k < length ? text[i + k] : kPad; };
        const char c2 = at(2);
        const char c3 = at(3);
        uint32_t v = (Digit(text[i]) << 18) | (Digit(at(1)) << 12);
        bytes += static_cast<char>((v >> 16) & 0xFF);
        if (c2 != kPad) {
            v += Digit(c2) << 6;
            bytes += static_cast<char>((v >> 8) & 0xFF);
            if (c3 != kPad) {
                v += Digit(c3);
                bytes += static_cast<char>(v & 0xFF);
            }
        }
        i += 4;
    }
    return bytes;
}

size_t CountOf(int length) {
    return length > 0 ? static_cast<size_t>(length) : 0;
}

}  // namespace

std::string Base64Encode(const unsigned char* data, int length) {
    return Encode(data, CountOf(length));
}

std::string Base64Encode(const std::string& bytes) {
    return Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string Base64Decode(const char* text, int length) {
    return Decode(text, CountOf(length));
}

std::string Base64Decode(const std::string& text) {
    return Decode(text.data(), text.size());
}

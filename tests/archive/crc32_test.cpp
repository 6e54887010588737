// The entries' checksum against zlib's own, over the lengths and alignments where the folding
// of 64 and 16 bytes at a time hands over to zlib, and continued piece by piece.
#include "archive/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "tests/support/random_bytes.h"

namespace {

uint32_t ZlibCrc(uint32_t crc, const char* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef*>(data), size));
}

TEST(Crc32, AgreesWithZlibOnEveryLengthAndAlignment) {
    const std::string bytes = tolbe_test::RandomBytes((1 << 20) + 64, 7);
    const size_t lengths[] = {0,   1,   15,  16,  63,  64,   65,       127,   128,          255,
                              256, 257, 319, 320, 321, 1000, 4096 + 7, 65536, (1 << 20) + 3};
    for (const size_t length : lengths) {
        for (size_t offset = 0; offset < 4; ++offset) {
            const char* data = bytes.data() + offset;
            EXPECT_EQ(Crc32(0, data, length), ZlibCrc(0, data, length))
                << "length " << length << ", offset " << offset;
            EXPECT_EQ(Crc32(0x9E3779B9u, data, length), ZlibCrc(0x9E3779B9u, data, length))
                << "continued, length " << length << ", offset " << offset;
        }
    }
}

TEST(Crc32, PiecesGiveTheCrcOfTheWhole) {
    const std::string bytes = tolbe_test::RandomBytes(300000, 8);
    const size_t pieces[] = {1, 17, 256, 300, 4096, 65536 + 5};
    for (const size_t piece : pieces) {
        uint32_t crc = 0;
        for (size_t at = 0; at < bytes.size(); at += piece) {
            crc = Crc32(crc, bytes.data() + at, std::min(piece, bytes.size() - at));
        }
        EXPECT_EQ(crc, ZlibCrc(0, bytes.data(), bytes.size())) << "pieces of " << piece;
    }
}

TEST(Crc32, KnownValues) {
    const std::string zeros(4096, '\0');
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);  // the polynomial's check value
    EXPECT_EQ(Crc32(0, zeros.data(), zeros.size()), ZlibCrc(0, zeros.data(), zeros.size()));
    const std::string ones(4096, '\xFF');
    EXPECT_EQ(Crc32(0, ones.data(), ones.size()), ZlibCrc(0, ones.data(), ones.size()));
}

}  // namespace

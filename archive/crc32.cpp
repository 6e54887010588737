#include "archive/crc32.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TOLBE_CRC32_FOLDING 1
#endif

namespace {

uint32_t Crc32ByTable(uint32_t crc, const void* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(crc, static_cast<const Bytef*>(data), size));
}

#ifdef TOLBE_CRC32_FOLDING

// The folding constants: x^n mod P(x) for the CRC-32 polynomial P, bit-reflected like the CRC
// itself and shifted left by one, as carry-less multiplication of reflected values needs.
constexpr uint64_t FoldingConstant(unsigned n) {
    constexpr uint64_t kPolynomial = 0x104C11DB7;
    uint64_t remainder = 1;
    for (unsigned i = 0; i < n; ++i) {
        remainder <<= 1;
        if ((remainder >> 32) & 1) {
            remainder ^= kPolynomial;
        }
    }
    uint64_t reflected = 0;
    for (unsigned bit = 0; bit < 32; ++bit) {
        reflected |= ((remainder >> bit) & 1) << (31 - bit);
    }
    return reflected << 1;
}

// Moves the 128 bits of `value` forward over the distance its constants stand for and adds
// them to `next`: the CRC of the bytes so far stays the CRC of the 16 bytes this returns.
__attribute__((target("pclmul,sse2"))) __m128i Fold(__m128i value, __m128i constants,
                                                    __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(value, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(value, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse2"))) __m128i Load(const unsigned char* data) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}

// Folds 64 bytes at a time into four 16-byte lanes, then the lanes and the rest of the whole
// 16-byte blocks into one; zlib computes the CRC of that block and of the last bytes. `size` is
// at least 64.
__attribute__((target("pclmul,sse2"))) uint32_t Crc32Folding(uint32_t crc,
                                                             const unsigned char* data,
                                                             size_t size) {
    const __m128i acrossFour =
        _mm_set_epi64x(FoldingConstant(4 * 128 - 32), FoldingConstant(4 * 128 + 32));
    const __m128i acrossOne = _mm_set_epi64x(FoldingConstant(128 - 32), FoldingConstant(128 + 32));
    // The CRC's register, inverted as zlib keeps it, enters with the first bytes.
    __m128i lane0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(~crc)));
    __m128i lane1 = Load(data + 16);
    __m128i lane2 = Load(data + 32);
    __m128i lane3 = Load(data + 48);
    data += 64;
    size -= 64;
    for (; size >= 64; data += 64, size -= 64) {
        lane0 = Fold(lane0, acrossFour, Load(data));
        lane1 = Fold(lane1, acrossFour, Load(data + 16));
        lane2 = Fold(lane2, acrossFour, Load(data + 32));
        lane3 = Fold(lane3, acrossFour, Load(data + 48));
    }
    __m128i folded = Fold(lane0, acrossOne, lane1);
    folded = Fold(folded, acrossOne, lane2);
    folded = Fold(folded, acrossOne, lane3);
    for (; size >= 16; data += 16, size -= 16) {
        folded = Fold(folded, acrossOne, Load(data));
    }
    alignas(16) unsigned char block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), folded);
    // The folded block carries the register itself: zlib reads it from a register of zero,
    // which its inversion on entry gives for 0xFFFFFFFF.
    const uint32_t blockCrc = Crc32ByTable(0xFFFFFFFFu, block, sizeof block);
    return Crc32ByTable(blockCrc, data, size);
}

bool CanFold() {
    static const bool supported =
        __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return supported;
}
#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
#ifdef TOLBE_CRC32_FOLDING
    // Short pieces cost more to set up than zlib's tables take.
    if (size >= 256 && CanFold()) {
        return Crc32Folding(crc, static_cast<const unsigned char*>(data), size);
    }
#endif
    return Crc32ByTable(crc, data, size);
}

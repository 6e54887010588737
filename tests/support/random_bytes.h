#pragma once
// Bytes that no compressor shrinks and that hold every value, NUL included, the same on every
// run for a given seed.

#include <cstddef>
#include <random>
#include <string>

namespace tolbe_test {

inline std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

}  // namespace tolbe_test

// The archive tests' main: GoogleTest's options, then --extract-workers=N.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/archive/extraction_workers.h"

namespace {

unsigned g_workers = 0;

}  // namespace

unsigned tolbe_test::ExtractionWorkers() {
    return g_workers;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);  // takes away the options it knows
    constexpr char kOption[] = "--extract-workers=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kOption, sizeof kOption - 1) != 0) {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
        g_workers = static_cast<unsigned>(std::stoul(argv[i] + sizeof kOption - 1));
    }
    return RUN_ALL_TESTS();
}

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include "tests/support/debug_capture.h"

namespace {

TEST(DebugOutput, SinkReceivesEachPieceUnchanged) {
    tolbe_test::DebugCapture capture;
    platform::DebugOutput(std::string_view("\xB6\xC1\r\n", 4));
    platform::DebugOutput(std::string_view("a\0b", 3));
    ASSERT_EQ(capture.pieces().size(), 2u);
    EXPECT_EQ(capture.pieces()[0], std::string("\xB6\xC1\r\n"));
    EXPECT_EQ(capture.pieces()[1], std::string("a\0b", 3));
}

}  // namespace

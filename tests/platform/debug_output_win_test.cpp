// The default debug sink on Windows, seen as a debugger sees it: OutputDebugStringA raises
// DBG_PRINTEXCEPTION_C with the text, which a vectored handler of the test process meets first.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/debug_output.h"

namespace {

std::vector<std::string> seenTexts;

LONG CALLBACK SeeDebugString(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        seenTexts.emplace_back(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(DebugOutputOnWindows, DefaultSinkHandsTheBytesUnchangedToOutputDebugStringA) {
    platform::SetDebugSink(nullptr);
    seenTexts.clear();
    void* handler = ::AddVectoredExceptionHandler(1, SeeDebugString);
    ASSERT_NE(handler, nullptr);
    // "读取配置文件失败！" in GBK, as the launcher writes it, and a record value.
    platform::DebugOutput(
        "\xB6\xC1\xC8\xA1\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1\r\n");
    platform::DebugOutput("1.0.3\r\n");
    platform::DebugOutput(std::string_view("up to\0 the NUL", 14));
    ::RemoveVectoredExceptionHandler(handler);

    const std::vector<std::string> expected = {
        "\xB6\xC1\xC8\xA1\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1\r\n", "1.0.3\r\n",
        "up to"};
    EXPECT_EQ(seenTexts, expected);
}

}  // namespace

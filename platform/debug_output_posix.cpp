#include "platform/debug_output.h"

#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix_io.h"
#include "platform/text.h"

namespace platform {
namespace {

std::string GbkToUtf8(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(bytes);
    }
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte that is not GBK (or a sequence cut short): show it and go on after it.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(*in));
            out += escaped;
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string DebugTextForTerminal(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return GbkToUtf8(bytes);
}

void WriteToHostDebugOutput(std::string_view bytes) {
    WriteAll(STDERR_FILENO, DebugTextForTerminal(bytes));
}

}  // namespace platform

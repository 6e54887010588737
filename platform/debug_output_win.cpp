#include <windows.h>

#include <string>

#include "platform/debug_output.h"

namespace platform {

void WriteToHostDebugOutput(std::string_view bytes) {
    const std::string text(bytes);  // NUL-terminated for the call
    ::OutputDebugStringA(text.c_str());
}

}  // namespace platform

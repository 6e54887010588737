#include "archive/entry_name.h"

#include <algorithm>

#include "platform/text.h"

namespace {

// C0 controls (NUL included) and DEL, and the C1 controls U+0080 to U+009F, which UTF-8 writes
// as C2 80 to C2 9F.
bool HoldsControlCharacter(std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::string> EntryNameAsText(std::string_view stored, bool utf8Flag) {
    if (platform::IsValidUtf8(stored)) {
        return std::string(stored);
    }
    if (utf8Flag) {
        return std::nullopt;
    }
    const std::optional<std::wstring> wide = platform::GbkToWide(stored);
    if (!wide) {
        return std::nullopt;
    }
    return platform::WideToUtf8(*wide);  // UTF-8 on every host, whatever the ANSI code page
}

bool EntryNameStaysInside(std::string_view name) {
    if (!name.empty() && (name.front() == '/' || name.front() == '\\')) {
        return false;
    }
    if (name.find(':') != std::string_view::npos || HoldsControlCharacter(name)) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

#include "config/file_helpers.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

std::string ReadFileText(const std::string& path) {
    const auto content = platform::ReadWholeFile(path, kMaxTextFileBytes);
    if (!content) {
        return std::string();
    }
    std::string text;
    text.reserve(content->size());
    for (size_t i = 0; i < content->size(); ++i) {
        const char c = (*content)[i];
        if (c == '\0') {
            break;
        }
        if (c == '\r' && i + 1 < content->size() && (*content)[i + 1] == '\n') {
            continue;
        }
        text += c;
    }
    return text;
}

std::string GetModuleDir() {
    const std::string path = platform::GetModuleFileName();
    const size_t slash = path.rfind('\\');
    // Without a full path (the module path could not be read) names resolve in the current
    // directory, where the launcher was started.
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::wstring ToWide(const std::string& narrow) {
    return platform::NarrowToWide(narrow);
}

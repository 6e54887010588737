#include "platform/desktop_folder.h"

#include <cstdlib>

#include "platform/files.h"

namespace platform {
namespace {

constexpr std::string_view kDesktopKey = "XDG_DESKTOP_DIR=";
constexpr std::string_view kHomeVariable = "$HOME";
constexpr size_t kUserDirsLimit = 64 * 1024;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// user-dirs.dirs is a shell fragment whose values are double-quoted and may escape '"', '\\',
// '$' and '`' with a backslash.
std::optional<std::string> UnquoteValue(std::string_view value) {
    if (value.size() < 2 || value.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            return i + 1 == value.size() ? std::optional<std::string>(out) : std::nullopt;
        }
        if (c == '\\' && i + 1 < value.size()) {
            out += value[++i];
        } else {
            out += c;
        }
    }
    return std::nullopt;  // no closing quote
}

}  // namespace

std::optional<std::string> XdgDesktopFolder(std::string_view userDirsText,
                                            const std::string& home) {
    std::optional<std::string> folder;
    while (!userDirsText.empty()) {
        const size_t end = userDirsText.find('\n');
        std::string_view line = userDirsText.substr(0, end);
        userDirsText =
            end == std::string_view::npos ? std::string_view() : userDirsText.substr(end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.substr(0, kDesktopKey.size()) != kDesktopKey) {
            continue;
        }
        const auto value = UnquoteValue(line.substr(kDesktopKey.size()));
        if (!value) {
            continue;
        }
        const std::string_view text = *value;
        if (text.substr(0, kHomeVariable.size()) == kHomeVariable &&
            (text.size() == kHomeVariable.size() || text[kHomeVariable.size()] == '/') &&
            !home.empty()) {
            folder = home + std::string(text.substr(kHomeVariable.size()));
        } else if (!text.empty() && text.front() == '/') {
            folder = std::string(text);
        }
    }
    return folder;  // the last assignment wins, as in the shell
}

std::string UsersDesktopFolder() {
    const std::string home = Environment("HOME");
    std::string configHome = Environment("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome.front() != '/') {
        configHome = home.empty() ? std::string() : home + "/.config";
    }
    std::string folder;
    if (!configHome.empty()) {
        const auto text = ReadWholeHostFile(configHome + "/user-dirs.dirs", kUserDirsLimit);
        if (text) {
            folder = XdgDesktopFolder(*text, home).value_or(std::string());
        }
    }
    if (folder.empty() && !home.empty()) {
        folder = home + "/Desktop";
    }
    return !folder.empty() && folder.front() == '/' ? folder : std::string();
}

}  // namespace platform

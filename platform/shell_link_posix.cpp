#include "platform/shell_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr std::string_view kLinkExtension = ".lnk";
constexpr std::string_view kEntryExtension = ".desktop";

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i]))) {
            return false;
        }
    }
    return true;
}

std::string WithoutLinkExtension(std::string_view name) {
    if (EndsWithNoCase(name, kLinkExtension)) {
        name.remove_suffix(kLinkExtension.size());
    }
    return std::string(name);
}

// The host file of a link: its path with ".lnk" turned into ".desktop".
std::optional<std::string> EntryFileOf(std::wstring_view linkPath) {
    const auto hostPath = ToHostPath(WideToNarrow(linkPath));
    if (!hostPath || hostPath->back() == '/') {
        return std::nullopt;
    }
    return WithoutLinkExtension(*hostPath) + std::string(kEntryExtension);
}

// A value of type string in a desktop entry: backslash and control characters escaped, a
// leading blank kept as \s.
std::string EscapeValue(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One quoted argument of the Exec key: '"', '`', '$' and '\' escaped with a backslash inside
// double quotes, '%' doubled (it starts field codes); the string escapes come on top.
std::string ExecArgument(std::string_view path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c == '%' ? std::string("%%") : std::string(1, c);
    }
    quoted += '"';
    return EscapeValue(quoted);
}

std::string FileNameOf(const std::string& hostPath) {
    return hostPath.substr(hostPath.rfind('/') + 1);
}

}  // namespace

bool SaveShellLink(const ShellLink& link, std::wstring_view linkPath) {
    const auto entryFile = EntryFileOf(linkPath);
    const auto program = ToHostPath(WideToNarrow(link.path));
    // Desktops draw pictures; a program's file is no icon to them.
    const auto icon =
        ToHostPath(WideToNarrow(link.iconPicture.empty() ? link.iconPath : link.iconPicture));
    std::optional<std::string> directory;
    if (link.workingDirectory) {
        directory = ToHostPath(WideToNarrow(*link.workingDirectory));
        if (!directory) {
            return false;
        }
    }
    if (!entryFile || !program || !icon) {
        return false;
    }
    const auto hostLink = ToHostPath(WideToNarrow(linkPath));
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + EscapeValue(WithoutLinkExtension(FileNameOf(*hostLink))) + "\n";
    text += "Exec=" + ExecArgument(*program) + "\n";
    if (directory) {
        text += "Path=" + EscapeValue(*directory) + "\n";
    }
    text += "Icon=" + EscapeValue(*icon) + "\n";
    if (!ReplaceHostFile(*entryFile, text)) {
        return false;
    }
    // Executable wherever readable: desktops start only entries marked so.
    struct stat info;
    return ::stat(entryFile->c_str(), &info) == 0 &&
           ::chmod(entryFile->c_str(), info.st_mode | ((info.st_mode & 0444) >> 2)) == 0;
}

bool DeleteShellLink(std::wstring_view linkPath) {
    const auto entryFile = EntryFileOf(linkPath);
    return entryFile && ::unlink(entryFile->c_str()) == 0;
}

}  // namespace platform

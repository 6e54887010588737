#include "platform/sandbox_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/paths.h"

namespace platform {
namespace {

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

std::optional<DriveType> ParseDriveType(std::string_view word) {
    static const std::pair<std::string_view, DriveType> kTypes[] = {
        {"fixed", DriveType::Fixed},     {"removable", DriveType::Removable},
        {"remote", DriveType::Remote},   {"cdrom", DriveType::Cdrom},
        {"ramdisk", DriveType::Ramdisk}, {"unknown", DriveType::Unknown},
    };
    for (const auto& [name, type] : kTypes) {
        if (word == name) {
            return type;
        }
    }
    return std::nullopt;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// "name:port" or "[v6 address]:port".
bool ParseEndpoint(std::string_view text, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    std::string_view name = text.substr(0, colon);
    if (name.front() == '[') {
        if (name.size() < 3 || name.back() != ']') {
            return false;
        }
    } else if (name.find(':') != std::string_view::npos) {
        return false;
    }
    if (!ParseNumber(text.substr(colon + 1), port) || port < 1 || port > 65535) {
        return false;
    }
    host = std::string(name);
    return true;
}

class Parser {
public:
    explicit Parser(const std::string& fileName) : m_fileName(fileName) {}

    SandboxProfileParse Run(std::string_view text) {
        size_t lineNumber = 0;
        while (!text.empty() && m_result.error.empty()) {
            ++lineNumber;
            const size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            if (const size_t hash = line.find('#'); hash != std::string_view::npos) {
                line = line.substr(0, hash);
            }
            m_line = lineNumber;
            ParseLine(SplitWords(line));
        }
        std::sort(m_result.profile.drives.begin(), m_result.profile.drives.end(),
                  [](const DriveFacts& a, const DriveFacts& b) { return a.letter < b.letter; });
        return std::move(m_result);
    }

private:
    void Fail(const std::string& what) {
        if (m_result.error.empty()) {
            m_result.error = m_fileName + ":" + std::to_string(m_line) + ": " + what;
        }
    }

    void ParseLine(const std::vector<std::string_view>& words) {
        if (words.empty()) {
            return;
        }
        if (words[0] == "drive") {
            ParseDrive(words);
        } else if (words[0] == "host") {
            ParseHost(words);
        } else if (words[0] == "desktop") {
            ParseDesktop(words);
        } else if (words[0] == "proxy") {
            ParseProxy(words);
        } else {
            Fail("unknown fact '" + std::string(words[0]) +
                 "' (expected drive, host, desktop or proxy)");
        }
    }

    void ParseDrive(const std::vector<std::string_view>& words) {
        if (words.size() < 4) {
            Fail("a drive line needs a letter, a host root and a type: drive D: /path fixed");
            return;
        }
        DriveFacts drive;
        const std::string_view letter = words[1];
        if (letter.size() != 2 || letter[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(letter[0]))) {
            Fail("bad drive letter '" + std::string(letter) + "' (expected a letter and a colon)");
            return;
        }
        drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
        for (const DriveFacts& other : m_result.profile.drives) {
            if (other.letter == drive.letter) {
                Fail(std::string("drive ") + drive.letter + ": is declared twice");
                return;
            }
        }
        const auto root = NormalizeHostRoot(words[2]);
        if (!root) {
            Fail("drive root '" + std::string(words[2]) +
                 "' must be an absolute host path without '..'");
            return;
        }
        drive.hostRoot = *root;
        const auto type = ParseDriveType(words[3]);
        if (!type) {
            Fail("unknown drive type '" + std::string(words[3]) +
                 "' (expected fixed, removable, remote, cdrom, ramdisk or unknown)");
            return;
        }
        drive.type = *type;
        for (size_t i = 4; i < words.size(); ++i) {
            if (!ParseDriveOption(words[i], drive)) {
                return;
            }
        }
        m_result.profile.drives.push_back(std::move(drive));
    }

    bool ParseDriveOption(std::string_view option, DriveFacts& drive) {
        if (option == "usb") {
            drive.usb = true;
        } else if (option == "noquery") {
            drive.deviceQueryFails = true;
        } else if (option == "free=fail") {
            drive.freeQueryFails = true;
        } else if (option.substr(0, 5) == "free=") {
            uint64_t bytes = 0;
            if (!ParseNumber(option.substr(5), bytes)) {
                Fail("bad free space '" + std::string(option) +
                     "' (expected free=BYTES or free=fail)");
                return false;
            }
            drive.freeBytes = bytes;
        } else {
            Fail("unknown drive option '" + std::string(option) +
                 "' (expected usb, noquery, free=BYTES or free=fail)");
            return false;
        }
        return true;
    }

    void ParseHost(const std::vector<std::string_view>& words) {
        HostRedirect redirect;
        if (words.size() != 3 || !ParseEndpoint(words[1], redirect.fromHost, redirect.fromPort) ||
            !ParseEndpoint(words[2], redirect.toHost, redirect.toPort)) {
            Fail("a host line is: host NAME:PORT ADDRESS:PORT");
            return;
        }
        for (const HostRedirect& other : m_result.profile.hosts) {
            if (other.fromHost == redirect.fromHost && other.fromPort == redirect.fromPort) {
                Fail("host " + std::string(words[1]) + " is redirected twice");
                return;
            }
        }
        m_result.profile.hosts.push_back(std::move(redirect));
    }

    void ParseProxy(const std::vector<std::string_view>& words) {
        if (words.size() != 2 || words[1] != "host") {
            Fail("a proxy line is: proxy host");
            return;
        }
        m_result.profile.hostProxy = true;
    }

    void ParseDesktop(const std::vector<std::string_view>& words) {
        if (words.size() != 2) {
            Fail("a desktop line is: desktop /absolute/folder");
            return;
        }
        if (m_result.profile.desktop) {
            Fail("the desktop is declared twice");
            return;
        }
        const auto folder = NormalizeHostRoot(words[1]);
        if (!folder) {
            Fail("desktop folder '" + std::string(words[1]) +
                 "' must be an absolute host path without '..'");
            return;
        }
        m_result.profile.desktop = *folder;
    }

    std::string m_fileName;
    size_t m_line = 0;
    SandboxProfileParse m_result;
};

}  // namespace

SandboxProfileParse ParseSandboxProfile(std::string_view text, const std::string& fileName) {
    return Parser(fileName).Run(text);
}

}  // namespace platform

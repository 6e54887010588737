// paths.h on Windows: host paths are Windows paths. Without a sandbox profile every drive letter
// is its own root; under one, the profile's drives map to their host folders (Windows form).

#include <cctype>

#include "platform/host_facts.h"
#include "platform/host_path_form.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win_io.h"

namespace platform {
namespace {

bool IsDriveComponent(std::string_view part) {
    return part.size() == 2 && std::isalpha(static_cast<unsigned char>(part[0])) && part[1] == ':';
}

// Every letter A: to Z:, each the root of itself: the drive table of a host without a profile,
// so that a Windows-form path stays the path it is.
const std::vector<DriveFacts>& EveryDriveAsItself() {
    static const std::vector<DriveFacts> drives = [] {
        std::vector<DriveFacts> table;
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            DriveFacts drive;
            drive.letter = letter;
            drive.hostRoot = std::string(1, letter) + ":\\";
            table.push_back(drive);
        }
        return table;
    }();
    return drives;
}

std::vector<DriveFacts> DrivesInForce() {
    const auto facts = Host();
    return facts->sandboxed ? facts->drives : EveryDriveAsItself();
}

// A wide Win32 call that fills a buffer and returns the length it needs or wrote.
template <typename Call>
std::wstring GrowingBuffer(Call call) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string CurrentDirectory() {
    return WideToNarrow(GrowingBuffer(
        [](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); }));
}

}  // namespace

bool IsHostSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAbsoluteHostPath(std::string_view path) {
    return path.size() >= 3 && IsDriveComponent(path.substr(0, 2)) && IsHostSeparator(path[2]);
}

std::optional<std::string> JoinHostComponents(const std::vector<std::string_view>& parts) {
    if (parts.empty() || !IsDriveComponent(parts.front())) {
        return std::nullopt;
    }
    std::string out(1, static_cast<char>(std::toupper(static_cast<unsigned char>(parts[0][0]))));
    out += ":\\";
    for (size_t i = 1; i < parts.size(); ++i) {
        // "name:stream" would reach an alternate data stream of the file "name".
        if (parts[i].find(':') != std::string_view::npos) {
            return std::nullopt;
        }
        if (i > 1) {
            out += '\\';
        }
        out += parts[i];
    }
    return out;
}

bool SameHostName(std::string_view a, std::string_view b) {
    return EqualsNoCase(a, b);
}

std::optional<std::string> ToHostPath(std::string_view windowsPath) {
    return MapToHostPath(windowsPath, DrivesInForce(), CurrentDirectory());
}

std::string ToWindowsPath(std::string_view hostPath) {
    std::string absolute(hostPath);
    if (!IsAbsoluteHostPath(absolute)) {
        const std::wstring wide = NarrowToWide(absolute);
        absolute = WideToNarrow(GrowingBuffer([&wide](wchar_t* buffer, DWORD size) {
            return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
        }));
    }
    return MapToWindowsPath(absolute, DrivesInForce());
}

std::string GetModuleFileName() {
    // GetModuleFileNameW cuts the path short to fit and then returns the buffer's size.
    const std::wstring module = GrowingBuffer([](wchar_t* buffer, DWORD size) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer, size);
        return length >= size ? size : length;
    });
    return module.empty() ? std::string() : ToWindowsPath(WideToNarrow(module));
}

}  // namespace platform

// The portable half of volumes.h, and the answers of volume_facts.h.

#include "platform/volumes.h"

#include <cctype>

#include "platform/host_facts.h"
#include "platform/text.h"
#include "platform/volume_facts.h"

namespace platform {
namespace {

constexpr std::wstring_view kDevicePrefix = LR"(\\.\)";

}  // namespace

bool DriveHasRoomFor(std::string_view windowsPath, uint64_t bytes) {
    if (windowsPath.size() < 2 || windowsPath[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        return true;
    }
    const auto free = TotalFreeBytes(NarrowToWide(windowsPath.substr(0, 2)));
    return !free || *free >= bytes;
}

std::optional<char> DriveLetterOf(std::wstring_view drive) {
    if (drive.size() < 2 || drive[1] != L':' || drive[0] > 0x7F ||
        !std::isalpha(static_cast<unsigned char>(drive[0]))) {
        return std::nullopt;
    }
    const std::wstring_view rest = drive.substr(2);
    if (!rest.empty() && rest != L"\\" && rest != L"/") {
        return std::nullopt;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
}

std::optional<DriveFacts> FindDriveFacts(std::wstring_view drive) {
    const auto letter = DriveLetterOf(drive);
    if (!letter) {
        return std::nullopt;
    }
    const auto host = Host();
    for (const DriveFacts& facts : host->drives) {
        if (facts.letter == *letter) {
            return facts;
        }
    }
    return std::nullopt;
}

std::optional<std::wstring_view> DriveOfDevicePath(std::wstring_view devicePath) {
    if (devicePath.substr(0, kDevicePrefix.size()) != kDevicePrefix) {
        return std::nullopt;
    }
    const std::wstring_view drive = devicePath.substr(kDevicePrefix.size());
    if (drive.size() != 2 || !DriveLetterOf(drive)) {
        return std::nullopt;
    }
    return drive;
}

std::wstring DriveListOf(const std::vector<DriveFacts>& drives) {
    std::wstring list;
    for (const DriveFacts& drive : drives) {
        list += static_cast<wchar_t>(drive.letter);
        list += L":\\";
        list += L'\0';
    }
    return list;
}

uint32_t CopyDriveList(std::wstring_view list, uint32_t length, wchar_t* buffer) {
    if (list.empty()) {
        return 0;
    }
    const auto needed = static_cast<uint32_t>(list.size() + 1);
    if (needed > length || buffer == nullptr) {
        return needed;
    }
    list.copy(buffer, list.size());
    buffer[list.size()] = L'\0';
    return static_cast<uint32_t>(list.size());
}

}  // namespace platform

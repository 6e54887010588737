#include "install/drive_selection.h"

#include <cstddef>
#include <cstdint>

#include "platform/volumes.h"

namespace {

// The drive list buffer, in wide characters: room for every letter of the alphabet.
constexpr uint32_t kDriveListLength = 260;
// Each entry of the list: letter, colon, backslash, NUL.
constexpr size_t kDriveEntryLength = 4;
constexpr double kPerKiB = 1.0 / 1024.0;
constexpr wchar_t kDevicePrefix[] = LR"(\\.\)";

std::wstring ToUpperAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

}  // namespace

bool IsUsbVolume(const std::wstring& drive) {
    const auto busType = platform::StorageBusTypeOf(kDevicePrefix + drive);
    return busType && *busType == platform::kBusTypeUsb;
}

void SelectInstallDrive(std::wstring& drive, const std::function<bool(const std::wstring&)>& usable,
                        const std::function<bool(const std::wstring&)>& preferred) {
    wchar_t list[kDriveListLength] = {};
    platform::LogicalDriveStrings(kDriveListLength, list);  // a failure leaves an empty list

    std::wstring bestDrive;
    double bestGiB = 0.0;
    for (size_t at = 0; at + 1 < kDriveListLength && (list[at] != L'\0' || list[at + 1] != L'\0');
         at += kDriveEntryLength) {
        const std::wstring letter(1, list[at]);
        const bool isSystemDrive = ToUpperAscii(letter) == L"C";
        const std::wstring candidate = letter + L":";
        if (platform::DriveTypeOf(candidate) != platform::DriveType::Fixed ||
            IsUsbVolume(candidate)) {
            continue;
        }
        const auto freeBytes = platform::TotalFreeBytes(candidate);
        if (!freeBytes || isSystemDrive || (usable && !usable(candidate))) {
            continue;
        }
        if (preferred && preferred(candidate)) {
            drive = candidate;
            return;
        }
        const double freeGiB = static_cast<double>(*freeBytes) * kPerKiB * kPerKiB * kPerKiB;
        if (freeGiB > bestGiB) {
            bestDrive = candidate;
            bestGiB = freeGiB;
        }
    }
    if (!bestDrive.empty()) {
        drive = bestDrive;
    }
}

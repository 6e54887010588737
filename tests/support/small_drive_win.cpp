#include "tests/support/small_drive_win.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/text.h"

namespace tolbe_test {

std::optional<std::string> SmallDriveRoot() {
    const char* drive = std::getenv("TOLBE_TEST_SMALL_DRIVE");
    if (drive == nullptr || std::string(drive).size() < 2) {
        return std::nullopt;
    }
    return std::string(drive, 2) + "\\";
}

DriveFiller::DriveFiller(const std::string& folder, uint64_t roomBytes)
    : m_path(platform::NarrowToWide(folder) + L"\\filler.bin") {
    const HANDLE file = ::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot make the filler in " + folder);
    }
    // Written until the drive is full, then cut back by the room wanted.
    const std::vector<char> block(1 << 20, 'f');
    DWORD written = 0;
    while (::WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
           written == block.size()) {
    }
    LARGE_INTEGER size;
    bool cut = ::GetFileSizeEx(file, &size) != 0;
    if (cut && roomBytes > 0) {
        LARGE_INTEGER end;
        end.QuadPart = size.QuadPart > static_cast<LONGLONG>(roomBytes)
                           ? size.QuadPart - static_cast<LONGLONG>(roomBytes)
                           : 0;
        cut = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    }
    ::CloseHandle(file);
    if (!cut) {
        ::DeleteFileW(m_path.c_str());
        throw std::runtime_error("cannot cut the filler in " + folder);
    }
}

DriveFiller::~DriveFiller() {
    ::DeleteFileW(m_path.c_str());
}

}  // namespace tolbe_test

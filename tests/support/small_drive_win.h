#pragma once
// A drive with little room for the Windows tests of a full disk: the small drive of Wine that
// tests/platform/wine_drives.sh makes (a tmpfs of its own), which it names in the environment
// variable TOLBE_TEST_SMALL_DRIVE ("F:67108864": the drive and its size).

#include <cstdint>
#include <optional>
#include <string>

namespace tolbe_test {

// The small drive's root ("F:\"), or nullopt when the test does not run through wine_drives.sh.
std::optional<std::string> SmallDriveRoot();

// Fills the drive of `folder` with a file in that folder until about `roomBytes` stay free (the
// file system gives room in blocks of a few KiB); the file goes when the object does.
class DriveFiller {
public:
    DriveFiller(const std::string& folder, uint64_t roomBytes);
    ~DriveFiller();
    DriveFiller(const DriveFiller&) = delete;
    DriveFiller& operator=(const DriveFiller&) = delete;

private:
    std::wstring m_path;
};

}  // namespace tolbe_test

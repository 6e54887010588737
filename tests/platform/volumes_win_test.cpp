// The volume queries on Windows against real drives of Wine, set up by wine_drives.sh: D:, E:
// and F: linked to fresh folders, E: a CD-ROM drive by Wine's registry, F: on a small tmpfs of
// its own. TOLBE_TEST_WINE_DRIVES lists the drives and types it made ("D:fixed E:cdrom F:fixed"),
// TOLBE_TEST_SMALL_DRIVE the small drive and its size ("F:67108864").

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host_facts.h"
#include "platform/text.h"
#include "platform/volumes.h"

namespace {

using platform::DriveType;

struct MadeDrive {
    std::wstring drive;  // "D:"
    DriveType type;
};

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

std::vector<MadeDrive> MadeDrives() {
    std::vector<MadeDrive> drives;
    std::istringstream words(Variable("TOLBE_TEST_WINE_DRIVES"));
    std::string word;
    while (words >> word) {
        const std::string type = word.substr(2);
        drives.push_back(
            {platform::NarrowToWide(word.substr(0, 2)), type == "cdrom"     ? DriveType::Cdrom
                                                        : type == "network" ? DriveType::Remote
                                                                            : DriveType::Fixed});
    }
    return drives;
}

class WineDrives : public ::testing::Test {
protected:
    void SetUp() override {
        m_drives = MadeDrives();
        const std::string small = Variable("TOLBE_TEST_SMALL_DRIVE");
        if (m_drives.empty() || small.size() < 4) {
            GTEST_SKIP() << "run through wine_drives.sh, which makes the drives";
        }
        m_small = platform::NarrowToWide(small.substr(0, 2));
        m_smallBytes = std::stoull(small.substr(2));
        platform::SetHostFacts({});  // no profile: Windows answers
    }
    std::vector<MadeDrive> m_drives;
    std::wstring m_small;
    uint64_t m_smallBytes = 0;
};

TEST_F(WineDrives, DriveListHoldsEveryDriveInLetterOrder) {
    wchar_t buffer[260] = {};
    const uint32_t length = platform::LogicalDriveStrings(260, buffer);
    ASSERT_GT(length, 0u);
    std::vector<std::wstring> roots;
    for (const wchar_t* root = buffer; *root != L'\0'; root += std::wcslen(root) + 1) {
        roots.emplace_back(root);
    }
    EXPECT_EQ(length, roots.size() * 4);
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
    for (const std::wstring& root : {std::wstring(L"C:\\"), std::wstring(L"Z:\\")}) {
        EXPECT_NE(std::find(roots.begin(), roots.end(), root), roots.end());
    }
    for (const MadeDrive& made : m_drives) {
        EXPECT_NE(std::find(roots.begin(), roots.end(), made.drive + L"\\"), roots.end())
            << platform::WideToNarrow(made.drive);
    }
    // One character short: nothing is written, the room needed is told.
    wchar_t small[260];
    std::fill(std::begin(small), std::end(small), L'#');
    EXPECT_EQ(platform::LogicalDriveStrings(length, small), length + 1);
    EXPECT_EQ(small[0], L'#');
}

TEST_F(WineDrives, TypesComeFromWinesRegistry) {
    for (const MadeDrive& made : m_drives) {
        EXPECT_EQ(platform::DriveTypeOf(made.drive), made.type)
            << platform::WideToNarrow(made.drive);
        EXPECT_EQ(platform::DriveTypeOf(made.drive + L"\\"), made.type);
    }
    EXPECT_EQ(platform::DriveTypeOf(L"C:"), DriveType::Fixed);
    wchar_t free = L'\0';  // a letter that names no drive
    for (wchar_t letter = L'Y'; letter > L'C' && free == L'\0'; --letter) {
        if ((::GetLogicalDrives() & (1u << (letter - L'A'))) == 0) {
            free = letter;
        }
    }
    ASSERT_NE(free, L'\0');
    EXPECT_EQ(platform::DriveTypeOf(std::wstring(1, free) + L":"), DriveType::NoRootDir);
    EXPECT_EQ(platform::DriveTypeOf(L"D:\\Tolbe"), DriveType::NoRootDir);
    EXPECT_FALSE(platform::TotalFreeBytes(std::wstring(1, free) + L":"));
}

TEST_F(WineDrives, FreeSpaceIsThatOfTheFilesystemBehindEachDrive) {
    const auto small = platform::TotalFreeBytes(m_small);
    ASSERT_TRUE(small);
    EXPECT_LE(*small, m_smallBytes);
    EXPECT_GT(*small, m_smallBytes / 2);
    const auto system = platform::TotalFreeBytes(L"C:");
    ASSERT_TRUE(system);
    EXPECT_NE(*system, *small);

    // Bytes written onto the small drive show at once in its free space.
    constexpr uint64_t kWritten = 8 << 20;
    const std::wstring file = m_small + L"\\filler.bin";
    const HANDLE out = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    const std::string chunk(1 << 20, 'x');
    for (uint64_t done = 0; done < kWritten; done += chunk.size()) {
        DWORD written = 0;
        ASSERT_TRUE(
            ::WriteFile(out, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr));
    }
    ::CloseHandle(out);
    const auto after = platform::TotalFreeBytes(m_small);
    ::DeleteFileW(file.c_str());
    ASSERT_TRUE(after);
    EXPECT_LE(*after + kWritten, *small);
    EXPECT_TRUE(
        platform::DriveHasRoomFor(platform::WideToNarrow(m_small) + R"(\Client.zip)", *after));
    EXPECT_FALSE(platform::DriveHasRoomFor(platform::WideToNarrow(m_small) + R"(\Client.zip)",
                                           m_smallBytes + 1));
}

TEST_F(WineDrives, DeviceQueryAnswersForALinkedDrive) {
    // Wine answers the storage property query with a bus of its own choosing, never USB.
    for (const MadeDrive& made : m_drives) {
        if (made.type != DriveType::Fixed) {
            continue;
        }
        const auto bus = platform::StorageBusTypeOf(LR"(\\.\)" + made.drive);
        ASSERT_TRUE(bus) << platform::WideToNarrow(made.drive);
        EXPECT_NE(*bus, platform::kBusTypeUsb);
    }
    EXPECT_FALSE(platform::StorageBusTypeOf(L"D:"));  // not a device path
    EXPECT_FALSE(platform::StorageBusTypeOf(LR"(\\.\D:\)"));
}

}  // namespace

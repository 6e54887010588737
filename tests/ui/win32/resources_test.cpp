// What the executable carries for Windows and for its window: dialog 102, the bitmaps, icon 128
// at the sizes the shell asks for, the manifest and the version resource. The program looked at
// is the one TOLBE_TEST_MODULE names (tolbe-launcher.exe), or else this test program, which is
// linked with the very same resources.

#include "tests/ui/win32/win32_test_support.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "ui/resource_ids.h"

namespace {

std::wstring ModulePath() {
    if (const wchar_t* named = _wgetenv(L"TOLBE_TEST_MODULE")) {
        return named;
    }
    wchar_t path[MAX_PATH];
    return std::wstring(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
}

// The module's resources, loaded as data: nothing of it runs.
class UiWin32Resources : public testing::Test {
protected:
    void SetUp() override {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        module = ::LoadLibraryExW(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << "cannot load the program as data";
    }
    void TearDown() override {
        if (module != nullptr) {
            ::FreeLibrary(module);
        }
    }

    // The bytes of resource `id` of `type`; empty when there is none.
    std::string Resource(const wchar_t* type, int id) const {
        HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) {
            return "";
        }
        HGLOBAL loaded = ::LoadResource(module, found);
        const auto* bytes = static_cast<const char*>(::LockResource(loaded));
        return bytes != nullptr ? std::string(bytes, ::SizeofResource(module, found)) : "";
    }

    const std::wstring path = ModulePath();
    HMODULE module = nullptr;
};

TEST_F(UiWin32Resources, DialogBitmapsAndIconOfTheWindow) {
    // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, extended style, style, item count,
    // x, y, cx, cy.
    const std::string dialog = Resource(RT_DIALOG, IDD_ZORVDOWNLOADER_DIALOG);
    ASSERT_GE(dialog.size(), 26u);
    const auto word = [&dialog](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(dialog[at]) |
                                     static_cast<unsigned char>(dialog[at + 1]) << 8);
    };
    const auto dword = [&word](size_t at) { return word(at) | word(at + 2) << 16; };
    EXPECT_EQ(word(2), 0xFFFFu) << "an extended template";
    EXPECT_EQ(dword(8), static_cast<unsigned>(WS_EX_APPWINDOW));
    EXPECT_EQ(dword(12), static_cast<unsigned>(WS_POPUP | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(word(16), 3u) << "three controls";
    EXPECT_EQ(word(22), 563u);
    EXPECT_EQ(word(24), 375u);

    struct Picture {
        int id;
        int width;
        int height;
    };
    for (const Picture& p : {Picture{IDB_FACE, 980, 650}, Picture{IDB_MASK, 980, 650},
                             Picture{IDB_BAR_BACK, 488, 12}, Picture{IDB_BAR_FORE, 488, 12}}) {
        SCOPED_TRACE(p.id);
        const std::string bitmap = Resource(RT_BITMAP, p.id);
        ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, bitmap.data(), sizeof header);
        EXPECT_EQ(header.biWidth, p.width);
        EXPECT_EQ(std::abs(header.biHeight), p.height);
        EXPECT_EQ(header.biBitCount, 24);
    }

    // GRPICONDIR: reserved, type, count, then 14-byte entries starting with width (0 is 256).
    const std::string icon = Resource(RT_GROUP_ICON, IDR_MAINFRAME);
    ASSERT_GE(icon.size(), 6u);
    std::set<int> sizes;
    const size_t count = static_cast<unsigned char>(icon[4]);
    ASSERT_GE(icon.size(), 6 + count * 14);
    for (size_t i = 0; i < count; ++i) {
        const int width = static_cast<unsigned char>(icon[6 + i * 14]);
        sizes.insert(width == 0 ? 256 : width);
    }
    for (const int wanted : {16, 24, 32, 48, 256}) {
        EXPECT_EQ(sizes.count(wanted), 1u) << "icon 128 at " << wanted << " pixels";
    }
}

TEST_F(UiWin32Resources, ManifestAsksForAdministratorDpiAwarenessAndCommonControls6) {
    const std::string manifest = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty()) << "no manifest (RT_MANIFEST 1)";
    const auto has = [&manifest](const char* text) {
        return manifest.find(text) != std::string::npos;
    };
    EXPECT_TRUE(has(R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)"));
    EXPECT_TRUE(has(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"));
    EXPECT_TRUE(has(">PerMonitorV2, PerMonitor</dpiAwareness>"));
    EXPECT_TRUE(has(">true/pm</dpiAware>"));
    // Windows 7, 8, 8.1, 10 and 11.
    for (const char* os :
         {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_TRUE(has((std::string("<supportedOS Id=\"") + os + "\"/>").c_str())) << os;
    }
}

TEST_F(UiWin32Resources, VersionResourceNamesTheProductAndTheFileVersion) {
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "no version resource";
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(TOLBE_VERSION_MAJOR << 16 | TOLBE_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(TOLBE_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof(Translation));
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language,
             translation->codePage);
    const auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(prefix) + name;
        if (!::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                              &chars) ||
            text == nullptr) {
            return std::wstring();
        }
        return std::wstring(text);
    };
    EXPECT_EQ(value(L"ProductName"), L"Tolbe");
    const std::string version = std::to_string(TOLBE_VERSION_MAJOR) + "." +
                                std::to_string(TOLBE_VERSION_MINOR) + "." +
                                std::to_string(TOLBE_VERSION_PATCH) + ".0";
    EXPECT_EQ(value(L"FileVersion"), std::wstring(version.begin(), version.end()));
}

}  // namespace

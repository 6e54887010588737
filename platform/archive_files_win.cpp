// archive_files.h on Windows. The extraction target holds its folders by handle and path, and
// checks before each use that the path of the folder it entered last still leads to that very
// folder (volume and file index), so that a junction or symbolic link swapped in for one of the
// folders is never written through. Folders are entered without following a reparse point, and
// a link at an entry's name is removed itself, never its target. Names below the target are
// UTF-8 text and become the wide names they stand for, whatever the ANSI code page; a name that
// Windows would read as another name or as a device is refused. The permission bits of an entry
// mean on Windows only what the attributes can hold: no write bit for the owner makes the file
// read-only.

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/archive_files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/win_io.h"

namespace platform {
namespace {

std::optional<DWORD> AttributesAt(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    return hostPath ? EntryAttributes(*hostPath) : std::nullopt;
}

// The names Windows gives to devices: "CON", "nul.txt" or "Com1 .log" opens the device in any
// folder, whatever follows the first dot.
bool NamesADevice(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualsNoCase(base, device)) {
            return true;
        }
    }
    // COM1 to COM9 and LPT1 to LPT9, and the superscript digits 1, 2 and 3 that Windows takes
    // for them too (UTF-8 C2 B9, C2 B2, C2 B3).
    if (!StartsWithNoCase(base, "COM") && !StartsWithNoCase(base, "LPT")) {
        return false;
    }
    const std::string_view digit = base.substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
           digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

// True when Windows allows the character in a name: no control character, none of <>:"|?* (":"
// would also name a stream of another file). The separators never reach a component.
bool AllowedInName(char c) {
    return static_cast<unsigned char>(c) >= 0x20 &&
           std::string_view("<>:\"|?*").find(c) == std::string_view::npos;
}

// The wide name of one component of a path below the target, which is UTF-8 text; nullopt
// (EINVAL) for no UTF-8, and for a name that Windows would not keep as it is: one ending in a dot
// or a blank (Windows drops them, so "a." is "a", and "..." or ".. " may even be read as a
// folder above), one holding a character no Windows name may hold, and a device's name.
std::optional<std::wstring> ComponentName(std::string_view component) {
    std::optional<std::wstring> wide;
    if (!component.empty() && component.back() != '.' && component.back() != ' ' &&
        std::all_of(component.begin(), component.end(), AllowedInName) &&
        !NamesADevice(component)) {
        wide = Utf8ToWide(component);
    }
    if (!wide) {
        errno = EINVAL;
    }
    return wide;
}

// The folder `name` inside `parent`, made first when nothing is there unless `make` is false.
std::optional<HeldFolder> EnterOrMakeFolder(const HeldFolder& parent, std::string_view name,
                                            bool make) {
    const std::optional<std::wstring> wide = ComponentName(name);
    if (!wide) {
        return std::nullopt;
    }
    const std::wstring path = parent.path + L"\\" + *wide;
    // Someone else making it meanwhile is as good as making it; anything else that is there (a
    // link, a file) fails the hold below.
    if (make && !::CreateDirectoryW(path.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
        FailWithLastError();
        return std::nullopt;
    }
    return HoldFolder(path);
}

// The components of a relative path below an extraction target; false (EINVAL) for one that
// climbs with ".." or holds a NUL byte.
bool RelativeComponents(std::string_view relativePath, std::vector<std::string_view>& parts) {
    bool climbed = false;
    parts = PathComponents(relativePath, PathForm::Windows, &climbed);
    if (climbed || relativePath.find('\0') != std::string_view::npos) {
        errno = EINVAL;
        return false;
    }
    return true;
}

// Clears the way for a new file at the path: a file there goes (a read-only one too), a link
// goes itself. False (errno set) when a folder is there or the entry cannot be removed (a
// running program's file, for one).
bool RemoveEntryForFile(const std::wstring& path) {
    const std::optional<DWORD> attributes = EntryAttributes(path);
    if (!attributes) {
        return errno == ENOENT;
    }
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsReparsePoint(*attributes)) {
        errno = EISDIR;
        return false;
    }
    if (!IsReparsePoint(*attributes) && (*attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ClearFileAttributes(path);
    }
    return DeleteEntryItself(path);
}

}  // namespace

bool IsDirectoryAt(std::string_view windowsPath) {
    const std::optional<DWORD> attributes = AttributesAt(windowsPath);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFileAt(std::string_view windowsPath) {
    const std::optional<DWORD> attributes = AttributesAt(windowsPath);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool MakeDirectoryAt(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    return hostPath && (::CreateDirectoryW(hostPath->c_str(), nullptr) || FailWithLastError());
}

std::optional<ArchiveInputFile> ArchiveInputFile::Open(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    if (!hostPath) {
        return std::nullopt;
    }
    const int fd =
        CrtDescriptorOf(WinHandle(::CreateFileW(hostPath->c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
                        _O_RDONLY);
    return fd >= 0 ? std::optional<ArchiveInputFile>(ArchiveInputFile(fd)) : std::nullopt;
}

std::optional<size_t> ArchiveInputFile::ReadAt(uint64_t offset, void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const uint64_t at = offset + done;
        OVERLAPPED place = {};
        place.Offset = static_cast<DWORD>(at);
        place.OffsetHigh = static_cast<DWORD>(at >> 32);
        const size_t left = size - done;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!::ReadFile(HandleOf(m_fd.get()), static_cast<char*>(data) + done, chunk, &got,
                        &place)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            FailWithLastError();
            return std::nullopt;
        }
        if (got == 0) {
            break;  // the end of the file
        }
        done += got;
    }
    return done;
}

std::optional<uint64_t> ArchiveInputFile::Size() {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(HandleOf(m_fd.get()), &size)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(size.QuadPart);
}

struct ExtractionTarget::Folders {
    explicit Folders(HeldFolder root) : root(std::move(root)) {}

    HeldFolder root;
    std::string lastFolder;                    // components of lastFolderHeld, "/"-joined
    std::optional<HeldFolder> lastFolderHeld;  // the folder entered last, when not the root

    // The folder made of the components, entered one by one from the root and made when
    // missing unless `make` is false, or nullptr (errno set). The last folder entered stays
    // held, since consecutive entries of an archive mostly share their folder; it is checked
    // again before each use.
    const HeldFolder* Enter(const std::vector<std::string_view>& folders, bool make = true) {
        if (folders.empty()) {
            return StillThere(root) ? &root : nullptr;
        }
        std::string key;
        for (const std::string_view name : folders) {
            key += '/';
            key += name;
        }
        if (lastFolderHeld && key == lastFolder && StillThere(*lastFolderHeld)) {
            return &*lastFolderHeld;
        }
        lastFolderHeld.reset();
        lastFolder.clear();
        if (!StillThere(root)) {
            return nullptr;
        }
        for (const std::string_view name : folders) {
            std::optional<HeldFolder> next =
                EnterOrMakeFolder(lastFolderHeld ? *lastFolderHeld : root, name, make);
            if (!next) {
                const int cause = errno;
                lastFolderHeld.reset();
                errno = cause;
                return nullptr;
            }
            lastFolderHeld = std::move(next);  // lets go of the parent, which is no longer needed
        }
        lastFolder = std::move(key);
        return &*lastFolderHeld;
    }

    // The path of the entry named by the last component of `parts` in the folder made of the
    // others, which are made when missing unless `make` is false; nullopt (errno set) when the
    // name cannot be a file's or a folder cannot be entered.
    std::optional<std::wstring> EntryPath(std::vector<std::string_view> parts, bool make) {
        if (parts.empty()) {
            errno = EISDIR;  // the target itself
            return std::nullopt;
        }
        const std::optional<std::wstring> name = ComponentName(parts.back());
        parts.pop_back();
        const HeldFolder* folder = name ? Enter(parts, make) : nullptr;
        if (folder == nullptr) {
            return std::nullopt;
        }
        return folder->path + L"\\" + *name;
    }
};

std::optional<ExtractionTarget> ExtractionTarget::Open(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    if (!hostPath) {
        return std::nullopt;
    }
    std::optional<HeldFolder> root = HoldFolder(*hostPath);
    if (!root) {
        return std::nullopt;
    }
    return ExtractionTarget(std::make_unique<Folders>(std::move(*root)));
}

std::optional<ExtractionTarget> ExtractionTarget::OpenAnother() const {
    // The same folder by a handle of its own, with the path and the identity it was held by:
    // every use checks that the path still leads to this very folder.
    HANDLE duplicate = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), m_folders->root.handle.get(),
                           ::GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        FailWithLastError();
        return std::nullopt;
    }
    HeldFolder root;
    root.handle = WinHandle(duplicate);
    root.path = m_folders->root.path;
    root.info = m_folders->root.info;
    return ExtractionTarget(std::make_unique<Folders>(std::move(root)));
}

ExtractionTarget::ExtractionTarget(std::unique_ptr<Folders> folders)
    : m_folders(std::move(folders)) {}

ExtractionTarget::ExtractionTarget(ExtractionTarget&& other) noexcept = default;
ExtractionTarget& ExtractionTarget::operator=(ExtractionTarget&& other) noexcept = default;
ExtractionTarget::~ExtractionTarget() = default;

bool ExtractionTarget::MakeFolders(std::string_view relativePath) {
    std::vector<std::string_view> folders;
    return RelativeComponents(relativePath, folders) && m_folders->Enter(folders) != nullptr;
}

std::optional<FileWriter> ExtractionTarget::CreateFile(std::string_view relativePath,
                                                       unsigned mode) {
    std::vector<std::string_view> parts;
    if (!RelativeComponents(relativePath, parts)) {
        return std::nullopt;
    }
    const std::optional<std::wstring> path = m_folders->EntryPath(std::move(parts), true);
    // Removing first, then creating exclusively, never follows a link at the name and never
    // writes into a file that another name (a hard link) still uses.
    if (!path || !RemoveEntryForFile(*path)) {
        return std::nullopt;
    }
    const DWORD attributes =
        (mode & kFilePermissionMask & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    const int fd =
        CrtDescriptorOf(WinHandle(::CreateFileW(path->c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                nullptr, CREATE_NEW, attributes, nullptr)),
                        _O_WRONLY);
    return fd >= 0 ? std::optional<FileWriter>(FileWriter(fd)) : std::nullopt;
}

bool ExtractionTarget::RemoveFile(std::string_view relativePath) {
    std::vector<std::string_view> parts;
    if (!RelativeComponents(relativePath, parts)) {
        return false;
    }
    const bool named = !parts.empty();
    const std::optional<std::wstring> path = m_folders->EntryPath(std::move(parts), false);
    if (!path) {
        return named && errno == ENOENT;  // no folder, so no file either
    }
    return RemoveEntryForFile(*path);
}

}  // namespace platform

// archive_files.h on Windows. The extraction target holds its folders by handle and path, and
// checks before each use that the path of the folder it entered last still leads to that very
// folder (volume and file index), so that a junction or symbolic link swapped in for one of the
// folders is never written through. Folders are entered without following a reparse point, and
// a link at an entry's name is removed itself, never its target. The permission bits of an
// entry mean on Windows only what the attributes can hold: no write bit for the owner makes the
// file read-only.

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/archive_files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win_io.h"

namespace platform {
namespace {

std::optional<DWORD> AttributesAt(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    return hostPath ? EntryAttributes(*hostPath) : std::nullopt;
}

// The wide name of one component; nullopt (EINVAL) for one holding ':', which would name an
// alternate data stream.
std::optional<std::wstring> ComponentName(std::string_view component) {
    if (component.find(':') != std::string_view::npos) {
        errno = EINVAL;
        return std::nullopt;
    }
    return NarrowToWide(component);
}

// The folder `name` inside `parent`, made first when nothing is there.
std::optional<HeldFolder> EnterOrMakeFolder(const HeldFolder& parent, std::string_view name) {
    const std::optional<std::wstring> wide = ComponentName(name);
    if (!wide) {
        return std::nullopt;
    }
    const std::wstring path = parent.path + L"\\" + *wide;
    // Someone else making it meanwhile is as good as making it; anything else that is there (a
    // link, a file) fails the hold below.
    if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
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
    WinHandle file(::CreateFileW(hostPath->c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        FailWithLastError();
        return std::nullopt;
    }
    const int fd = CrtDescriptorOf(std::move(file), _O_RDONLY);
    if (fd < 0) {
        errno = EMFILE;
        return std::nullopt;
    }
    return ArchiveInputFile(fd);
}

ArchiveInputFile::ArchiveInputFile(ArchiveInputFile&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

ArchiveInputFile& ArchiveInputFile::operator=(ArchiveInputFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

ArchiveInputFile::~ArchiveInputFile() {
    Close();
}

void ArchiveInputFile::Close() {
    if (m_fd >= 0) {
        ::_close(m_fd);
        m_fd = -1;
    }
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
        if (!::ReadFile(HandleOf(m_fd), static_cast<char*>(data) + done, chunk, &got, &place)) {
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
    if (!::GetFileSizeEx(HandleOf(m_fd), &size)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(size.QuadPart);
}

struct ExtractionTarget::Folders {
    explicit Folders(HeldFolder root) : root(std::move(root)) {}

    HeldFolder root;
    std::string lastFolder;                    // components of lastFolderHeld, "/"-joined
    std::optional<HeldFolder> lastFolderHeld;  // the folder entered last, when not the root

    // The folder made of the components, made or entered one by one from the root, or nullptr
    // (errno set). The last folder entered stays held, since consecutive entries of an archive
    // mostly share their folder; it is checked again before each use.
    const HeldFolder* Enter(const std::vector<std::string_view>& folders) {
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
                EnterOrMakeFolder(lastFolderHeld ? *lastFolderHeld : root, name);
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
    if (parts.empty()) {
        errno = EISDIR;  // the target itself
        return std::nullopt;
    }
    const std::optional<std::wstring> name = ComponentName(parts.back());
    parts.pop_back();
    const HeldFolder* folder = name ? m_folders->Enter(parts) : nullptr;
    if (folder == nullptr) {
        return std::nullopt;
    }
    const std::wstring path = folder->path + L"\\" + *name;
    // Removing first, then creating exclusively, never follows a link at the name and never
    // writes into a file that another name (a hard link) still uses.
    if (!RemoveEntryForFile(path)) {
        return std::nullopt;
    }
    const DWORD attributes =
        (mode & kFilePermissionMask & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    WinHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 attributes, nullptr));
    if (!file.valid()) {
        FailWithLastError();
        return std::nullopt;
    }
    const int fd = CrtDescriptorOf(std::move(file), _O_WRONLY);
    if (fd < 0) {
        errno = EMFILE;
        return std::nullopt;
    }
    return FileWriter(fd);
}

}  // namespace platform

// TRIAL ONLY (try-sodium branch): stand-ins until the Windows extraction target has them.
namespace platform {
std::optional<ExtractionTarget> ExtractionTarget::OpenAnother() const {
    errno = EMFILE;
    return std::nullopt;
}
bool ExtractionTarget::RemoveFile(std::string_view relativePath) {
    std::vector<std::string_view> parts;
    if (!RelativeComponents(relativePath, parts) || parts.empty()) {
        return false;
    }
    const std::optional<std::wstring> name = ComponentName(parts.back());
    parts.pop_back();
    const HeldFolder* folder = name ? m_folders->Enter(parts) : nullptr;
    return folder != nullptr && RemoveEntryForFile(folder->path + L"\\" + *name);
}
}  // namespace platform

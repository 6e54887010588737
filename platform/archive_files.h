#pragma once
// The few file-system operations the archive extractor needs, on Windows-form paths: asking
// whether a file or a directory is there, making one directory, reading the archive at any
// offset, and writing the extracted folders and files below the client directory without ever
// following a link.
// A path that maps to no host path (see platform/paths.h) exists nowhere and cannot be written.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

// windows.h, when included before this header, maps CreateFile to the ANSI
// function of Windows; the launcher's own functions keep their names.
#ifdef CreateFile
#undef CreateFile
#endif

namespace platform {

// Permission bits of a file written without stored ones: read and write for everyone, less the
// process's umask (what any program's new file gets).
inline constexpr unsigned kDefaultFileMode = 0666;
// The only permission bits an extracted file may carry: read, write and execute for owner, group
// and others; never setuid, setgid or sticky.
inline constexpr unsigned kFilePermissionMask = 0777;

// True when the path names an existing directory (a link to one counts).
bool IsDirectoryAt(std::string_view windowsPath);

// True when the path names something that exists and is not a directory.
bool IsFileAt(std::string_view windowsPath);

// Creates one directory with the usual permissions (0777 less the umask); its parent must exist.
// False when nothing was created, also when the directory was there already.
bool MakeDirectoryAt(std::string_view windowsPath);

// A file read at any offset, as an archive is read; closed when the object goes.
class ArchiveInputFile {
public:
    // Opens the file for reading; nullopt (errno set) when the path maps to no host path or the
    // file cannot be opened.
    static std::optional<ArchiveInputFile> Open(std::string_view windowsPath);
    // The same for a host path, as an operator's tool names it on its command line.
    static std::optional<ArchiveInputFile> OpenHost(const std::string& hostPath);

    ArchiveInputFile(ArchiveInputFile&& other) noexcept = default;
    ArchiveInputFile& operator=(ArchiveInputFile&& other) noexcept = default;
    ~ArchiveInputFile() = default;

    // Reads up to `size` bytes at `offset` into `data`: fewer only at the end of the file.
    // Returns the count, or nullopt on a read error.
    std::optional<size_t> ReadAt(uint64_t offset, void* data, size_t size);

    // The file's size in bytes, or nullopt when it cannot be told.
    std::optional<uint64_t> Size();

private:
    explicit ArchiveInputFile(int fd) : m_fd(fd) {}
    Descriptor m_fd;
};

// The client directory an extraction writes into, held open. Every folder and file below it is
// reached from it one name at a time, and a symbolic link met on the way is never followed: an
// entry cannot be written outside the directory through a link that the folder already holds
// (planted by anyone, or left by an earlier program), whatever the link points to.
//
// Relative paths name places below the directory, their components separated by "\" or "/";
// empty and "." components are skipped. A path with a ".." component or a NUL byte is refused
// (EINVAL): entry names are checked before they get here, so such a path is never expected.
// Relative paths are UTF-8 text on every host, as archive/entry_name.h reads entry names, not the
// ANSI code page: on Windows each name becomes the wide name it stands for, so that a Chinese
// name is written as itself on a system whose code page cannot hold it. On Windows a path that is
// no UTF-8, or that holds a name Windows would not keep as it is, is refused too (EINVAL): a name
// ending in a dot or a blank (Windows drops them), one holding a control character or one of
// <>:"|?*, and a device's name (CON, NUL, COM1, "aux.txt", ...), which would open the device.
//
// One object serves one thread at a time. Several objects on the same directory (OpenAnother)
// may be used by several threads at once: two of them making the same folder at the same moment
// both succeed, and neither follows a link that appears in its place.
class ExtractionTarget {
public:
    // Opens the existing directory at the path. nullopt (errno set) when the path maps to no host
    // path, nothing is there, or what is there is a symbolic link (even one to a directory) or
    // anything else than a directory. The folders above it are the launcher's own choice (a
    // drive's root and the client directory's name) and are taken as they are.
    static std::optional<ExtractionTarget> Open(std::string_view windowsPath);

    ExtractionTarget(ExtractionTarget&& other) noexcept;
    ExtractionTarget& operator=(ExtractionTarget&& other) noexcept;
    ExtractionTarget(const ExtractionTarget&) = delete;
    ExtractionTarget& operator=(const ExtractionTarget&) = delete;
    ~ExtractionTarget();

    // Another handle on the same directory, for another thread: it reaches the directory this
    // one holds open, never whatever the path names by now (on Windows, where the folders are
    // reached by path, its uses fail once the path leads elsewhere, as this one's do). nullopt
    // (errno set) when the host has no handle to spare.
    std::optional<ExtractionTarget> OpenAnother() const;

    // Makes every folder along the relative path (a\b: a, then a\b) with the usual permissions
    // (0777 less the umask), entering those that exist. False (errno set) when one cannot be
    // made, or something else than a folder is in its place (a symbolic link, a file); the
    // folders before it stay.
    bool MakeFolders(std::string_view relativePath);

    // Creates a new, empty regular file at the relative path with the permission bits `mode`
    // (limited to kFilePermissionMask, less the umask), making its folders first as MakeFolders
    // does. A file or a symbolic link already at the path is removed first (a link is never
    // followed, so whatever it points to stays untouched), which also replaces read-only files
    // and programs that are running. nullopt (errno set) when a folder fails as in MakeFolders,
    // the path names no file (it is empty) or a directory, or the folder is not writable.
    std::optional<FileWriter> CreateFile(std::string_view relativePath, unsigned mode);

    // Removes the file or symbolic link at the relative path (a link itself, never what it
    // points to); a folder is never removed. The folders along the path are entered as in
    // MakeFolders, without following a link, but never made. True when nothing is at the path
    // any more; false (errno set) when a folder along it cannot be entered or what is there is a
    // folder or cannot be removed.
    bool RemoveFile(std::string_view relativePath);

private:
    struct Folders;  // the open directory and the last folder entered below it
    explicit ExtractionTarget(std::unique_ptr<Folders> folders);

    std::unique_ptr<Folders> m_folders;
};

}  // namespace platform

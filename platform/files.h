#pragma once
// File operations on Windows-form paths: whole-file reading and safe replacement of small files,
// existence, copying, deletion, attributes, file streams, and new files written in full before
// they are renamed into place.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/descriptor.h"

// windows.h, when included before this header, maps ReplaceFile to the ANSI
// function of Windows; the launcher's own functions keep their names.
#ifdef ReplaceFile
#undef ReplaceFile
#endif

namespace platform {

// On Windows another program may hold a file for a moment (a virus scanner reading a fresh
// file, the search indexer, the game still running): renames, replacements and removals that
// fail for that reason are tried again, 20 ms later, then twice as long each time (at most 1 s
// apart), until they succeed, fail for another reason, or this wait is used up. 10 s unless
// set; tests shorten it. POSIX never holds a name against a rename or removal: no wait there.
inline constexpr std::chrono::milliseconds kWaitForHeldFiles{10000};
void SetWaitForHeldFiles(std::chrono::milliseconds wait);

// The whole content of a regular file, or nullopt when the path maps to no host path, is not a
// regular file, cannot be read, or is larger than maxBytes (errno then tells which). Never waits:
// a FIFO or a device in the file's place is refused at once.
std::optional<std::string> ReadWholeFile(std::string_view windowsPath, size_t maxBytes);
std::optional<std::string> ReadWholeHostFile(const std::string& hostPath, size_t maxBytes);

// Replaces the file's content with `bytes` so that a crash, a full disk or any other failure
// leaves either the old file or the new one, never a mixture: the bytes go to a temporary file
// in the same directory, are flushed to disk, and the temporary file is renamed over the old
// one. A new file gets the usual permissions (0666 less the umask). False when anything fails;
// the old file is then untouched, no temporary file is left, and errno tells the cause.
bool ReplaceFile(std::string_view windowsPath, std::string_view bytes);
bool ReplaceHostFile(const std::string& hostPath, std::string_view bytes);

// Writes `bytes` into a new file that only its owner may read and write (mode 0600 on POSIX,
// whatever the umask; on Windows the process's user owns it, and its protected DACL grants that
// user alone), for secrets such as a signing key: nothing may be at the path yet, a
// link included, which is never followed, so an existing file is never overwritten (errno
// EEXIST). The bytes are flushed to disk before it returns. False when anything fails; a file
// this call made is then removed again, and errno tells the cause.
bool CreateOwnerOnlyHostFile(const std::string& hostPath, std::string_view bytes);

// A file search for the path finds an entry: a file, a folder or a link (even one whose target
// is gone). The name is taken literally; '*' and '?' are no wildcards. A path that ends in a
// separator or names no entry below a drive ("D:", "D:\") finds nothing, as a search needs a
// name to look for.
bool PathExists(std::string_view windowsPath);

// CopyFileA(from, to, FALSE): copies the bytes and the permission bits of the regular file
// `from` to `to`, replacing whatever file is there. The copy is written beside `to` and renamed
// over it, so `to` is never left half written (also when it is a running program). True on
// success; otherwise `to` is untouched, no temporary file is left, and errno tells the cause.
bool CopyFileOver(std::string_view from, std::string_view to);

// DeleteFileW: deletes one file, or a link itself (never its target). A folder is not deleted.
bool DeleteOneFile(std::string_view windowsPath);
bool DeleteOneFile(std::wstring_view windowsPath);

// SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL): clears read-only, so that the file can be
// replaced or deleted. On POSIX the owner gets write permission. A link is left as it is and
// its target untouched (false).
bool MakeFileWritable(std::wstring_view windowsPath);

// A standard file stream, closed when the pointer goes.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// Standard input and output carry bytes as they are, for a tool that reads and writes a file's
// exact text through them: on Windows the C runtime would otherwise write each LF as CR LF and
// stop reading at a ^Z byte. Call it before the first byte goes through them. Nothing to do on
// POSIX.
void UseBinaryStandardStreams();

// fopen on a Windows-form path with an fopen mode ("rb", "wb", ...); the descriptor is not
// inherited by started programs. Null when the path maps to nothing or the open fails.
FilePointer OpenFileStream(std::string_view windowsPath, const char* mode);

class ExtractionTarget;

// A regular file that did not exist before, written from start to end; closed when the object
// goes. Made by CreateNew, or by ExtractionTarget::CreateFile for an extracted entry.
class FileWriter {
public:
    // Creates the file as a new one, exclusively: nothing may be at the path yet, a symbolic link
    // included, which is never followed (so whatever a planted link points to stays untouched).
    // Write access only, the usual permissions (0666 less the umask), not inherited by started
    // programs. Nullopt (errno set) when the path maps to no host path, something is already
    // there, or the folder is missing or not writable.
    static std::optional<FileWriter> CreateNew(std::string_view windowsPath);

    // Opens a regular file that is already there to go on writing it after its first
    // `keepBytes` bytes: whatever follows them is cut off, and writing continues from there. A
    // link is never followed. Nullopt (errno set) when nothing is there, it is not a regular
    // file, or it holds fewer than `keepBytes` bytes; the file is then left as it is.
    static std::optional<FileWriter> OpenToContinue(std::string_view windowsPath,
                                                    uint64_t keepBytes);

    FileWriter(FileWriter&& other) noexcept = default;
    FileWriter& operator=(FileWriter&& other) noexcept = default;
    // Closes the file if Close has not.
    ~FileWriter() = default;

    // Appends all `size` bytes. False when fewer could be written (a full disk, a file size
    // limit, an I/O error); some of them may then be in the file.
    bool Write(const void* data, size_t size);

    // Waits until every byte written so far is on the disk (a crash afterwards keeps them).
    bool Sync();

    // Closes the file without waiting for the disk and reports whether the close succeeded (a
    // delayed write error shows up here). Afterwards the object holds nothing.
    bool Close();

private:
    friend class ExtractionTarget;
    explicit FileWriter(int fd) : m_fd(fd) {}
    Descriptor m_fd;
};

// The size of the regular file at the path; nullopt when nothing is there, it is a link, a
// folder or anything else that is not a regular file, or it cannot be examined.
std::optional<uint64_t> RegularFileSize(std::string_view windowsPath);

// Renames the file at `from` to `to` in one step, replacing what is at `to` when it is a file
// or a symbolic link: a link is replaced itself, never followed, so its target stays untouched.
// `to` names either the old entry or the new file at every moment. Both paths on one drive. False
// (errno set, nothing changed) when either path maps to no host path, `to` is a folder, or the
// rename fails.
bool RenameOver(std::string_view from, std::string_view to);

}  // namespace platform

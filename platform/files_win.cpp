// files.h on Windows, through the wide file API. Where the contract speaks of POSIX facts it
// means their Windows counterparts: "permission bits" are the file's attributes (read-only),
// "never follows a link" is FILE_FLAG_OPEN_REPARSE_POINT or CREATE_NEW, and "not inherited by
// started programs" is a handle created without inheritance.

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win_io.h"

namespace platform {
namespace {

// A name beside `hostPath` for a file that is renamed over it once complete.
std::wstring TemporaryBeside(const std::wstring& hostPath) {
    static std::atomic<unsigned> counter{0};
    return hostPath + L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1));
}

bool WriteAllTo(HANDLE file, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) {
            return FailWithLastError();
        }
        bytes += written;
        size -= written;
    }
    return true;
}

// The facts of an open file; false (errno set) when they cannot be read or the handle is no
// regular file on a disk (a folder, a reparse point, a device, a pipe).
bool RegularFileInfo(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    if (!::GetFileInformationByHandle(file, &info)) {
        return FailWithLastError();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return false;
    }
    if (IsReparsePoint(info.dwFileAttributes) || ::GetFileType(file) != FILE_TYPE_DISK) {
        errno = EINVAL;
        return false;
    }
    return true;
}

uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING): replaces a file or a link at `to` (a link
// itself, never its target) in one step, and never a folder. A read-only file at `to` is made
// writable first, as a POSIX rename replaces it too.
// A file that another program holds at either name is waited for (RetryWhileHeld).
bool MoveOver(const std::wstring& from, const std::wstring& to) {
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const auto attempt = [&] {
        if (::MoveFileExW(from.c_str(), to.c_str(), kFlags)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        const std::optional<DWORD> attributes = EntryAttributes(to);
        if (error == ERROR_ACCESS_DENIED && attributes &&
            (*attributes & FILE_ATTRIBUTE_READONLY) != 0 && ClearFileAttributes(to) &&
            ::MoveFileExW(from.c_str(), to.c_str(), kFlags)) {
            return true;
        }
        ::SetLastError(error);
        return false;
    };
    return RetryWhileHeld(from, attempt) || FailWithLastError();
}

// Writes all of `bytes` into the new file at `hostPath`, flushes them to disk and closes it;
// when any step fails the file goes again and errno tells the cause.
bool FillNewFile(WinHandle file, const std::wstring& hostPath, std::string_view bytes) {
    const bool written = WriteAllTo(file.get(), bytes.data(), bytes.size()) &&
                         (::FlushFileBuffers(file.get()) || FailWithLastError());
    if (!(file.Close() || FailWithLastError()) || !written) {
        const int cause = errno;  // kept for the caller's message
        ::DeleteFileW(hostPath.c_str());
        errno = cause;
        return false;
    }
    return true;
}

// Writes `bytes` to a new temporary file beside `hostPath`, flushed to disk, and renames it
// over `hostPath`; on any failure the temporary file goes and errno tells the cause.
bool ReplaceWithBytes(const std::wstring& hostPath, std::string_view bytes) {
    const std::wstring temporary = TemporaryBeside(hostPath);
    WinHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return FailWithLastError();
    }
    if (!FillNewFile(std::move(file), temporary, bytes)) {
        return false;
    }
    if (!MoveOver(temporary, hostPath)) {
        const int cause = errno;
        ::DeleteFileW(temporary.c_str());
        errno = cause;
        return false;
    }
    return true;
}

// A security descriptor that makes the process's user the owner of a new file and grants that
// user every right and nobody else anything: one entry in the DACL, which is protected, so that
// the entries a folder passes on to new files are left out.
class OwnerOnlySecurity {
public:
    // False (errno set) when the process's user cannot be told.
    bool Make() {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return FailWithLastError();
        }
        const WinHandle heldToken(token);
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        m_user.resize(size);
        if (size == 0 || !::GetTokenInformation(token, TokenUser, m_user.data(), size, &size)) {
            return FailWithLastError();
        }
        const PSID user = reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid;
        // The entry's last member (SidStart) is the first DWORD of the SID that follows it.
        const DWORD aclSize =
            sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(user);
        m_acl.resize(aclSize);
        const PACL acl = reinterpret_cast<PACL>(m_acl.data());
        if (!::InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user) ||
            !::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorOwner(&m_descriptor, user, FALSE) ||
            !::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE) ||
            !::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
            return FailWithLastError();
        }
        return true;
    }

    SECURITY_ATTRIBUTES Attributes() { return {sizeof(SECURITY_ATTRIBUTES), &m_descriptor, FALSE}; }

private:
    std::vector<unsigned char> m_user;  // TOKEN_USER
    std::vector<unsigned char> m_acl;   // ACL, its one entry behind it
    SECURITY_DESCRIPTOR m_descriptor = {};
};

std::optional<std::string> ReadAll(const std::wstring& hostPath, size_t maxBytes) {
    // A regular file on a disk only: a pipe or a device never reaches the reads below.
    WinHandle file(::CreateFileW(hostPath.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid()) {
        const int cause = (FailWithLastError(), errno);
        // A folder cannot be opened as a file at all; say so rather than "access denied".
        const std::optional<DWORD> attributes = EntryAttributes(hostPath);
        errno = attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : cause;
        return std::nullopt;
    }
    if (!RegularFileInfo(file.get(), info)) {
        return std::nullopt;
    }
    if (SizeOf(info) > maxBytes) {
        errno = EFBIG;
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<size_t>(SizeOf(info)));
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            FailWithLastError();
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        if (content.size() + got > maxBytes) {
            errno = EFBIG;
            return std::nullopt;  // grew while being read
        }
        content.append(buffer, got);
    }
}

// FindFirstFileW treats these as wildcards ('<', '>' and '"' are its DOS forms of '*', '?' and
// '.'); none of them can be in a file name, so a name holding one names nothing.
bool HoldsWildcard(std::string_view name) {
    return name.find_first_of("*?<>\"") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> ReadWholeHostFile(const std::string& hostPath, size_t maxBytes) {
    return ReadAll(NarrowToWide(hostPath), maxBytes);
}

std::optional<std::string> ReadWholeFile(std::string_view windowsPath, size_t maxBytes) {
    const auto hostPath = WideHostPath(windowsPath);
    return hostPath ? ReadAll(*hostPath, maxBytes) : std::nullopt;
}

bool ReplaceHostFile(const std::string& hostPath, std::string_view bytes) {
    return ReplaceWithBytes(NarrowToWide(hostPath), bytes);
}

bool CreateOwnerOnlyHostFile(const std::string& hostPath, std::string_view bytes) {
    OwnerOnlySecurity security;
    if (!security.Make()) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes = security.Attributes();
    const std::wstring path = NarrowToWide(hostPath);
    // CREATE_NEW fails on any entry at the name, a link included, which is never followed; the
    // file has its DACL from its first moment, before any byte of the secret is in it.
    WinHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return FailWithLastError();
    }
    return FillNewFile(std::move(file), path, bytes);
}

bool ReplaceFile(std::string_view windowsPath, std::string_view bytes) {
    const auto hostPath = WideHostPath(windowsPath);
    return hostPath && ReplaceWithBytes(*hostPath, bytes);
}

bool PathExists(std::string_view windowsPath) {
    // The names only: the drive part may hold a '?' of its own (\\?\host\ for a host path
    // outside every drive, as the running launcher's own may be).
    const std::vector<std::string_view> names = NamesBelowDrive(windowsPath);
    if (windowsPath.empty() || windowsPath.back() == '\\' || windowsPath.back() == '/' ||
        names.empty() || std::any_of(names.begin(), names.end(), HoldsWildcard)) {
        return false;
    }
    const auto hostPath = WideHostPath(windowsPath);
    if (!hostPath) {
        return false;
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(hostPath->c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(search);
    return true;
}

bool CopyFileOver(std::string_view from, std::string_view to) {
    const auto hostFrom = WideHostPath(from);
    const auto hostTo = WideHostPath(to);
    if (!hostFrom || !hostTo) {
        return false;
    }
    const std::optional<DWORD> source = EntryAttributes(*hostFrom);
    if (source && (*source & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return false;
    }
    // CopyFileW copies the bytes and the attributes (read-only among them) to a new file beside
    // the target, which is then renamed over it.
    const std::wstring temporary = TemporaryBeside(*hostTo);
    if (!::CopyFileW(hostFrom->c_str(), temporary.c_str(), TRUE)) {
        const int cause = (FailWithLastError(), errno);
        ::DeleteFileW(temporary.c_str());
        errno = cause;
        return false;
    }
    {
        // The copy's bytes reach the disk before its name replaces the old file; a read-only
        // copy cannot be opened for writing, and MOVEFILE_WRITE_THROUGH then has to do.
        const WinHandle copy(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (copy.valid()) {
            ::FlushFileBuffers(copy.get());
        }
    }
    if (!MoveOver(temporary, *hostTo)) {
        const int cause = errno;
        ClearFileAttributes(temporary);
        ::DeleteFileW(temporary.c_str());
        errno = cause;
        return false;
    }
    return true;
}

bool DeleteOneFile(std::string_view windowsPath) {
    const auto hostPath = WideHostPath(windowsPath);
    return hostPath && DeleteEntryItself(*hostPath);
}

bool DeleteOneFile(std::wstring_view windowsPath) {
    const auto hostPath = WideHostPath(windowsPath);
    return hostPath && DeleteEntryItself(*hostPath);
}

bool MakeFileWritable(std::wstring_view windowsPath) {
    const auto hostPath = WideHostPath(windowsPath);
    return hostPath && ClearFileAttributes(*hostPath);
}

void UseBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

FilePointer OpenFileStream(std::string_view windowsPath, const char* mode) {
    const auto hostPath = WideHostPath(windowsPath);
    if (!hostPath || mode == nullptr) {
        return nullptr;
    }
    FilePointer stream(::_wfopen(hostPath->c_str(), NarrowToWide(mode).c_str()));
    // The C runtime makes its handles inheritable; a started program gets none of ours.
    if (stream) {
        ::SetHandleInformation(HandleOf(::_fileno(stream.get())), HANDLE_FLAG_INHERIT, 0);
    }
    return stream;
}

std::optional<FileWriter> FileWriter::CreateNew(std::string_view windowsPath) {
    const auto hostPath = WideHostPath(windowsPath);
    if (!hostPath) {
        return std::nullopt;
    }
    // CREATE_NEW fails on any entry at the name, a link included, which is never followed.
    const int fd = CrtDescriptorOf(
        WinHandle(::CreateFileW(hostPath->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)),
        _O_WRONLY);
    return fd >= 0 ? std::optional<FileWriter>(FileWriter(fd)) : std::nullopt;
}

std::optional<FileWriter> FileWriter::OpenToContinue(std::string_view windowsPath,
                                                     uint64_t keepBytes) {
    const auto hostPath = WideHostPath(windowsPath);
    if (!hostPath) {
        return std::nullopt;
    }
    WinHandle file(::CreateFileW(hostPath->c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid()) {
        FailWithLastError();
        return std::nullopt;
    }
    if (!RegularFileInfo(file.get(), info)) {
        return std::nullopt;
    }
    if (SizeOf(info) < keepBytes) {
        errno = ERANGE;
        return std::nullopt;
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(keepBytes);
    if (!::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(file.get())) {
        FailWithLastError();
        return std::nullopt;
    }
    const int fd = CrtDescriptorOf(std::move(file), _O_WRONLY);
    return fd >= 0 ? std::optional<FileWriter>(FileWriter(fd)) : std::nullopt;
}

bool FileWriter::Write(const void* data, size_t size) {
    return m_fd.valid() && WriteAllTo(HandleOf(m_fd.get()), data, size);
}

bool FileWriter::Sync() {
    return m_fd.valid() && (::FlushFileBuffers(HandleOf(m_fd.get())) || FailWithLastError());
}

bool FileWriter::Close() {
    if (!m_fd.valid()) {
        errno = EBADF;
        return false;
    }
    return m_fd.Close();
}

std::optional<uint64_t> RegularFileSize(std::string_view windowsPath) {
    const auto hostPath = WideHostPath(windowsPath);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!hostPath || !::GetFileAttributesExW(hostPath->c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    // The attributes of the entry itself: a link reports itself, never its target.
    constexpr DWORD kNotRegular =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((data.dwFileAttributes & kNotRegular) != 0) {
        return std::nullopt;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RenameOver(std::string_view from, std::string_view to) {
    const auto hostFrom = WideHostPath(from);
    const auto hostTo = WideHostPath(to);
    return hostFrom && hostTo && MoveOver(*hostFrom, *hostTo);
}

}  // namespace platform

#include "archive/zip_implement.h"

#include <exception>
#include <optional>

#include "archive/archive_reader.h"
#include "archive/empty_archive.h"
#include "archive/entry_mode.h"
#include "archive/entry_name.h"
#include "archive/minizip_handles.h"
#include "platform/archive_files.h"
#include "platform/text.h"
#include "platform/volumes.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The central directory's record of the current entry, without its name.
std::optional<unz_file_info64> CurrentEntryInfo(unzFile archive) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return std::nullopt;
    }
    return info;
}

// Fills `info` and `name` with the current entry's record and its whole name, however long the
// archive stores it: a name that does not fit the usual buffer is read again at its full length.
bool ReadCurrentEntry(unzFile archive, unz_file_info64& info, std::string& name) {
    name.assign(CZipImplement::kNameBufferBytes, '\0');
    for (;;) {
        if (unzGetCurrentFileInfo64(archive, &info, name.data(), name.size(), nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            return false;
        }
        if (info.size_filename < name.size()) {  // all of it, with room for minizip's NUL
            name.resize(info.size_filename);
            return true;
        }
        name.assign(info.size_filename + 1, '\0');
    }
}

}  // namespace

CZipImplement::CZipImplement() : m_readBuffer(kReadBufferBytes) {}

CZipImplement::~CZipImplement() = default;

bool CZipImplement::StartUnzip(const std::wstring& zipPath, const std::wstring& destDir) {
    if (m_state.load(std::memory_order_acquire) == kInProgress) {
        return false;
    }
    if (destDir.empty() || zipPath.empty()) {
        return false;
    }
    if (!platform::IsFileAt(platform::WideToNarrow(zipPath))) {
        return false;
    }
    m_zipPath = zipPath;
    m_destDir = destDir;
    Reset(kInProgress);
    m_thread.reset();  // detached long ago: nothing waits
    try {
        m_thread = std::make_unique<std::thread>(&CZipImplement::UnzipThread, this);
    } catch (const std::exception&) {
        // No thread could be made: nothing will ever end this run, so it has failed now.
        Reset(kFailed);
        return false;
    }
    m_thread->detach();
    return true;
}

int CZipImplement::GetProgress(int* percent) {
    int value = 0;
    const int state = m_state.load(std::memory_order_acquire);
    if (state == kInProgress) {
        const uint64_t totalBytes = m_totalBytes.load(std::memory_order_relaxed);
        const int32_t totalEntries = m_totalEntries.load(std::memory_order_relaxed);
        if (totalBytes != 0) {
            const uint64_t doneBytes = m_doneBytes.load(std::memory_order_relaxed);
            value = doneBytes < totalBytes ? static_cast<int>(doneBytes * 100 / totalBytes) : 100;
        } else if (totalEntries > 0) {
            const int64_t doneEntries = m_doneEntries.load(std::memory_order_relaxed);
            value = doneEntries < totalEntries ? static_cast<int>(doneEntries * 100 / totalEntries)
                                               : 100;
        }
    }
    if (percent != nullptr) {
        *percent = value;
    }
    return state;
}

void CZipImplement::UnzipThread() {
    const std::string zipPath = platform::WideToNarrow(m_zipPath);
    const std::string destDir = platform::WideToNarrow(m_destDir);
    if (!platform::IsFileAt(zipPath)) {
        Reset(kFailed);  // the archive went away after the start
        return;
    }
    if (!DirectoryExists(m_destDir)) {
        MakeDirs(destDir);
    }
    bool extracted = false;
    try {
        extracted = UnzipAll(zipPath, destDir);
    } catch (const std::exception&) {
        extracted = false;  // out of memory: a failed run, never a silent end of the thread
    }
    Reset(extracted ? kDone : kFailed);  // the last thing this thread touches
}

bool CZipImplement::UnzipAll(std::string zipPath, std::string destDir) {
    // Held open for the whole run: every entry is written below it by name, never through a link.
    std::optional<platform::ExtractionTarget> target = platform::ExtractionTarget::Open(destDir);
    if (!target) {
        return false;
    }
    const ArchiveHandle archive = OpenArchive(zipPath);
    if (!archive) {
        if (!IsEmptyZipArchive(zipPath)) {
            return false;
        }
        m_doneEntries.store(1, std::memory_order_relaxed);  // as for any archive: nothing to do
        return true;
    }
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(archive.get(), &global) != UNZ_OK) {
        return false;
    }
    const uint64_t entries = global.number_entry;

    uint64_t totalBytes = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        if (const auto info = CurrentEntryInfo(archive.get())) {
            totalBytes += info->uncompressed_size;
        }
        // Past a step that fails no entry can be read: an archive that claims more entries than
        // it holds (up to 2^64 in zip64 form) ends its first pass there instead of asking for
        // every missing one; the second pass then fails at the same place.
        if (i + 1 < entries && unzGoToNextFile(archive.get()) != UNZ_OK) {
            break;
        }
    }
    unzGoToFirstFile(archive.get());
    // A client that cannot fit fails before its first byte is written, instead of filling the
    // drive and failing part way.
    if (!platform::DriveHasRoomFor(destDir, totalBytes)) {
        return false;
    }

    m_totalBytes.store(totalBytes, std::memory_order_relaxed);
    m_doneBytes.store(0, std::memory_order_relaxed);
    m_totalEntries.store(static_cast<int32_t>(entries), std::memory_order_relaxed);
    m_doneEntries.store(1, std::memory_order_relaxed);

    for (uint64_t i = 0; i < entries; ++i) {
        if (!UnzipCurrentFile(archive.get(), *target)) {
            return false;
        }
        if (i + 1 < entries && unzGoToNextFile(archive.get()) != UNZ_OK) {
            return false;
        }
        m_doneEntries.fetch_add(1, std::memory_order_relaxed);
    }
    return true;
}

bool CZipImplement::UnzipCurrentFile(unzFile archive, const char* destDir) {
    std::optional<platform::ExtractionTarget> target = platform::ExtractionTarget::Open(destDir);
    return target && UnzipCurrentFile(archive, *target);
}

bool CZipImplement::UnzipCurrentFile(unzFile archive, platform::ExtractionTarget& target) {
    unz_file_info64 info{};
    std::string stored;
    if (!ReadCurrentEntry(archive, info, stored)) {
        return false;
    }
    // The name is checked as the text it stands for, in the form it is written under.
    const std::optional<std::string> text = EntryNameAsText(stored, info.flag & kUtf8NameFlag);
    if (!text || text->empty() || !EntryNameStaysInside(*text)) {
        return false;
    }
    const std::string& name = *text;
    if (IsSeparator(name.back())) {
        return target.MakeFolders(name);  // a directory entry: no file
    }

    // The folders along the name are made or entered first; a link or a file in the place of
    // one fails the entry, so nothing is written where it points.
    const unsigned mode = EntryFileMode(info.version, info.external_fa);
    std::optional<platform::FileWriter> file = target.CreateFile(name, mode);
    if (!file) {
        return false;
    }
    if (unzOpenCurrentFile(archive) != UNZ_OK) {
        return false;
    }
    OpenEntry entry(archive);
    if (m_progressHook) {
        m_progressHook(m_doneBytes.load(std::memory_order_relaxed));
    }
    uint64_t written = 0;
    for (;;) {
        const int count = unzReadCurrentFile(archive, m_readBuffer.data(),
                                             static_cast<unsigned>(m_readBuffer.size()));
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            break;
        }
        if (!file->Write(m_readBuffer.data(), static_cast<size_t>(count))) {
            return false;
        }
        written += static_cast<uint64_t>(count);
        AddWrittenBytes(static_cast<uint64_t>(count));
    }
    // A damaged entry is a failed entry: the checksum is compared when the entry is closed after
    // all of it was read, and an entry whose data ends early never reaches that comparison.
    const bool intact = entry.Close() == UNZ_OK && written == info.uncompressed_size;
    return file->Close() && intact;
}

bool CZipImplement::MakeDirs(std::string path) {
    std::string prefix;
    const auto makePrefix = [&prefix]() {
        if (!prefix.empty() && prefix.back() != ':') {
            platform::MakeDirectoryAt(prefix);
        }
    };
    for (const char c : path) {
        if (IsSeparator(c)) {
            makePrefix();
        }
        prefix += c;
    }
    makePrefix();
    return true;
}

bool CZipImplement::DirectoryExists(const std::wstring& dir) {
    return platform::IsDirectoryAt(platform::WideToNarrow(dir));
}

void CZipImplement::Reset(int state) {
    m_totalEntries.store(0, std::memory_order_relaxed);
    m_doneEntries.store(0, std::memory_order_relaxed);
    m_totalBytes.store(0, std::memory_order_relaxed);
    m_doneBytes.store(0, std::memory_order_relaxed);
    // Release: whoever sees the new state also sees everything this thread did before it.
    m_state.store(state, std::memory_order_release);
}

void CZipImplement::SetProgressHook(ProgressHook hook) {
    m_progressHook = std::move(hook);
}

void CZipImplement::AddWrittenBytes(uint64_t count) {
    const uint64_t done = m_doneBytes.fetch_add(count, std::memory_order_relaxed) + count;
    if (m_progressHook) {
        m_progressHook(done);
    }
}

#include "archive/zip_implement.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>

#include "archive/archive_reader.h"
#include "archive/empty_archive.h"
#include "archive/entry_data.h"
#include "archive/entry_mode.h"
#include "archive/entry_name.h"
#include "archive/entry_queue.h"
#include "archive/extraction_plan.h"
#include "archive/minizip_handles.h"
#include "platform/archive_files.h"
#include "platform/text.h"
#include "platform/volumes.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// General-purpose bit 0: the entry's data is encrypted, which the launcher cannot read.
constexpr unsigned long kEncryptedFlag = 1;

}  // namespace

CZipImplement::CZipImplement() = default;

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
    const ExtractionPlan plan = PlanExtraction(archive.get(), global.number_entry);
    // A client that cannot fit fails before its first byte is written, instead of filling the
    // drive and failing part way.
    if (!platform::DriveHasRoomFor(destDir, plan.totalBytes)) {
        return false;
    }

    m_totalBytes.store(plan.totalBytes, std::memory_order_relaxed);
    m_doneBytes.store(0, std::memory_order_relaxed);
    m_totalEntries.store(static_cast<int32_t>(global.number_entry), std::memory_order_relaxed);
    m_doneEntries.store(1, std::memory_order_relaxed);
    return ExtractPlanned(plan, zipPath, archive.get(), *target);
}

bool CZipImplement::ExtractPlanned(const ExtractionPlan& plan, const std::string& zipPath,
                                   unzFile archive, platform::ExtractionTarget& target) {
    // With a test hook (see ProgressHook), or when entries' names clash, the entries pass one at
    // a time in the archive's order.
    const bool oneAtATime = m_progressHook || plan.namesClash;
    std::vector<size_t> order = HandOutOrder(plan);
    if (oneAtATime) {
        std::sort(order.begin(), order.end());
    }
    EntryQueue queue(std::move(order), oneAtATime);
    // Which entries' files this run has made; each flag is written by the one worker that
    // extracts that entry and read once every worker has ended.
    const std::unique_ptr<bool[]> created = std::make_unique<bool[]>(plan.entries.size());

    // The helpers' handles are opened here, before any of them runs: a helper that cannot have
    // them is simply not started, and the others share its entries.
    struct Helper {
        ArchiveHandle archive;
        platform::ExtractionTarget target;
        platform::ArchiveInputFile input;
    };
    std::vector<Helper> helpers;
    const unsigned workers = WorkersFor(plan.entries.size());
    for (unsigned i = 1; i < workers; ++i) {
        ArchiveHandle own = OpenArchive(zipPath);
        std::optional<platform::ExtractionTarget> ownTarget = target.OpenAnother();
        std::optional<platform::ArchiveInputFile> ownInput =
            platform::ArchiveInputFile::Open(zipPath);
        if (!own || !ownTarget || !ownInput) {
            break;
        }
        helpers.push_back(Helper{std::move(own), std::move(*ownTarget), std::move(*ownInput)});
    }
    std::optional<platform::ArchiveInputFile> input = platform::ArchiveInputFile::Open(zipPath);
    if (!input) {
        return false;  // the archive went away since it was opened
    }
    std::vector<std::thread> threads;
    threads.reserve(helpers.size());  // so that starting one throws nothing but system_error
    for (Helper& helper : helpers) {
        try {
            threads.emplace_back([&, this] {
                RunWorker(plan, queue, {helper.archive.get(), &helper.input}, helper.target,
                          created.get());
            });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: fewer workers
        }
    }
    RunWorker(plan, queue, {archive, &*input}, target, created.get());
    for (std::thread& thread : threads) {
        thread.join();
    }

    const std::optional<size_t> failed = queue.FirstFailure();
    if (!failed) {
        // Every entry the archive holds, and every one it claims.
        return queue.Succeeded() == plan.entries.size() && plan.Complete();
    }
    // The entries after the failed one end as if the run had never reached them: what this run
    // wrote of them goes again. A file that was there before an entry replaced it stays replaced.
    for (size_t i = *failed + 1; i < plan.entries.size(); ++i) {
        unz_file_info64 info{};
        unz64_file_pos position = plan.entries[i].position;
        if (!created[i] || unzGoToFilePos64(archive, &position) != UNZ_OK) {
            continue;
        }
        if (const std::optional<std::string> name = ReadCurrentEntryName(archive, info)) {
            target.RemoveFile(*name);
        }
    }
    return false;
}

void CZipImplement::RunWorker(const ExtractionPlan& plan, EntryQueue& queue,
                              const ArchiveSource& source, platform::ExtractionTarget& target,
                              bool* created) {
    std::optional<EntryInflater> inflater;
    try {
        inflater.emplace();
    } catch (const std::exception&) {
        return;  // out of memory: the other workers take the entries
    }
    while (const std::optional<size_t> index = queue.Take()) {
        bool extracted = false;
        try {
            unz64_file_pos position = plan.entries[*index].position;
            const StopCheck stop = [&queue, index] { return queue.FailedBefore(*index); };
            extracted = unzGoToFilePos64(source.archive, &position) == UNZ_OK &&
                        ExtractCurrentEntry(source, target, *inflater, stop, created[*index]);
        } catch (const std::exception&) {
            extracted = false;  // out of memory: a failed entry, never a silent end of the worker
        }
        if (extracted) {
            m_doneEntries.fetch_add(1, std::memory_order_relaxed);
        }
        queue.Finish(*index, !extracted);
    }
}

bool CZipImplement::UnzipCurrentFile(unzFile archive, const char* destDir) {
    std::optional<platform::ExtractionTarget> target = platform::ExtractionTarget::Open(destDir);
    if (!target) {
        return false;
    }
    EntryInflater inflater;
    bool created = false;
    const StopCheck never = [] { return false; };
    return ExtractCurrentEntry({archive, nullptr}, *target, inflater, never, created);
}

bool CZipImplement::ExtractCurrentEntry(const ArchiveSource& source,
                                        platform::ExtractionTarget& target, EntryInflater& inflater,
                                        const StopCheck& stop, bool& created) {
    const unzFile archive = source.archive;
    unz_file_info64 info{};
    // The name is checked as the text it stands for, in the form it is written under.
    const std::optional<std::string> text = ReadCurrentEntryName(archive, info);
    if (!text) {
        return false;
    }
    const std::string& name = *text;
    if (IsSeparator(name.back())) {
        return target.MakeFolders(name);  // a directory entry: no file
    }
    if ((info.flag & kEncryptedFlag) != 0 || !EntryInflater::Supports(info.compression_method)) {
        return false;  // data the launcher cannot read: no file made for it
    }

    // The folders along the name are made or entered first; a link or a file in the place of
    // one fails the entry, so nothing is written where it points.
    const unsigned mode = EntryFileMode(info.version, info.external_fa);
    std::optional<platform::FileWriter> file = target.CreateFile(name, mode);
    if (!file) {
        return false;
    }
    created = true;
    // Raw: minizip checks the entry's local header and finds where its data starts; the data
    // itself is read here in large pieces, straight from the file when there is one, since
    // minizip hands raw data over 16 KiB and one byte at a time.
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(archive, &method, &level, 1) != UNZ_OK) {
        return false;
    }
    OpenEntry entry(archive);
    if (m_progressHook) {
        m_progressHook(m_doneBytes.load(std::memory_order_relaxed));
    }
    uint64_t offset = unzGetCurrentFileZStreamPos64(archive);
    uint64_t rest = info.compressed_size;
    const RawReader read = [&](char* out, size_t size) -> std::optional<size_t> {
        if (source.input == nullptr) {
            const int count = unzReadCurrentFile(archive, out, static_cast<unsigned>(size));
            return count < 0 ? std::nullopt : std::optional<size_t>(static_cast<size_t>(count));
        }
        const std::optional<size_t> count =
            source.input->ReadAt(offset, out, static_cast<size_t>(std::min<uint64_t>(size, rest)));
        if (count) {
            offset += *count;
            rest -= *count;
        }
        return count;
    };
    const PieceSink write = [&](const char* data, size_t size) {
        if (stop() || !file->Write(data, size)) {
            return false;
        }
        AddWrittenBytes(size);
        return true;
    };
    // A damaged entry is a failed entry: its size and checksum are compared with the central
    // directory's once all of its data has been read.
    const EntryDataFacts facts{info.compression_method, info.compressed_size,
                               info.uncompressed_size, info.crc};
    const bool intact = inflater.Extract(facts, read, write);
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

void CZipImplement::SetWorkerCount(unsigned count) {
    m_workerCount = std::min(count, kMaxWorkers);
}

unsigned CZipImplement::WorkersFor(size_t entries) const {
    unsigned workers = m_workerCount;
    if (workers == 0) {
        workers = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
    }
    // No more workers than entries, and the calling thread is always one.
    return static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(workers, entries)));
}

void CZipImplement::AddWrittenBytes(uint64_t count) {
    const uint64_t done = m_doneBytes.fetch_add(count, std::memory_order_relaxed) + count;
    if (m_progressHook) {
        m_progressHook(done);
    }
}

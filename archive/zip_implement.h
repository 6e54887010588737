#pragma once
// CZipImplement: extracts the client archive (Client.zip) into the client directory on a worker
// thread of its own, while the install flow polls a state and a percentage on its timer.
//
// Two threads meet in one object. The main thread calls StartUnzip and GetProgress; the worker
// runs everything else. The worker publishes its counters and, last of all, its state through
// atomics; the main thread writes them only in StartUnzip, which it refuses while a run is in
// progress. There is no lock.
//
// Inside a run the worker shares the entries with helper threads, one worker per core up to
// kMaxWorkers in all, each with its own handle on the archive and on the target; it joins them
// before it writes the final state, so that no helper outlives the run.

#include <unzip.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "archive/archive_reader.h"

namespace platform {
class ArchiveInputFile;
class ExtractionTarget;
}  // namespace platform
class EntryInflater;
class EntryQueue;
struct ExtractionPlan;

class CZipImplement {
public:
    // Values of m_state, as GetProgress returns them.
    static constexpr int kIdle = 0;        // never started
    static constexpr int kInProgress = 1;  // a worker is extracting
    static constexpr int kFailed = 2;      // the last run stopped at a failure
    static constexpr int kDone = 3;        // the last run extracted every entry

    // Room for an entry's name at the first reading; a longer name is read again, whole.
    static constexpr size_t kNameBufferBytes = kEntryNameBufferBytes;
    // The most workers a run uses: one per core up to this many.
    static constexpr unsigned kMaxWorkers = 8;

    // Called on a worker with m_doneBytes at that moment: once when an entry's file has been
    // created and its data opened (before its first byte), then after each piece written into
    // it. The worker waits until it returns, which lets a test hold an extraction at a known
    // point. While a hook is installed, the workers take the entries one at a time in the
    // archive's order, so that the calls come in that order whatever the number of workers.
    // Empty by default; the launcher never sets one.
    using ProgressHook = std::function<void(uint64_t doneBytes)>;

    // Idle (state 0), zero counters, empty paths, no thread.
    CZipImplement();
    // Does not wait for a worker: the owner must outlive any extraction it started (the
    // launcher's extractor lives as long as the application; tests wait for state 2 or 3).
    ~CZipImplement();
    CZipImplement(const CZipImplement&) = delete;
    CZipImplement& operator=(const CZipImplement&) = delete;

    // Starts extracting the archive zipPath (Windows form, e.g. D:\Client.zip) into destDir
    // (e.g. D:\Tolbe, without a final backslash) on a new, detached thread, with the state in
    // progress and every counter at 0; a later run starts again from the first entry and
    // overwrites what an earlier one wrote. Returns false and changes nothing while a run is in
    // progress, when either path is empty, or when no file is at zipPath. Main thread only.
    bool StartUnzip(const std::wstring& zipPath, const std::wstring& destDir);

    // Returns m_state and writes the percentage (0..100) through `percent`: while in progress,
    // written bytes against the sum of the entries' sizes, or, when that sum is 0, the entry
    // counter against the number of entries; 0 in every other state. Main thread only.
    int GetProgress(int* percent);

    // The worker's body: extracts m_zipPath into m_destDir (creating that directory, and the
    // folders above it, when it is missing), then zeroes the counters and writes the final state
    // (done or failed) last.
    void UnzipThread();

    // Extracts every entry of the archive (narrow Windows-form paths): a first pass sums the
    // entries' sizes and records where each one is, then the workers write them, the largest
    // first. The outcome is that of writing the entries one by one in the archive's order: a
    // failed entry stops the entries after it (each at its next piece, the files this run made
    // for them removed again), while those before it are still extracted; what was written of
    // the failed entry stays. True when every entry was extracted (also for no entries); an
    // archive that claims more entries than it holds fails after the last one it holds. destDir
    // must be a directory itself, not a symbolic link to one: otherwise nothing is written and
    // the result is false.
    bool UnzipAll(std::string zipPath, std::string destDir);

    // Extracts the archive's current entry below destDir: a name ending in "/" or "\" makes a
    // directory, any other a file (its folders first, an existing file replaced). The name is
    // written as the UTF-8 text that EntryNameAsText (archive/entry_name.h) reads from its bytes
    // and the entry's UTF-8 flag; a name that is no text (a UTF-8 flag on bytes that are not
    // UTF-8, bytes that are neither UTF-8 nor GBK) fails the entry. No link is
    // followed on the way: destDir, and every folder below it that the name passes through, must
    // be a directory (or missing, and then it is made). False, with nothing written for it, when
    // the name is empty or could lead outside destDir, or when destDir or one of those folders
    // is a symbolic link, a file or anything else than a directory, or cannot be made; false
    // too when the entry cannot be read, its data is damaged (checksum or size mismatch), or the
    // file cannot be created or fully written (its first bytes may then stay).
    bool UnzipCurrentFile(unzFile archive, const char* destDir);

    // Creates every directory along a Windows-form path, from the first below the drive to the
    // path itself (D:\Games\a\b: D:\Games, D:\Games\a, D:\Games\a\b), skipping those that
    // exist. Always true: a directory that could not be made shows up later, as a file that
    // cannot be created.
    static bool MakeDirs(std::string path);

    // True when the (wide, Windows-form) path names an existing directory.
    static bool DirectoryExists(const std::wstring& dir);

    // Zeroes the four counters, then sets the state.
    void Reset(int state);

    // Installs the test hook (see ProgressHook). Only while no run is in progress.
    void SetProgressHook(ProgressHook hook);

    // The number of workers of later runs: 0 (the default) for one per core up to kMaxWorkers,
    // any other number as it is (at most kMaxWorkers). Only while no run is in progress.
    void SetWorkerCount(unsigned count);

private:
    // Tells a worker to stop the entry it is writing, before its next piece.
    using StopCheck = std::function<bool()>;

    // Where a worker reads the archive: minizip's handle for its structure and, when there is
    // one, the file itself for the entries' data.
    struct ArchiveSource {
        unzFile archive;
        platform::ArchiveInputFile* input;
    };

    // The workers of one run after the first pass: the calling thread and its helpers.
    bool ExtractPlanned(const ExtractionPlan& plan, const std::string& zipPath, unzFile archive,
                        platform::ExtractionTarget& target);
    // One worker: takes entries from the queue until none is left.
    void RunWorker(const ExtractionPlan& plan, EntryQueue& queue, const ArchiveSource& source,
                   platform::ExtractionTarget& target, bool* created);
    // UnzipCurrentFile below a target that is already open; `created` is set once the entry's
    // file has been made.
    bool ExtractCurrentEntry(const ArchiveSource& source, platform::ExtractionTarget& target,
                             EntryInflater& inflater, const StopCheck& stop, bool& created);
    unsigned WorkersFor(size_t entries) const;
    void AddWrittenBytes(uint64_t count);

    std::atomic<int32_t> m_totalEntries{0};  // entries in the archive; 0 until the first pass
    std::atomic<int32_t> m_doneEntries{0};   // 1 when writing begins, +1 after each entry
    std::atomic<uint64_t> m_totalBytes{0};   // sum of the entries' uncompressed sizes
    std::atomic<uint64_t> m_doneBytes{0};    // bytes written into files in this run
    std::atomic<int> m_state{kIdle};
    std::wstring m_zipPath;  // archive of the last accepted start
    std::wstring m_destDir;  // target of the last accepted start, without a final backslash
    std::unique_ptr<std::thread> m_thread;  // thread of the last accepted start, detached
    ProgressHook m_progressHook;
    unsigned m_workerCount = 0;  // 0: one per core
};

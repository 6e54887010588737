#pragma once
// The entries of one extraction run, shared by its workers: which entry each worker takes next,
// and the first failure in the archive's order, which stops the entries after it.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class EntryQueue {
public:
    // `order` lists the entries' indexes (their places in the archive) in the order they are
    // handed out. With `oneAtATime` each entry is handed out only once the one before it has
    // finished, so that a run with several workers passes its entries one by one, in that order.
    EntryQueue(std::vector<size_t> order, bool oneAtATime);

    // The next entry to extract, or nullopt when none is left. Entries after a failed one in the
    // archive's order are no longer handed out; those before it still are, so that the run ends
    // with what extracting the entries one by one up to the failure would have left.
    std::optional<size_t> Take();

    // Ends an entry that Take handed out; `failed` when it could not be extracted.
    void Finish(size_t index, bool failed);

    // True when an entry before `index` in the archive has failed: the entry at `index` is then
    // to stop at its next piece.
    bool FailedBefore(size_t index) const {
        return m_firstFailure.load(std::memory_order_relaxed) < index;
    }

    // The first failed entry in the archive's order, if any.
    std::optional<size_t> FirstFailure() const;

    // Entries finished without failure so far.
    size_t Succeeded() const { return m_succeeded.load(std::memory_order_relaxed); }

private:
    static constexpr size_t kNoFailure = SIZE_MAX;

    const std::vector<size_t> m_order;
    const bool m_oneAtATime;
    std::atomic<size_t> m_next{0};  // place in m_order of the next entry to hand out
    std::atomic<size_t> m_firstFailure{kNoFailure};
    std::atomic<size_t> m_succeeded{0};
    // For one entry at a time: whether a handed-out entry is still unfinished.
    std::mutex m_lock;
    std::condition_variable m_finished;
    bool m_busy = false;
};

#include "archive/entry_queue.h"

#include <utility>

EntryQueue::EntryQueue(std::vector<size_t> order, bool oneAtATime)
    : m_order(std::move(order)), m_oneAtATime(oneAtATime) {}

std::optional<size_t> EntryQueue::Take() {
    std::unique_lock<std::mutex> hold(m_lock, std::defer_lock);
    if (m_oneAtATime) {
        hold.lock();
        m_finished.wait(hold, [this] { return !m_busy; });
    }
    for (;;) {
        const size_t place = m_next.fetch_add(1, std::memory_order_relaxed);
        if (place >= m_order.size()) {
            return std::nullopt;
        }
        const size_t index = m_order[place];
        if (m_firstFailure.load(std::memory_order_relaxed) < index) {
            continue;  // after the first failure: never started
        }
        if (m_oneAtATime) {
            m_busy = true;  // under the lock taken above
        }
        return index;
    }
}

void EntryQueue::Finish(size_t index, bool failed) {
    if (failed) {
        size_t first = m_firstFailure.load(std::memory_order_relaxed);
        while (index < first &&
               !m_firstFailure.compare_exchange_weak(first, index, std::memory_order_relaxed)) {
        }
    } else {
        m_succeeded.fetch_add(1, std::memory_order_relaxed);
    }
    if (m_oneAtATime) {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_busy = false;
        m_finished.notify_all();
    }
}

std::optional<size_t> EntryQueue::FirstFailure() const {
    const size_t first = m_firstFailure.load(std::memory_order_relaxed);
    if (first == kNoFailure) {
        return std::nullopt;
    }
    return first;
}

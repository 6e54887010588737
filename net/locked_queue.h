#pragma once
// A first-in first-out list shared between threads, guarded by its own mutex.

#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

// Item is a nullable owning pointer (std::unique_ptr<T>): a null item stands for "nothing".
// Each operation holds the mutex for its whole duration and for nothing else, so no caller ever
// runs its own code under it.
template <typename Item>
class LockedQueue {
public:
    using List = std::deque<Item>;

    // Appends the item at the tail; a null item is not appended.
    void Push(Item item) {
        if (!item) {
            return;
        }
        std::lock_guard<std::mutex> hold(m_lock);
        m_items.push_back(std::move(item));
    }

    // Removes and returns the head; a null item when the queue is empty.
    Item Pop() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_items.empty()) {
            return Item();
        }
        Item head = std::move(m_items.front());
        m_items.pop_front();
        return head;
    }

    // Empties `out`, then moves every queued item, in order, into it; the queue is left empty.
    void TakeAll(List& out) {
        out.clear();
        std::lock_guard<std::mutex> hold(m_lock);
        out.swap(m_items);
    }

    // The number of items queued now.
    size_t Size() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_items.size();
    }

private:
    mutable std::mutex m_lock;
    List m_items;
};

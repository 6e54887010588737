#include "net/web_net.h"

#include <chrono>
#include <new>
#include <system_error>

#include "net/request_performer.h"

namespace {

// How long an idle worker sleeps between looks at the queue; there is no wake-up signal.
constexpr std::chrono::milliseconds kIdleSleep{10};

}  // namespace

WebNet::WebNet() = default;

WebNet::~WebNet() {
    StopWorkers();
}

bool WebNet::QueueGet(const std::string& url, WebNetCallback callback) {
    try {
        auto request = std::make_unique<WebNetRequest>();
        request->url = url;
        request->callback = callback;
        return Queue(std::move(request));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool WebNet::Queue(std::unique_ptr<WebNetRequest> request) {
    if (!request) {
        return false;
    }
    try {
        m_pending.Push(std::move(request));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool WebNet::StartWorker() {
    std::lock_guard<std::mutex> hold(m_workersLock);
    // Set before the thread exists, so that it never finds the service stopped on its first look.
    m_running = true;
    try {
        m_workers.push_back(std::make_unique<std::thread>(&WebNet::WorkerProc, this));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void WebNet::StopWorkers() {
    std::lock_guard<std::mutex> hold(m_workersLock);
    m_running = false;
    for (const auto& worker : m_workers) {
        if (worker->joinable()) {
            worker->join();
        }
    }
    m_workers.clear();
}

void WebNet::DispatchFinished() {
    RequestQueue::List batch;
    m_completed.TakeAll(batch);
    for (auto& request : batch) {
        if (request->callback != nullptr) {
            request->callback(request.get());
        }
        request.reset();
    }
}

size_t WebNet::PendingCount() const {
    return m_pending.Size();
}

size_t WebNet::WorkerCount() const {
    std::lock_guard<std::mutex> hold(m_workersLock);
    return m_workers.size();
}

void WebNet::WorkerProc(WebNet* net) {
    while (net->m_running) {
        std::unique_ptr<WebNetRequest> request = net->m_pending.Pop();
        if (!request) {
            std::this_thread::sleep_for(kIdleSleep);
            continue;
        }
        try {
            PerformRequest(*request);
        } catch (const std::bad_alloc&) {
            // Out of memory while preparing: the request finishes with what it has.
        }
        net->m_completed.Push(std::move(request));
    }
}

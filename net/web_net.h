#pragma once
// The HTTP request service: requests are performed on worker threads and handed back, finished,
// to the thread that polls the service (the main thread), where their completion functions run.
//
// Typical use: StartWorker once at start; QueueGet whenever a request is needed; DispatchFinished
// on every timer tick; StopWorkers once at the end. Workers may be added at any time.

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/locked_queue.h"
#include "net/server_info.h"
#include "net/web_net_request.h"

class WebNet {
public:
    WebNet();
    // Stops and joins the workers if they still run; requests still queued are discarded without
    // their completion functions being called.
    ~WebNet();
    WebNet(const WebNet&) = delete;
    WebNet& operator=(const WebNet&) = delete;

    // Queues a GET of `url` without parameters whose completion function is `callback` (may be
    // null). Never waits for the network. False only when the request cannot be created; nothing
    // is queued then.
    bool QueueGet(const std::string& url, WebNetCallback callback);

    // Queues a request of any kind; the service owns it from now on. False for a null request.
    bool Queue(std::unique_ptr<WebNetRequest> request);

    // Starts one more worker; all workers share the queues. The service is running from now on,
    // and the new worker finds it so. False only when the host refuses another thread.
    bool StartWorker();

    // Stops the service and joins every worker, in start order: an idle worker returns within
    // 10 ms, a worker inside an exchange once that exchange has ended. Requests it finished are
    // still handed out by DispatchFinished; requests not yet taken stay queued.
    void StopWorkers();

    // Takes every finished request queued so far and, on the calling thread and outside every
    // lock of the service, runs each one's completion function in turn, destroying each request
    // as soon as its function has returned. A completion function may call DispatchFinished
    // again (a nested message loop): that call works on a batch of its own.
    void DispatchFinished();

    // The number of workers started and not yet stopped.
    size_t WorkerCount() const;

    // The number of requests waiting for a worker.
    size_t PendingCount() const;

private:
    using RequestQueue = LockedQueue<std::unique_ptr<WebNetRequest>>;

    // The body of a worker thread: takes waiting requests one at a time, performs each and
    // queues it as finished, whatever its outcome; sleeps 10 ms whenever nothing waits. Ends
    // when the service stops running.
    static void WorkerProc(WebNet* net);

    std::atomic<bool> m_running{false};
    mutable std::mutex m_workersLock;  // guards m_workers
    std::vector<std::unique_ptr<std::thread>> m_workers;
    RequestQueue m_pending;
    RequestQueue m_completed;
};

#pragma once
// The install flow with real parts around it: the HTTP request service, the downloader and the
// extractor, a loopback server standing in for the notice server and the archive server, and
// sandbox drives over temporary folders. Ticks are driven by hand.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/install_flow.h"
#include "app/zorv_downloader_app.h"
#include "config/version_record.h"
#include "net/file_download.h"
#include "net/web_net.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "tests/app/recording_view.h"
#include "tests/support/temp_dir.h"

namespace tolbe_test {

// Serves /vaskpc.txt and /Client.zip, and their signature files /vaskpc.txt.sig and
// /Client.zip.sig, on a free loopback port and counts the requests.
class LoopbackServer {
public:
    LoopbackServer() {
        m_server.Get(R"(/(vaskpc\.txt|Client\.zip)\.sig)",
                     [this](const httplib::Request& req, httplib::Response& res) {
                         std::lock_guard<std::mutex> hold(m_lock);
                         ++m_signatureRequests[req.path];
                         const auto signature = m_signatures.find(req.path);
                         if (signature == m_signatures.end()) {
                             res.status = 404;
                             return;
                         }
                         res.set_content(signature->second, "text/plain");
                     });
        m_server.Get("/vaskpc.txt", [this](const httplib::Request&, httplib::Response& res) {
            ++noticeRequests;
            std::unique_lock<std::mutex> hold(m_lock);
            m_released.wait(hold, [this] { return !m_holdNotice; });
            res.status = m_noticeStatus;
            if (!m_trickleNotice) {
                res.set_content(m_noticeBody, "text/plain");
                return;
            }
            // One byte every 100 ms of a body announced at 1 MiB: a notice server that never
            // quite stops talking. Ends when the launcher hangs up or the server stops.
            res.set_content_provider(
                1 << 20, "text/plain", [this](size_t, size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    return !m_stopping && sink.write("A", 1);
                });
        });
        m_server.Get("/Client.zip", [this](const httplib::Request& req, httplib::Response& res) {
            ++archiveRequests;
            std::lock_guard<std::mutex> hold(m_lock);
            m_archiveRanges.push_back(req.get_header_value("Range"));
            // A 200 is left to cpp-httplib, which answers a Range request with 206 and the rest.
            if (m_archiveStatus != 200) {
                res.status = m_archiveStatus;
            }
            if (m_cutAfter != 0) {
                // The full length is announced, then the connection closes early.
                const std::string body = m_archive.substr(0, m_cutAfter);
                const size_t announced = m_archive.size();
                res.set_content_provider(announced, "application/zip",
                                         [body](size_t offset, size_t, httplib::DataSink& sink) {
                                             return offset == 0 &&
                                                    sink.write(body.data(), body.size());
                                         });
                return;
            }
            if (m_stallAfter == 0) {
                res.set_content(m_archive, "application/zip");
                return;
            }
            // Sends the first bytes, then nothing until released: a stalled archive server.
            const std::string body = m_archive;
            res.set_content_provider(body.size(), "application/zip",
                                     [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                                         std::unique_lock<std::mutex> wait(m_lock);
                                         if (offset == 0) {
                                             sink.write(body.data(), m_stallAfter);
                                             ++stalledBodies;
                                             m_released.notify_all();
                                             return true;
                                         }
                                         m_released.wait(wait,
                                                         [this] { return m_stallAfter == 0; });
                                         sink.write(body.data() + offset, body.size() - offset);
                                         return true;
                                     });
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) {
            std::this_thread::yield();
        }
    }
    ~LoopbackServer() {
        m_stopping = true;
        ReleaseNotice();
        ReleaseArchive();
        m_server.stop();
        m_thread.join();
    }

    int port() const { return m_port; }
    void SetNotice(int status, std::string body) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_noticeStatus = status;
        m_noticeBody = std::move(body);
    }
    void SetArchive(int status, std::string bytes) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_archiveStatus = status;
        m_archive = std::move(bytes);
    }

    // Serves `text` as the signature file at `path` ("/vaskpc.txt.sig"); without one, 404.
    void SetSignature(const std::string& path, std::string text) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_signatures[path] = std::move(text);
    }
    int SignatureRequests(const std::string& path) {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_signatureRequests[path];
    }

    // Keeps answers to /vaskpc.txt waiting (a silent notice server) until released.
    void HoldNotice() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_holdNotice = true;
    }
    void ReleaseNotice() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_holdNotice = false;
        }
        m_released.notify_all();
    }

    // Notice answers trickle one byte every 100 ms (see the handler).
    void TrickleNotice() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_trickleNotice = true;
    }

    // Archive answers announce the whole archive but send only its first `bytes`, then close.
    void CutArchiveAfter(size_t bytes) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_cutAfter = bytes;
    }

    // Archive answers send this many bytes, then stall until released.
    void StallArchiveAfter(size_t bytes) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stallAfter = bytes;
    }
    void ReleaseArchive() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_stallAfter = 0;
        }
        m_released.notify_all();
    }

    // The Range header of each archive request so far (empty when it had none).
    std::vector<std::string> ArchiveRanges() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_archiveRanges;
    }

    std::atomic<int> stalledBodies{0};
    std::atomic<int> noticeRequests{0};
    std::atomic<int> archiveRequests{0};

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_lock;
    std::condition_variable m_released;
    bool m_holdNotice = false;
    bool m_trickleNotice = false;
    std::atomic<bool> m_stopping{false};
    size_t m_stallAfter = 0;
    size_t m_cutAfter = 0;
    int m_noticeStatus = 404;
    std::string m_noticeBody;
    int m_archiveStatus = 404;
    std::string m_archive;
    std::vector<std::string> m_archiveRanges;
    std::map<std::string, std::string> m_signatures;
    std::map<std::string, int> m_signatureRequests;
};

// The pause between two ticks driven by hand: short, so that a run takes little time, yet long
// enough that the tick counts of the flow's own waits pass while the workers do their part. On
// Windows 1 ms, the least Sleep waits (a shorter pause does not wait at all).
#ifdef _WIN32
inline constexpr auto kTickPause = std::chrono::milliseconds(1);
#else
inline constexpr auto kTickPause = std::chrono::microseconds(300);
#endif

// A sandbox drive of the harness: its letter, the free space it reports, and whether its root
// is left to be made on first use (as ~/Games on a Linux desktop) instead of made here.
struct HarnessDrive {
    char letter;
    uint64_t freeBytes;
    bool rootMadeOnFirstUse = false;
};

class FlowHarness {
public:
    static constexpr uint64_t kGiB = 1ull << 30;

    // A notice server that cannot be reached: connections go to a closed loopback port.
    static constexpr int kClosedPort = 1;

    // The drives' folders lie in a new temporary folder in `tempParent` (a host folder).
    explicit FlowHarness(
        std::vector<HarnessDrive> drives = {{'D', 100 * kGiB}, {'E', 200 * kGiB}},
        bool noticeReachable = true,
        const std::string& tempParent = std::filesystem::temp_directory_path().string())
        : temp(tempParent) {
        platform::HostFacts facts;
        facts.sandboxed = true;
        for (const HarnessDrive& wanted : drives) {
            platform::DriveFacts drive;
            drive.letter = wanted.letter;
            drive.hostRoot = temp.Join(std::string(1, wanted.letter));
            drive.freeBytes = wanted.freeBytes;
            drive.rootMadeOnFirstUse = wanted.rootMadeOnFirstUse;
            if (!drive.rootMadeOnFirstUse) {
                std::filesystem::create_directories(drive.hostRoot);
            }
            facts.drives.push_back(drive);
        }
        facts.hosts.push_back({"notice.tolbe.example", 80, "127.0.0.1",
                               noticeReachable ? server.port() : kClosedPort});
        facts.hosts.push_back({"cdn.tolbe.example", 80, "127.0.0.1", server.port()});
        facts.desktop = temp.Join("desktop");
        std::filesystem::create_directories(*facts.desktop);
        platform::SetHostFacts(facts);
        flow = std::make_unique<InstallFlow>(app, webNet);
    }

    ~FlowHarness() {
        // The download thread is detached and reports a network failure to the view: it must
        // have ended before the view goes (in the launcher the window cannot close meanwhile).
        if (flow->currentDownload && flow->currentDownload->m_worker) {
            while ((flow->currentDownload->m_finished.load() & 0xFF) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        webNet.StopWorkers();
        // The extractor's worker is detached; it must not outlive the folders it writes to.
        int percent = 0;
        while (app.m_unzip.GetProgress(&percent) == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        flow.reset();
        platform::SetHostFacts({});
    }

    // Opens the window: the flow enters Requesting, one HTTP worker serves it.
    void Open(int workers = 1) {
        flow->Start(view);
        for (int i = 0; i < workers; ++i) {
            webNet.StartWorker();
        }
    }

    // Ticks until `done` holds; false when it did not within maxTicks or 30 seconds.
    bool TickUntil(const std::function<bool()>& done, int maxTicks = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (int i = 0; i < maxTicks && std::chrono::steady_clock::now() < deadline; ++i) {
            flow->Tick();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(kTickPause);
        }
        return false;
    }

    // Opens the window with the retry question to be answered Cancel and ticks until the window
    // ends: success when it ended after that one question, with the flow still requesting.
    ::testing::AssertionResult EndsAtTheRetryQuestion() {
        view.answers = {kIdCancel};
        Open();
        if (!TickUntil([&] { return view.endDialogCalls > 0; })) {
            return ::testing::AssertionFailure() << "the window did not end";
        }
        if (view.boxes.size() != 1 || view.boxes[0].text != kTextRetryQuestion) {
            return ::testing::AssertionFailure()
                   << view.boxes.size() << " boxes instead of the one retry question";
        }
        if (flow->m_flowState != Requesting) {
            return ::testing::AssertionFailure()
                   << "the flow went on to state " << flow->m_flowState;
        }
        return ::testing::AssertionSuccess();
    }

    bool TickUntilState(int state) {
        return TickUntil([&] { return flow->m_flowState == state; });
    }

    std::string Host(const std::string& windowsPath) const {
        return platform::ToHostPath(windowsPath).value_or("<unmapped " + windowsPath + ">");
    }

    // Publishes the record as the notice server's vaskpc.txt.
    void Publish(const zorv_VersionCheck& record) { server.SetNotice(200, RecordToText(record)); }

    TempDir temp;
    LoopbackServer server;
    WebNet webNet;
    CZorvDownloaderApp app{UiHooks{}, webNet};
    RecordingView view;
    std::unique_ptr<InstallFlow> flow;
};

}  // namespace tolbe_test

#pragma once
// The downloader tests' fixture: drive D: in a sandbox, a download started and awaited, and the
// network-failure messages it showed, with what stood on the disk when each was shown.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/file_download.h"
#include "tests/net/loopback_servers.h"
#include "tests/net/net_sandbox.h"
#include "tests/support/host_files.h"
#include "tests/support/wait_until.h"

namespace tolbe_test {

inline constexpr auto kDeadline = std::chrono::seconds(60);
inline constexpr char kArchive[] = R"(D:\Client.zip)";
inline constexpr char kPart[] = R"(D:\Client.zip.part)";
inline constexpr char kRecord[] = R"(D:\Client.zip.resume)";

// What is at a host path itself (a link is not followed).
inline std::string EntryAt(const std::string& hostPath) {
    if (IsHostLink(HostPathOf(hostPath))) {
        return "link";
    }
    switch (std::filesystem::symlink_status(hostPath).type()) {
        case std::filesystem::file_type::not_found:
            return "nothing";
        case std::filesystem::file_type::regular:
            return "file";
        case std::filesystem::file_type::directory:
            return "folder";
        default:
            return "other";
    }
}

// A network-failure message as the download thread reported it, with the end flag it saw then
// and what stood at the archive's two names meanwhile.
struct Shown {
    std::wstring message;
    uint16_t finishedMeanwhile;
    std::string archiveMeanwhile;
    std::string partMeanwhile;
    std::string recordMeanwhile;
};

// The stall rule of a download (bytes per second, seconds) and its resumes.
struct DownloadTuning {
    long bytesPerSecond = kStallBytesPerSecond;
    long seconds = kStallSeconds;
    int maxResumes = kMaxResumes;
    long firstResumeWaitMs = 1;  // the tests do not wait seconds between resumes
};

class FileDownloadTest : public ::testing::Test {
protected:
    // Starts a download of `url` into `path` and waits until it has ended.
    // With a public key, the archive must be signed with its secret key.
    std::shared_ptr<FileDownLoad> Download(const std::string& url,
                                           const std::string& path = kArchive,
                                           DownloadTuning tuning = {},
                                           const std::string& publicKey = "") {
        auto download = CreateDownload(url, path, [this](const std::wstring& message) {
            Shown seen{message, m_current.load()->m_finished.load(),
                       EntryAt(sandbox.Host(kArchive)), EntryAt(sandbox.Host(kPart)),
                       EntryAt(sandbox.Host(kRecord))};
            std::lock_guard<std::mutex> hold(m_lock);
            m_shown.push_back(seen);
        });
        download->m_lowSpeedLimit = tuning.bytesPerSecond;
        download->m_lowSpeedTime = tuning.seconds;
        download->m_maxResumes = tuning.maxResumes;
        download->m_firstResumeWaitMs = tuning.firstResumeWaitMs;
        download->m_publicKey = publicKey;
        m_current = download.get();
        StartDownloadThread(download);
        EXPECT_TRUE(WaitUntil([&] { return (download->m_finished & 0xFF) != 0; }, kDeadline))
            << "the download did not end";
        return download;
    }

    std::vector<Shown> shown() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_shown;
    }

    NetSandbox sandbox;
    // The download in progress, for servers that follow its counters.
    std::atomic<FileDownLoad*> m_current{nullptr};

private:
    std::mutex m_lock;
    std::vector<Shown> m_shown;
};

}  // namespace tolbe_test

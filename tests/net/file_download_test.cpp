#include "net/file_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>

#include "tests/net/loopback_servers.h"
#include "tests/net/net_sandbox.h"
#include "tests/support/random_bytes.h"
#include "tests/support/wait_until.h"

namespace {

using tolbe_test::HostPathExists;
using tolbe_test::LoopbackHttpServer;
using tolbe_test::NetSandbox;
using tolbe_test::RandomBytes;
using tolbe_test::RawHttpServer;
using tolbe_test::ReadHostFile;
using tolbe_test::WaitUntil;
using tolbe_test::WriteHostFile;

constexpr auto kDeadline = std::chrono::seconds(60);
constexpr char kArchive[] = R"(D:\Client.zip)";

// A network-failure message as the download thread reported it, with the end flag it saw then.
struct Shown {
    std::wstring message;
    uint16_t finishedMeanwhile;
};

class FileDownloadTest : public ::testing::Test {
protected:
    // Starts a download of `url` into `path` and waits until it has ended.
    std::shared_ptr<FileDownLoad> Download(const std::string& url,
                                           const std::string& path = kArchive) {
        auto download = CreateDownload(url, path, [this](const std::wstring& message) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_shown.push_back({message, m_current.load()->m_finished.load()});
        });
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

TEST_F(FileDownloadTest, ACompleteAnswerBecomesTheLocalFile) {
    const std::string archive = RandomBytes(300 * 1024 + 5, 3);  // NUL bytes included
    LoopbackHttpServer server([&](httplib::Server& http) {
        http.Get("/Client.zip", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(archive, "application/zip");
        });
        http.Get("/small.zip", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content("new", "application/zip");
        });
        http.Get("/empty.zip", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content("", "application/zip");
        });
        http.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/Client.zip");
        });
        http.Get("/chunked.zip", [&](const httplib::Request&, httplib::Response& response) {
            tolbe_test::SetChunkedContent(response, archive, 7000, "application/zip");
        });
    });
    const std::string base = sandbox.Route(server.port());
    struct Case {
        const char* path;
        std::string body;
        int64_t announced;
    };
    const std::vector<Case> cases = {
        {"/Client.zip", archive, static_cast<int64_t>(archive.size())},
        {"/moved", archive, static_cast<int64_t>(archive.size())},
        {"/chunked.zip", archive, 0},  // no Content-Length: the percentage stays 0
        {"/small.zip", "new", 3},      // the longer file of the last case is cut
        {"/empty.zip", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto download = Download(base + c.path);
        EXPECT_EQ(download->m_finished, kDownloadEndedAfterTransfer);
        EXPECT_EQ(download->m_contentLength, c.announced);
        EXPECT_EQ(download->m_receivedBytes, static_cast<int64_t>(c.body.size()));
        EXPECT_TRUE(ReadHostFile(sandbox.Host(kArchive)) == c.body);
        ASSERT_NE(download->m_worker, nullptr);
        EXPECT_FALSE(download->m_worker->joinable());  // detached
    }
    EXPECT_TRUE(shown().empty());
}

TEST_F(FileDownloadTest, AClosedConnectionWithoutLengthEndsTheBody) {
    const std::string archive = RandomBytes(50000, 4);
    RawHttpServer server([&](RawHttpServer::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + archive);
    });
    const auto download = Download(sandbox.Route(server.port()) + "/Client.zip");
    EXPECT_EQ(download->m_finished, kDownloadEndedAfterTransfer);
    EXPECT_EQ(download->m_contentLength, 0);
    EXPECT_EQ(download->m_receivedBytes, 50000);
    EXPECT_TRUE(ReadHostFile(sandbox.Host(kArchive)) == archive);
    EXPECT_TRUE(shown().empty());
}

TEST_F(FileDownloadTest, NoTransferEndsQuietlyWithoutAFile) {
    LoopbackHttpServer server([](httplib::Server& http) {
        http.Get("/missing.zip", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html>not found</html>", "text/html");
        });
        http.Get("/busy.zip", [](const httplib::Request&, httplib::Response& response) {
            response.status = 503;
        });
        http.Get("/Client.zip", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("archive", "application/zip");
        });
    });
    const std::string base = sandbox.Route(server.port());
    std::filesystem::create_directories(sandbox.Host(R"(D:\folder)"));
    struct Case {
        const char* name;
        std::string path;
        std::string savePath;
    };
    const std::vector<Case> cases = {
        {"404 with a page", "/missing.zip", kArchive},
        {"503 without a body", "/busy.zip", kArchive},
        {"folder missing", "/Client.zip", R"(D:\missing\Client.zip)"},
        {"target is a folder", "/Client.zip", R"(D:\folder)"},
        {"no such drive", "/Client.zip", R"(Q:\Client.zip)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto download = Download(base + c.path, c.savePath);
        EXPECT_EQ(download->m_finished, kDownloadEndedWithoutTransfer);
        EXPECT_EQ(download->m_receivedBytes, 0);
        EXPECT_FALSE(HostPathExists(sandbox.Host(kArchive)));
    }
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.Host(R"(D:\folder)")));
    EXPECT_TRUE(shown().empty());
}

TEST_F(FileDownloadTest, ANetworkFailureIsShownOnceAndKeepsWhatArrived) {
    constexpr int64_t kAnnounced = 100000;
    constexpr int64_t kHalf = 40000;
    const std::string archive = RandomBytes(kAnnounced, 5);
    // The servers follow the downloads' counters: the downloads go only after the servers have
    // been joined (declared first, destroyed last).
    std::vector<std::shared_ptr<FileDownLoad>> downloads;
    // Sends half of the body, waits until the downloader has written it, then resets.
    RawHttpServer resetting([&](RawHttpServer::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kAnnounced) +
                        "\r\n\r\n" + archive.substr(0, kHalf));
        WaitUntil([&] { return m_current.load()->m_receivedBytes == kHalf; }, kDeadline);
        connection.Reset();
    });
    // Announces more than 4 GiB, sends a little and closes in good order.
    const int64_t kHuge = (int64_t{5} << 30) + 1;
    RawHttpServer shortBody([&](RawHttpServer::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kHuge) + "\r\n\r\n" +
                        archive.substr(0, 1000));
    });
    struct Case {
        const char* name;
        std::string url;
        int code;  // libcurl's error code
        int64_t announced;
        int64_t received;
    };
    const std::vector<Case> cases = {
        {"reset in the middle", sandbox.Route(resetting.port()) + "/Client.zip", 56, kAnnounced,
         kHalf},
        {"shorter than announced", sandbox.Route(shortBody.port()) + "/Client.zip", 18, kHuge,
         1000},
        {"connection refused",
         "http://127.0.0.1:" + std::to_string(tolbe_test::UnusedLoopbackPort()) + "/Client.zip", 7,
         0, 0},
        {"not a URL", "http://[::1/Client.zip", 3, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(sandbox.Host(kArchive));
        const size_t before = shown().size();
        const auto download = Download(c.url);
        downloads.push_back(download);
        const std::vector<Shown> now = shown();
        ASSERT_EQ(now.size(), before + 1);  // one message
        const std::wstring& message = now.back().message;
        const std::wstring prefix = L"网络异常:";
        const std::wstring suffix = L"\nm_dwError:" + std::to_wstring(c.code);
        ASSERT_GT(message.size(), prefix.size() + suffix.size());  // with libcurl's text
        EXPECT_EQ(message.substr(0, prefix.size()), prefix);
        EXPECT_EQ(message.substr(message.size() - suffix.size()), suffix);
        EXPECT_EQ(message.find(L'\n'), message.size() - suffix.size());
        EXPECT_EQ(now.back().finishedMeanwhile, kDownloadRunning);  // the end comes after it
        EXPECT_EQ(download->m_finished, kDownloadEndedAfterTransfer);
        EXPECT_EQ(download->m_contentLength, c.announced);
        EXPECT_EQ(download->m_receivedBytes, c.received);
        if (c.received > 0) {
            EXPECT_TRUE(ReadHostFile(sandbox.Host(kArchive)) == archive.substr(0, c.received));
        } else {
            EXPECT_FALSE(HostPathExists(sandbox.Host(kArchive)));
        }
    }
}

TEST_F(FileDownloadTest, TheOwnerMayLetGoWhileTheDownloadRuns) {
    LoopbackHttpServer server([](httplib::Server& http) {
        http.Get("/Client.zip", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("archive", "application/zip");
        });
    });
    auto download = CreateDownload(sandbox.Route(server.port()) + "/Client.zip", kArchive, {});
    const std::weak_ptr<FileDownLoad> watch = download;
    StartDownloadThread(download);
    download.reset();
    // The thread kept the object alive to its end, and let go of it then.
    EXPECT_TRUE(WaitUntil([&] { return watch.expired(); }, kDeadline));
    EXPECT_EQ(ReadHostFile(sandbox.Host(kArchive)), "archive");
}

}  // namespace

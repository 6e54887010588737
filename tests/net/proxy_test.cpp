// Requests and downloads through the proxy the host names: on POSIX, libcurl's environment
// variables. The servers' names resolve nowhere, so only the proxy can reach them.

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "net/request_performer.h"
#include "platform/text.h"
#include "tests/net/download_fixture.h"
#include "tests/net/loopback_proxy.h"
#include "tests/support/debug_capture.h"
#include "tests/support/scoped_variable.h"

namespace tolbe_test {
namespace {

constexpr char kNoticeUrl[] = "http://notice.tolbe.example/vaskpc.txt?channel=7";
constexpr char kArchiveUrl[] = "http://cdn.tolbe.example/Client.zip";
const std::string kArchiveBytes(300 * 1024, 'z');

class ProxyTest : public FileDownloadTest {
protected:
    ProxyTest()
        : m_site([](httplib::Server& server) {
              server.Get("/vaskpc.txt", [](const httplib::Request&, httplib::Response& answer) {
                  answer.set_content("record", "text/plain");
              });
              server.Get("/Client.zip", [](const httplib::Request&, httplib::Response& answer) {
                  answer.set_content(kArchiveBytes, "application/zip");
              });
          }) {}

    LoopbackHttpServer m_site;
    // Only the lower-case variable is read for http:// URLs; the others must not interfere.
    ScopedVariable m_noProxy{"no_proxy", ""};
    ScopedVariable m_upperNoProxy{"NO_PROXY", ""};
    ScopedVariable m_allProxy{"all_proxy", ""};
};

WebNetRequest Get(const std::string& url) {
    WebNetRequest request;
    request.url = url;
    request.deadlineMs = 30000;
    PerformRequest(request);
    return request;
}

TEST_F(ProxyTest, RequestsAndDownloadsTravelThroughTheEnvironmentsProxy) {
    LoopbackProxy proxy(m_site.port());
    ScopedVariable variable("http_proxy", proxy.Url());
    sandbox.UseHostProxy();

    const WebNetRequest notice = Get(kNoticeUrl);
    EXPECT_TRUE(notice.completed);
    EXPECT_EQ(notice.status, 200);
    EXPECT_EQ(notice.response, "record");

    const auto download = Download(kArchiveUrl);
    EXPECT_TRUE(download->m_complete);
    EXPECT_EQ(ReadHostFile(sandbox.Host(kArchive)), kArchiveBytes);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(proxy.Requests(), (std::vector<std::string>{kNoticeUrl, kArchiveUrl}));
}

// A sandbox without "proxy host" reaches only what its host lines name, whatever the
// environment says.
TEST_F(ProxyTest, SandboxWithoutHostProxyGoesDirect) {
    LoopbackProxy proxy(m_site.port());
    ScopedVariable variable("http_proxy", proxy.Url());
    sandbox.RouteHost("notice.tolbe.example", 80, m_site.port());

    const WebNetRequest notice = Get(kNoticeUrl);
    EXPECT_TRUE(notice.completed);
    EXPECT_EQ(notice.response, "record");
    EXPECT_TRUE(proxy.Requests().empty());
}

// A proxy that wants credentials it never accepts stops both kinds of transfer with their own
// words: the request is not complete, the download is a network failure that leaves nothing.
TEST_F(ProxyTest, ProxyRefusingCredentialsIsANetworkFailure) {
    LoopbackProxy proxy(m_site.port(), LoopbackProxy::Mode::DemandCredentials);
    ScopedVariable variable("http_proxy", proxy.Url());
    sandbox.UseHostProxy();
    DebugCapture diagnostics;

    const WebNetRequest notice = Get(kNoticeUrl);
    EXPECT_TRUE(notice.proxyRefused);
    EXPECT_FALSE(notice.completed);
    EXPECT_EQ(notice.status, 407);

    const auto download = Download(kArchiveUrl);
    EXPECT_EQ(download->m_finished, kDownloadEndedAfterTransfer);
    EXPECT_FALSE(download->m_complete);
    const auto messages = shown();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, L"网络异常:" + platform::NarrowToWide(kProxyRefusedText) +
                                       L"\nm_dwError:" + std::to_wstring(CURLE_COULDNT_CONNECT));
    EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "nothing");
    EXPECT_EQ(EntryAt(sandbox.Host(kPart)), "nothing");
    EXPECT_EQ(proxy.RequestsFor(kArchiveUrl), 1);
    const std::string line = std::string(kArchiveUrl) + ": " + kProxyRefusedText + "\r\n";
    const auto pieces = diagnostics.pieces();
    EXPECT_EQ(std::count(pieces.begin(), pieces.end(), line), 1);
}

}  // namespace
}  // namespace tolbe_test

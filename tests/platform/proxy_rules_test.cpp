#include "platform/proxy_rules.h"

#include <gtest/gtest.h>

#include "platform/host_facts.h"
#include "platform/proxy.h"

namespace {

using platform::ProxyRoute;

ProxyRoute Via(const char* proxy) {
    ProxyRoute route;
    route.via = ProxyRoute::Via::Proxy;
    route.proxy = proxy;
    route.logonCredentials = true;
    return route;
}

const ProxyRoute kDirect{};

TEST(ProxyRules, FixedServerAndBypassListPerUrl) {
    const struct {
        const char* servers;
        const char* bypass;
        const char* url;
        ProxyRoute route;
    } cases[] = {
        // One server for every scheme; the port Windows assumes when none is written.
        {"10.0.0.1:3128", "", "http://notice.tolbe.example/vaskpc.txt",
         Via("http://10.0.0.1:3128")},
        {"10.0.0.1:3128", "", "https://cdn.tolbe.example/Client.zip", Via("http://10.0.0.1:3128")},
        {"proxy.corp", "", "http://a.example/", Via("http://proxy.corp:80")},
        {"http://proxy.corp:8080/", "", "http://a.example/", Via("http://proxy.corp:8080")},
        {"[fd00::1]:3128", "", "http://a.example/", Via("http://[fd00::1]:3128")},
        // Per-scheme lists: the URL's scheme, else socks, else direct.
        {"http=h:1;https=s:2", "", "http://a.example/x", Via("http://h:1")},
        {"http=h:1;https=s:2", "", "https://a.example/x", Via("http://s:2")},
        {"HTTP=h:1; ftp=f:3", "", "https://a.example/x", kDirect},
        {"http=h:1;socks=k:1080", "", "https://a.example/x", Via("socks4://k:1080")},
        {"ftp=f:3;http=h:1", "", "http://a.example/x", Via("http://h:1")},
        // Bypass entries: wildcards, <local>, a scheme or port of their own, any case.
        {"p:1", "*.tolbe.example", "http://notice.tolbe.example/", kDirect},
        {"p:1", "*.tolbe.example", "http://tolbe.example/", Via("http://p:1")},
        {"p:1", ".tolbe.example", "http://cdn.tolbe.example/", kDirect},
        {"p:1", "10.*;192.168.*", "http://192.168.1.20/x", kDirect},
        {"p:1", "10.*", "http://110.1.1.1/x", Via("http://p:1")},
        {"p:1", "<local>", "http://fileserver/Client.zip", kDirect},
        {"p:1", "<local>", "http://fileserver.corp/Client.zip", Via("http://p:1")},
        {"p:1", "<local>", "http://[fd00::2]/x", Via("http://p:1")},
        {"p:1", "NOTICE.Tolbe.Example", "http://notice.tolbe.example/", kDirect},
        {"p:1", "https://cdn.tolbe.example", "http://cdn.tolbe.example/", Via("http://p:1")},
        {"p:1", "https://cdn.tolbe.example", "https://cdn.tolbe.example/", kDirect},
        {"p:1", "cdn.tolbe.example:8080", "http://cdn.tolbe.example/", Via("http://p:1")},
        {"p:1", "cdn.tolbe.example:8080", "http://cdn.tolbe.example:8080/", kDirect},
        {"p:1", "cdn.tolbe.example:*", "http://cdn.tolbe.example:8080/", kDirect},
        {"p:1", "a.example; ;b.example", "http://user:pw@b.example:81/x?y", kDirect},
        // Loopback never goes through a proxy.
        {"p:1", "", "http://localhost:8080/", kDirect},
        {"p:1", "", "http://127.0.0.1/x", kDirect},
        {"p:1", "", "http://[::1]:80/x", kDirect},
        {"p:1", "", "http://127.example/x", Via("http://p:1")},
        // Settings that name no usable server, and URLs no proxy serves, go direct.
        {"", "", "http://a.example/", kDirect},
        {"http=", "", "http://a.example/", kDirect},
        {"p:99999", "", "http://a.example/", kDirect},
        {"ftp://p:1", "", "http://a.example/", kDirect},
        {"p:1", "", "ftp://a.example/", kDirect},
        {"p:1", "", "not a url", kDirect},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::FixedProxyRoute(c.servers, c.bypass, c.url), c.route)
            << "servers \"" << c.servers << "\" bypass \"" << c.bypass << "\" url " << c.url
            << " gave "
            << platform::DescribeRoute(platform::FixedProxyRoute(c.servers, c.bypass, c.url));
    }
}

TEST(ProxyRules, ScriptAnswersAndWinHttpLists) {
    const struct {
        const char* list;
        ProxyRoute route;
    } cases[] = {
        {"PROXY a:1; DIRECT", Via("http://a:1")},
        {"DIRECT; PROXY a:1", kDirect},
        {"DIRECT", kDirect},
        {"", kDirect},
        {" ; ", kDirect},
        {"proxy a", Via("http://a:80")},
        {"HTTPS s:443", Via("https://s:443")},
        {"SOCKS k:1080; PROXY a:1", Via("socks4://k:1080")},
        {"SOCKS5 k:1080", Via("socks5://k:1080")},
        {"PROXY; PROXY a b; PROXY c:2", Via("http://c:2")},  // malformed entries are passed over
        {"QUIC q:443; PROXY a:1", Via("http://a:1")},
        // WinHTTP's form of a script's answer: servers only.
        {"a:1;b:2", Via("http://a:1")},
        {"a:1 b:2", Via("http://a:1")},
        {"bad:port b:2", Via("http://b:2")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::RouteOfProxyList(c.list), c.route)
            << "list \"" << c.list << "\" gave "
            << platform::DescribeRoute(platform::RouteOfProxyList(c.list));
    }
}

TEST(ProxyRules, UrlTargets) {
    const auto target = platform::TargetOfUrl("HTTPS://User:p@W@CDN.Tolbe.Example/a:b?c=d#e");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->scheme, "https");
    EXPECT_EQ(target->host, "cdn.tolbe.example");
    EXPECT_EQ(target->port, 443);
    const auto v6 = platform::TargetOfUrl("http://[::1]:8080");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "[::1]");
    EXPECT_EQ(v6->port, 8080);
    for (const char* bad : {"http://", "http://a:0/", "http://a:x/", "file:///x", "a.example"}) {
        EXPECT_FALSE(platform::TargetOfUrl(bad)) << bad;
    }
}

// A sandbox reaches nothing outside its profile: no proxy unless the profile asks for the
// host's own settings.
TEST(ProxyRoutes, SandboxUsesNoProxyUnlessTheProfileSaysSo) {
    const std::string url = "http://notice.tolbe.example/vaskpc.txt";
    platform::SandboxProfile profile;
    platform::SetHostFacts(platform::FactsFromProfile(profile, "p.txt"));
    EXPECT_EQ(platform::ProxyRouteFor(url), kDirect);

    profile.hostProxy = true;
    platform::SetHostFacts(platform::FactsFromProfile(profile, "p.txt"));
    EXPECT_EQ(platform::ProxyRouteFor(url), platform::HostProxyRoute(url));
    platform::InitHostFacts();
}

}  // namespace

#include "net/web_net.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>

#include "platform/host_facts.h"
#include "platform/proxy.h"

#include "tests/net/loopback_servers.h"
#include "tests/net/net_sandbox.h"
#include "tests/support/random_bytes.h"
#include "tests/support/scoped_variable.h"

namespace {

using tolbe_test::LoopbackHttpServer;
using tolbe_test::NetSandbox;
using tolbe_test::RandomBytes;
using tolbe_test::RawHttpServer;

constexpr auto kDeadline = std::chrono::seconds(30);

// What a completion function saw. Completion functions run on the dispatching thread only.
struct Finished {
    std::string url;
    std::string body;
    std::string response;
    bool completed = false;
    long status = 0;
    std::thread::id thread;
    bool timedOut = false;
    bool responseTooLarge = false;
};
std::vector<Finished> finished;

bool Record(WebNetRequest* request) {
    finished.push_back({request->url, request->body, request->response, request->completed,
                        request->status, std::this_thread::get_id(), request->timedOut,
                        request->responseTooLarge});
    return true;
}

// Dispatches until `count` requests have finished in all, or the deadline passes.
void DispatchUntil(WebNet& net, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (finished.size() < count && std::chrono::steady_clock::now() < deadline) {
        net.DispatchFinished();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(finished.size(), count) << "requests did not finish in time";
}

// A request as cpp-httplib received it.
struct Received {
    std::string method;
    std::string target;
    std::string version;
    std::string host;
    std::string userAgent;
    std::string contentType;
    std::string expect;
    std::string body;
};

class WebNetTest : public ::testing::Test {
protected:
    void SetUp() override { finished.clear(); }

    std::unique_ptr<WebNetRequest> Request(int kind, const std::string& url) {
        auto request = std::make_unique<WebNetRequest>();
        request->kind = kind;
        request->url = url;
        request->callback = &Record;
        return request;
    }

    NetSandbox sandbox;
};

TEST_F(WebNetTest, EachKindSendsItsVerbHeadersAndBody) {
    std::mutex lock;
    std::vector<Received> received;
    LoopbackHttpServer server([&](httplib::Server& http) {
        const auto record = [&](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard<std::mutex> hold(lock);
            received.push_back(
                {request.method, request.target, request.version, request.get_header_value("Host"),
                 request.get_header_value("User-Agent"), request.get_header_value("Content-Type"),
                 request.get_header_value("Expect"), request.body});
            response.set_content("answer to " + request.method, "text/plain");
        };
        http.Get("/form", record);
        http.Post("/form", record);
    });
    const std::string base = sandbox.Route(server.port());
    const std::string bigJson = "{\"pad\":\"" + std::string(2 << 20, 'x') + "\"}";

    struct Case {
        const char* name;
        int kind;
        std::map<std::string, std::string> params;
        std::string body;
        std::string target;
        std::string contentType;
        std::string sentBody;
    };
    const std::vector<Case> cases = {
        // Keys in ascending byte order, nothing escaped.
        {"get", Get, {{"b", "2"}, {"a", "1"}, {"c", "%41/x"}}, "", "/form?a=1&b=2&c=%41/x", "", ""},
        {"get without parameters", Get, {}, "", "/form", "", ""},
        // The body is rewritten from the parameters; the URL keeps no query.
        {"form",
         PostForm,
         {{"b", "2"}, {"a", "1"}},
         "stale",
         "/form",
         "application/x-www-form-urlencoded",
         "a=1&b=2"},
        {"empty form", PostForm, {}, "", "/form", "application/x-www-form-urlencoded", ""},
        // The JSON text goes out as its creator set it; the parameters play no part.
        {"json",
         PostJson,
         {{"a", "1"}},
         "{\"名\":\"值\"}",
         "/form",
         "application/json; charset=utf-8",
         "{\"名\":\"值\"}"},
        {"large json", PostJson, {}, bigJson, "/form", "application/json; charset=utf-8", bigJson},
    };

    WebNet net;
    for (const Case& c : cases) {
        auto request = Request(c.kind, base + "/form");
        request->params = c.params;
        request->body = c.body;
        ASSERT_TRUE(net.Queue(std::move(request)));
    }
    net.StartWorker();  // one worker: the requests go out in queue order
    DispatchUntil(net, cases.size());
    net.StopWorkers();

    // The server's handler thread wrote `received` under the lock; taking it here is what
    // orders those writes before these reads (the answers travelled through a socket).
    std::lock_guard<std::mutex> hold(lock);
    ASSERT_EQ(received.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const Received& r = received[i];
        const std::string method = c.kind == Get ? "GET" : "POST";
        EXPECT_EQ(r.method, method);
        EXPECT_EQ(r.target, c.target);
        EXPECT_EQ(r.version, "HTTP/1.1");
        EXPECT_EQ(r.host, base.substr(std::string("http://").size()));  // as written in the URL
        EXPECT_EQ(r.userAgent, "httpRequest/1.0");
        EXPECT_EQ(r.contentType, c.contentType);
        EXPECT_EQ(r.expect, "");
        EXPECT_EQ(r.body, c.sentBody);

        EXPECT_EQ(finished[i].url, base + c.target);
        EXPECT_EQ(finished[i].response, "answer to " + method);
        EXPECT_TRUE(finished[i].completed);
        EXPECT_EQ(finished[i].status, 200);
        EXPECT_EQ(finished[i].thread, std::this_thread::get_id());
    }
}

TEST_F(WebNetTest, EveryBodyByteArrivesWhateverTheStatus) {
    const std::string large = RandomBytes((1 << 20) + 3, 7);  // NUL bytes included
    const std::string nul("a\0b\0\0c", 6);
    LoopbackHttpServer server([&](httplib::Server& http) {
        http.Get("/large", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(large, "application/octet-stream");
        });
        http.Get("/chunked", [&](const httplib::Request&, httplib::Response& response) {
            tolbe_test::SetChunkedContent(response, large, 10000, "application/octet-stream");
        });
        http.Get("/nul", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(nul, "application/octet-stream");
        });
        http.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html>no such page</html>", "text/html");
        });
        http.Get("/broken", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("server error page", "text/plain");
        });
        http.Get("/empty", [](const httplib::Request&, httplib::Response&) {});
    });
    const std::string base = sandbox.Route(server.port());
    struct Case {
        std::string path;
        long status;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"/large", 200, large},
        {"/chunked", 200, large},
        {"/nul", 200, nul},
        {"/missing", 404, "<html>no such page</html>"},
        {"/broken", 500, "server error page"},
        {"/empty", 200, ""},
    };

    WebNet net;
    net.StartWorker();
    for (const Case& c : cases) {
        ASSERT_TRUE(net.QueueGet(base + c.path, &Record));
    }
    DispatchUntil(net, cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].path);
        EXPECT_EQ(finished[i].status, cases[i].status);
        EXPECT_TRUE(finished[i].completed);
        EXPECT_FALSE(finished[i].timedOut);
        EXPECT_FALSE(finished[i].responseTooLarge);  // no cap by default
        EXPECT_EQ(finished[i].response.size(), cases[i].body.size());
        EXPECT_TRUE(finished[i].response == cases[i].body);
    }
}

TEST_F(WebNetTest, AnExchangeThatBreaksOffIsToldFromAnAnswer) {
    // The answer announces 10000 bytes and the connection closes after 4000 of them.
    const std::string part(4000, 'p');
    RawHttpServer server([&](RawHttpServer::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + part);
    });
    const std::string base = sandbox.Route(server.port());
    const int unused = tolbe_test::UnusedLoopbackPort();

    WebNet net;
    net.StartWorker();
    ASSERT_TRUE(net.QueueGet(base + "/vaskpc.txt", &Record));
    ASSERT_TRUE(net.QueueGet("http://127.0.0.1:" + std::to_string(unused) + "/", &Record));
    DispatchUntil(net, 2);

    EXPECT_FALSE(finished[0].completed);
    EXPECT_FALSE(finished[0].timedOut);
    EXPECT_EQ(finished[0].status, 200);
    EXPECT_EQ(finished[0].response, part);  // what arrived is kept
    // Unreachable: the completion function still runs, with nothing received.
    EXPECT_FALSE(finished[1].completed);
    EXPECT_EQ(finished[1].status, 0);
    EXPECT_EQ(finished[1].response, "");
}

TEST_F(WebNetTest, RequestsThatCannotBeSentFinishWithoutAConnection) {
    RawHttpServer server([](RawHttpServer::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    const std::string base = sandbox.Route(server.port());
    const std::string direct = "http://127.0.0.1:" + std::to_string(server.port());
    // "GET " + target + " HTTP/1.1\r\n": the head the server sees for a URL of the given size.
    const auto urlOfSize = [&](size_t size) {
        std::string url = direct + "/";
        url.append(size - url.size(), 'u');
        return url;
    };

    struct Case {
        const char* name;
        int kind;
        std::string url;
        bool reachesServer;
    };
    const std::vector<Case> cases = {
        {"longest URL that is sent", Get, urlOfSize(kMaxUrlBytes - 1), true},
        {"URL at the limit", Get, urlOfSize(kMaxUrlBytes), false},
        {"URL beyond the limit", PostForm, urlOfSize(kMaxUrlBytes + 100), false},
        {"unknown kind", 3, base + "/x", false},
        {"not http", Get, "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x", false},
        {"not a URL", Get, "http://[::1", false},
    };
    WebNet net;
    net.StartWorker();
    for (const Case& c : cases) {
        ASSERT_TRUE(net.Queue(Request(c.kind, c.url)));
    }
    DispatchUntil(net, cases.size());

    EXPECT_EQ(server.connections(), 1);
    ASSERT_EQ(server.heads().size(), 1u);
    EXPECT_EQ(
        server.heads()[0].rfind("GET " + cases[0].url.substr(direct.size()) + " HTTP/1.1\r\n", 0),
        0u);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(finished[i].completed, cases[i].reachesServer);
        EXPECT_EQ(finished[i].status, cases[i].reachesServer ? 200 : 0);
        EXPECT_EQ(finished[i].response, cases[i].reachesServer ? "ok" : "");
    }
}

TEST_F(WebNetTest, CertificatesAreCheckedForEveryKind) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine's TLS (Schannel) accepts a self-signed server: the check cannot be seen";
#endif
    std::atomic<int> served{0};
    LoopbackHttpServer server(
        [&](httplib::Server& http) {
            const auto answer = [&](const httplib::Request&, httplib::Response& response) {
                ++served;
                response.set_content("secret", "text/plain");
            };
            http.Get("/vaskpc.txt", answer);
            http.Post("/vaskpc.txt", answer);
        },
        LoopbackHttpServer::Transport::TlsSelfSigned, "localhost");
    const std::string base = sandbox.Route(server.port(), "https");

    WebNet net;
    net.StartWorker();
    for (const int kind : {Get, PostForm, PostJson}) {
        ASSERT_TRUE(net.Queue(Request(kind, base + "/vaskpc.txt")));
    }
    DispatchUntil(net, 3);
    EXPECT_EQ(served, 0);  // no request got past the handshake
    for (const Finished& f : finished) {
        EXPECT_FALSE(f.completed);
        EXPECT_EQ(f.status, 0);
        EXPECT_EQ(f.response, "");
    }
}

TEST_F(WebNetTest, WorkersShareTheQueueAndStopWorkersJoinsThemAll) {
    // The first three requests are held until three of them are being served at once, which
    // only three workers working side by side can bring about.
    constexpr int kWorkers = 3;
    constexpr int kRequests = 12;
    std::mutex lock;
    std::condition_variable changed;
    int inside = 0;
    int held = 0;
    bool sideBySide = false;
    LoopbackHttpServer server([&](httplib::Server& http) {
        http.Get(R"(/n/(\d+))", [&](const httplib::Request& request, httplib::Response& response) {
            std::unique_lock<std::mutex> hold(lock);
            if (held < kWorkers) {
                ++held;
                ++inside;
                changed.notify_all();
                if (changed.wait_for(hold, kDeadline, [&] { return inside == kWorkers; })) {
                    sideBySide = true;
                }
            }
            response.set_content(request.matches[1].str(), "text/plain");
        });
    });
    const std::string base = sandbox.Route(server.port());

    WebNet net;
    for (int i = 0; i < kRequests; ++i) {  // queued before any worker runs
        ASSERT_TRUE(net.QueueGet(base + "/n/" + std::to_string(i), &Record));
    }
    for (int i = 0; i < kWorkers; ++i) {
        EXPECT_TRUE(net.StartWorker());
    }
    EXPECT_EQ(net.WorkerCount(), static_cast<size_t>(kWorkers));
    DispatchUntil(net, kRequests);
    net.StopWorkers();
    EXPECT_EQ(net.WorkerCount(), 0u);

    {
        std::lock_guard<std::mutex> hold(lock);  // written by the server's threads
        EXPECT_TRUE(sideBySide);
    }
    std::vector<std::string> responses;
    for (const Finished& f : finished) {
        EXPECT_TRUE(f.completed);
        EXPECT_EQ(f.thread, std::this_thread::get_id());
        responses.push_back(f.response);
    }
    std::sort(responses.begin(), responses.end());
    std::vector<std::string> expected;
    for (int i = 0; i < kRequests; ++i) {
        expected.push_back(std::to_string(i));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(responses, expected);  // each request performed exactly once
}

TEST_F(WebNetTest, StopWorkersWaitsForTheExchangeInFlight) {
    std::mutex lock;
    std::condition_variable changed;
    bool arrived = false;
    bool released = false;
    LoopbackHttpServer server([&](httplib::Server& http) {
        http.Get("/slow", [&](const httplib::Request&, httplib::Response& response) {
            std::unique_lock<std::mutex> hold(lock);
            arrived = true;
            changed.notify_all();
            changed.wait_for(hold, kDeadline, [&] { return released; });
            response.set_content("late answer", "text/plain");
        });
    });
    const std::string base = sandbox.Route(server.port());

    WebNet net;
    net.StartWorker();
    ASSERT_TRUE(net.QueueGet(base + "/slow", &Record));
    {
        std::unique_lock<std::mutex> hold(lock);
        ASSERT_TRUE(changed.wait_for(hold, kDeadline, [&] { return arrived; }));
    }
    auto stopped = std::async(std::launch::async, [&] { net.StopWorkers(); });
    // While the server holds the answer back, StopWorkers cannot have joined the worker.
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    {
        std::lock_guard<std::mutex> hold(lock);
        released = true;
    }
    changed.notify_all();
    stopped.get();
    EXPECT_EQ(net.WorkerCount(), 0u);
    net.DispatchFinished();  // the exchange ended before the join, its request is finished
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].response, "late answer");
    EXPECT_TRUE(finished[0].completed);
}

// Re-entrant dispatch: the first completion function queues a second request and, like a
// modal message box, runs a nested loop that dispatches until the second one has finished.
WebNet* reentrantNet = nullptr;
std::string reentrantSecondUrl;
std::string firstResponseAfterNestedLoop;

bool SecondFinished(WebNetRequest* request) {
    return Record(request);
}

bool FirstFinished(WebNetRequest* request) {
    reentrantNet->QueueGet(reentrantSecondUrl, &SecondFinished);
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (finished.empty() && std::chrono::steady_clock::now() < deadline) {
        reentrantNet->DispatchFinished();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The outer request is still alive and whole after the nested dispatch.
    firstResponseAfterNestedLoop = request->response;
    return Record(request);
}

TEST_F(WebNetTest, ACompletionFunctionMayDispatchAgain) {
    LoopbackHttpServer server([](httplib::Server& http) {
        http.Get(R"(/(\w+))", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.matches[1].str(), "text/plain");
        });
    });
    const std::string base = sandbox.Route(server.port());
    WebNet net;
    reentrantNet = &net;
    reentrantSecondUrl = base + "/second";
    net.StartWorker();
    ASSERT_TRUE(net.QueueGet(base + "/first", &FirstFinished));
    DispatchUntil(net, 2);
    EXPECT_EQ(finished[0].response, "second");  // finished inside the nested loop
    EXPECT_EQ(finished[1].response, "first");
    EXPECT_EQ(firstResponseAfterNestedLoop, "first");
    net.DispatchFinished();
    EXPECT_EQ(finished.size(), 2u);  // each request dispatched once
    reentrantNet = nullptr;
}

TEST_F(WebNetTest, ASandboxUsesNoProxyOfTheEnvironment) {
    RawHttpServer proxy([](RawHttpServer::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nfrom proxy");
    });
    LoopbackHttpServer server([](httplib::Server& http) {
        http.Get("/vaskpc.txt", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("direct", "text/plain");
        });
    });
    // Set before any worker reads it.
    const tolbe_test::ScopedVariable proxied("http_proxy",
                                             "http://127.0.0.1:" + std::to_string(proxy.port()));
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/vaskpc.txt";
    WebNet net;
    net.StartWorker();
    ASSERT_TRUE(net.QueueGet(url, &Record));  // in the sandbox
    DispatchUntil(net, 1);
    // Outside a sandbox the host's proxy settings serve: the environment's on POSIX; on Windows
    // Windows' own, which name no proxy here and would send a loopback address direct anyway.
    platform::HostFacts host;
    platform::SetHostFacts(host);
    ASSERT_TRUE(net.QueueGet(url, &Record));
    DispatchUntil(net, 2);
    const bool environmentServes =
        platform::HostProxyRoute(url).via == platform::ProxyRoute::Via::Environment;

    EXPECT_EQ(finished[0].response, "direct");
    EXPECT_EQ(finished[1].response, environmentServes ? "from proxy" : "direct");
    EXPECT_EQ(proxy.connections(), environmentServes ? 1 : 0);
}

bool MustNotRun(WebNetRequest*) {
    ADD_FAILURE() << "a discarded request's completion function ran";
    return true;
}

TEST_F(WebNetTest, RequestsNotYetPerformedAreDiscardedUnrun) {
    {
        WebNet net;
        EXPECT_FALSE(net.Queue(nullptr));
        EXPECT_EQ(net.WorkerCount(), 0u);
        ASSERT_TRUE(net.QueueGet("http://127.0.0.1:9/never", &MustNotRun));
        net.DispatchFinished();  // no worker: nothing has finished
        net.StartWorker();
        net.StopWorkers();
    }
    {
        // Destroyed while running: the workers are stopped first.
        WebNet net;
        net.StartWorker();
        net.StartWorker();
    }
    EXPECT_TRUE(finished.empty());
}

TEST(ServerInfoUrl, IsTheAddressTheLauncherWasBuiltWith) {
    EXPECT_EQ(ServerInfoUrl(), CONFIGURED_NOTICE_URL);
}

TEST_F(WebNetTest, ABodyPastTheCapEndsTheExchangeAtTheCap) {
    constexpr size_t kCap = 1000;
    const std::string exact = RandomBytes(kCap, 8);
    const std::string over = RandomBytes(kCap + 1, 9);
    LoopbackHttpServer server([&](httplib::Server& http) {
        http.Get("/exact", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(exact, "application/octet-stream");
        });
        http.Get("/over", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(over, "application/octet-stream");
        });
        http.Get("/exact-chunked", [&](const httplib::Request&, httplib::Response& response) {
            tolbe_test::SetChunkedContent(response, exact, 100, "application/octet-stream");
        });
        // Without a length the cap can only be met while the body arrives.
        http.Get("/over-chunked", [&](const httplib::Request&, httplib::Response& response) {
            tolbe_test::SetChunkedContent(response, over, 100, "application/octet-stream");
        });
        http.Get("/missing", [&](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content(over, "text/html");
        });
    });
    const std::string base = sandbox.Route(server.port());
    struct Case {
        const char* path;
        bool withinCap;
    };
    const std::vector<Case> cases = {
        {"/exact", true},         {"/over", false},    {"/exact-chunked", true},
        {"/over-chunked", false}, {"/missing", false},  // an error page is capped alike
    };
    WebNet net;
    net.StartWorker();
    for (const Case& c : cases) {
        auto request = Request(Get, base + c.path);
        request->maxResponseBytes = kCap;
        ASSERT_TRUE(net.Queue(std::move(request)));
    }
    DispatchUntil(net, cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.path);
        const Finished& f = finished[i];
        EXPECT_EQ(f.completed, c.withinCap);
        EXPECT_EQ(f.responseTooLarge, !c.withinCap);
        EXPECT_FALSE(f.timedOut);
        if (c.withinCap) {
            EXPECT_TRUE(f.response == exact);
        } else {
            EXPECT_LE(f.response.size(), kCap);
            EXPECT_TRUE(f.response == over.substr(0, f.response.size()));  // a prefix, if any
        }
    }
}

// The host and port of the notice server's address (80 when it names none).
std::pair<std::string, int> NoticeHostAndPort() {
    const std::string& url = ServerInfoUrl();
    const size_t start = url.find("://") + 3;
    const std::string authority = url.substr(start, url.find('/', start) - start);
    const size_t colon = authority.rfind(':');
    if (colon == std::string::npos) {
        return {authority, 80};
    }
    return {authority.substr(0, colon), std::stoi(authority.substr(colon + 1))};
}

class ServerInfoRequestTest : public WebNetTest {
protected:
    // Routes the notice server's own address to the loopback server on `port`.
    void RouteNoticeServer(int port) {
        const auto [host, noticePort] = NoticeHostAndPort();
        sandbox.RouteHost(host, noticePort, port);
    }
};

TEST_F(ServerInfoRequestTest, KeepsAtMostOneMebibyteOfAHugeAnswer) {
    constexpr size_t kHuge = size_t{64} << 20;
    const std::string piece = RandomBytes(64 * 1024, 10);
    const std::string record = "CgMxLjA=";  // a small vaskpc.txt
    // Each answer is streamed piece by piece and never held whole; the stream stops when the
    // launcher has let go.
    const auto stream = [&piece](size_t offset, httplib::DataSink& sink) {
        const size_t count = std::min(piece.size(), kHuge - offset);
        if (!sink.write(piece.data(), count)) {
            return false;
        }
        if (offset + count == kHuge) {
            sink.done();
        }
        return true;
    };
    std::mutex lock;
    std::vector<std::string> targets;
    LoopbackHttpServer server([&](httplib::Server& http) {
        http.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
            size_t served = 0;
            {
                std::lock_guard<std::mutex> hold(lock);
                targets.push_back(request.target);
                served = targets.size();
            }
            if (served == 1) {
                response.set_content(record, "text/plain");
            } else if (served == 2) {
                response.set_chunked_content_provider("text/plain", stream);
            } else {
                response.set_content_provider(kHuge, "text/plain",
                                              [&](size_t offset, size_t, httplib::DataSink& sink) {
                                                  return stream(offset, sink);
                                              });
            }
        });
    });
    RouteNoticeServer(server.port());

    WebNet net;
    net.StartWorker();  // one worker: the answers are served in queue order
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(net.Queue(NewServerInfoRequest(&Record)));
    }
    DispatchUntil(net, 3);
    net.StopWorkers();

    EXPECT_EQ(finished[0].url, ServerInfoUrl());
    EXPECT_TRUE(finished[0].completed);
    EXPECT_EQ(finished[0].response, record);
    for (size_t i = 1; i < 3; ++i) {
        SCOPED_TRACE(i == 1 ? "without a length" : "with a length of 64 MiB");
        EXPECT_FALSE(finished[i].completed);
        EXPECT_TRUE(finished[i].responseTooLarge);
        EXPECT_FALSE(finished[i].timedOut);
        EXPECT_LE(finished[i].response.size(), kServerInfoMaxBytes);
    }
    std::lock_guard<std::mutex> hold(lock);
    const std::string path = ServerInfoUrl().substr(ServerInfoUrl().find('/', 7));
    EXPECT_EQ(targets, std::vector<std::string>(3, path));
}

TEST_F(ServerInfoRequestTest, ATrickleEndsAtTheDeadline) {
    // One byte every 100 ms of a 1000-byte answer: 100 s, unless the deadline ends it first.
    RawHttpServer trickle([](RawHttpServer::Connection& connection) {
        bool open = connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        for (int sent = 0; open && sent < 1000; ++sent) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            open = connection.Send("x");
        }
    });
    RouteNoticeServer(trickle.port());

    WebNet net;
    net.StartWorker();
    ASSERT_TRUE(net.Queue(NewServerInfoRequest(&Record, 1000)));
    DispatchUntil(net, 1);  // within its 30 s, so long before the answer could end
    net.StopWorkers();

    EXPECT_FALSE(finished[0].completed);
    EXPECT_TRUE(finished[0].timedOut);
    EXPECT_FALSE(finished[0].responseTooLarge);
    EXPECT_EQ(finished[0].status, 200);
    EXPECT_LT(finished[0].response.size(), 1000u);
    EXPECT_EQ(finished[0].response, std::string(finished[0].response.size(), 'x'));
}

}  // namespace

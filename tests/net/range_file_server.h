#pragma once
// An archive server for the resume tests: it serves one file at any path, answers requests for
// a byte range (Range with If-Range) as a real server does or ignores them, names the file's
// version in ETag and Last-Modified, can cut a body short at chosen offsets, trickle it, and
// counts the body bytes it sent.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tests/net/loopback_servers.h"

namespace tolbe_test {

class RangeFileServer {
public:
    // How a body is cut short: an orderly close before the announced length, or a reset.
    enum class Cut { Close, Reset };

    struct Validators {
        bool etag = true;
        bool lastModified = true;
        bool acceptRanges = true;
    };

    explicit RangeFileServer(std::string file, std::string etag = "\"v1\"");

    int port() const { return m_raw.port(); }

    // The file changes (a new release), with a new ETag and Last-Modified.
    void Replace(std::string file, std::string etag);
    void SetValidators(Validators validators);
    // When false, a Range header is ignored and every answer is the whole file with 200.
    void HonourRanges(bool honour);
    // The next answers whose body passes `offset` (in file offsets) stop right after it, in
    // the order given; each cut is used once.
    void CutAt(std::vector<int64_t> offsets, Cut how = Cut::Close);
    // Every answer stops after at most this many body bytes (0: no such limit).
    void CutEveryAnswerAfter(int64_t bytes);
    // The body goes out at about this many bytes per second (0: as fast as it can).
    void Trickle(int64_t bytesPerSecond);
    // Before a reset, waits until this returns true (for instance until the downloader has
    // written every byte sent), so that the cut falls where it was asked for.
    void BeforeReset(std::function<bool(int64_t offset)> ready);
    // Requests for the rest are answered with this status line and headers instead (an
    // unusable answer), e.g. "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n".
    void AnswerRangesWith(std::string headLines);

    // Requests for a path ending in ".sig" are answered 200 with this text (a signature file)
    // instead of the file; empty: they get the file like any other path.
    void ServeSignature(std::string text);

    // Body bytes sent so far, over every answer.
    int64_t served() const;
    // The request heads received so far, in order.
    std::vector<std::string> heads() const { return m_raw.heads(); }

private:
    void Answer(RawHttpServer::Connection& connection);

    mutable std::mutex m_lock;
    std::string m_file;
    std::string m_etag;
    std::string m_lastModified;
    Validators m_validators;
    bool m_honourRanges = true;
    std::deque<int64_t> m_cuts;
    Cut m_cutHow = Cut::Close;
    int64_t m_cutEvery = 0;
    int64_t m_bytesPerSecond = 0;
    std::function<bool(int64_t)> m_beforeReset;
    std::string m_rangeAnswer;
    std::string m_signature;
    int64_t m_served = 0;
    RawHttpServer m_raw;  // last: it serves until it goes, first
};

// The value of a header in a request head ("Range"), empty when it has none.
std::string RequestHeader(const std::string& head, const std::string& name);

}  // namespace tolbe_test

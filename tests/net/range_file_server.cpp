#include "tests/net/range_file_server.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/text.h"
#include "tests/support/wait_until.h"

namespace tolbe_test {
namespace {

constexpr size_t kPiece = 16 * 1024;

std::string LastModifiedFor(const std::string& etag) {
    // A distinct date for each version of the file.
    const size_t day = 1 + std::hash<std::string>{}(etag) % 28;
    return "Tue, " + std::to_string(day) + " Dec 2026 10:00:00 GMT";
}

}  // namespace

std::string RequestHeader(const std::string& head, const std::string& name) {
    size_t at = head.find("\r\n");
    while (at != std::string::npos) {
        const size_t start = at + 2;
        const size_t end = head.find("\r\n", start);
        const std::string line = head.substr(start, end == std::string::npos ? end : end - start);
        if (line.size() > name.size() && line[name.size()] == ':' &&
            platform::StartsWithNoCase(line, name)) {
            const size_t value = line.find_first_not_of(' ', name.size() + 1);
            return value == std::string::npos ? "" : line.substr(value);
        }
        at = end;
    }
    return {};
}

RangeFileServer::RangeFileServer(std::string file, std::string etag)
    : m_file(std::move(file)),
      m_etag(std::move(etag)),
      m_lastModified(LastModifiedFor(m_etag)),
      m_raw([this](RawHttpServer::Connection& connection) { Answer(connection); }) {}

void RangeFileServer::Replace(std::string file, std::string etag) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_file = std::move(file);
    m_etag = std::move(etag);
    m_lastModified = LastModifiedFor(m_etag);
}

void RangeFileServer::SetValidators(Validators validators) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_validators = validators;
}

void RangeFileServer::HonourRanges(bool honour) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_honourRanges = honour;
}

void RangeFileServer::CutAt(std::vector<int64_t> offsets, Cut how) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_cuts.assign(offsets.begin(), offsets.end());
    m_cutHow = how;
}

void RangeFileServer::CutEveryAnswerAfter(int64_t bytes) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_cutEvery = bytes;
}

void RangeFileServer::Trickle(int64_t bytesPerSecond) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_bytesPerSecond = bytesPerSecond;
}

void RangeFileServer::BeforeReset(std::function<bool(int64_t)> ready) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_beforeReset = std::move(ready);
}

void RangeFileServer::AnswerRangesWith(std::string headLines) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_rangeAnswer = std::move(headLines);
}

void RangeFileServer::ServeSignature(std::string text) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_signature = std::move(text);
}

int64_t RangeFileServer::served() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_served;
}

void RangeFileServer::Answer(RawHttpServer::Connection& connection) {
    std::unique_lock<std::mutex> hold(m_lock);
    const std::string file = m_file;
    const auto total = static_cast<int64_t>(file.size());
    const std::string range = RequestHeader(connection.head(), "Range");
    const std::string ifRange = RequestHeader(connection.head(), "If-Range");
    const std::string& requestHead = connection.head();
    if (!m_signature.empty() &&
        requestHead.substr(0, requestHead.find("\r\n")).find(".sig HTTP/") != std::string::npos) {
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_signature.size()) +
            "\r\n\r\n" + m_signature;
        hold.unlock();
        connection.Send(answer);
        return;
    }

    int64_t first = 0;
    if (!range.empty() && m_honourRanges) {
        if (!m_rangeAnswer.empty()) {
            const std::string answer = m_rangeAnswer + "\r\n";
            hold.unlock();
            connection.Send(answer);
            return;
        }
        // "bytes=N-", as the downloader asks; a stale If-Range gets the whole file.
        const bool current = ifRange.empty() || ifRange == m_etag || ifRange == m_lastModified;
        if (current && range.rfind("bytes=", 0) == 0 && range.back() == '-') {
            first = std::stoll(range.substr(6, range.size() - 7));
        }
    }
    std::string head = first > 0 ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    head += "Content-Length: " + std::to_string(total - first) + "\r\n";
    if (first > 0) {
        head += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(total - 1) +
                "/" + std::to_string(total) + "\r\n";
    }
    if (m_validators.etag) {
        head += "ETag: " + m_etag + "\r\n";
    }
    if (m_validators.lastModified) {
        head += "Last-Modified: " + m_lastModified + "\r\n";
    }
    if (m_validators.acceptRanges) {
        head += "Accept-Ranges: bytes\r\n";
    }
    head += "\r\n";

    // Where this answer stops: the whole rest, the next cut that falls inside it, or the cut of
    // every answer.
    int64_t end = total;
    bool cut = false;
    while (!m_cuts.empty() && m_cuts.front() <= first) {
        m_cuts.pop_front();
    }
    if (!m_cuts.empty() && m_cuts.front() < total) {
        end = m_cuts.front();
        m_cuts.pop_front();
        cut = true;
    }
    if (m_cutEvery > 0 && first + m_cutEvery < end) {
        end = first + m_cutEvery;
        cut = true;
    }
    const Cut how = m_cutHow;
    const int64_t rate = m_bytesPerSecond;
    const auto beforeReset = m_beforeReset;
    hold.unlock();

    if (!connection.Send(head)) {
        return;
    }
    const auto started = std::chrono::steady_clock::now();
    for (int64_t at = first; at < end;) {
        const auto count = static_cast<size_t>(std::min<int64_t>(kPiece, end - at));
        if (!connection.Send(std::string_view(file).substr(static_cast<size_t>(at), count))) {
            return;
        }
        at += static_cast<int64_t>(count);
        {
            std::lock_guard<std::mutex> count_hold(m_lock);
            m_served += static_cast<int64_t>(count);
        }
        if (rate > 0) {
            std::this_thread::sleep_until(started +
                                          std::chrono::microseconds((at - first) * 1000000 / rate));
        }
    }
    if (cut && how == Cut::Reset) {
        if (beforeReset) {
            WaitUntil([&] { return beforeReset(end); }, std::chrono::seconds(30));
        }
        connection.Reset();
    }
}

}  // namespace tolbe_test

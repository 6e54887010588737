#pragma once
// The client archive downloader: one HTTP GET into a local file, on a thread of its own, with
// progress counters and an end flag that the main thread reads without a lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Shows a network failure to the player and returns once it has been dismissed. Called on the
// download thread, which waits for it; it must not touch a widget from that thread.
using NetworkFailureHandler = std::function<void(const std::wstring& message)>;

// m_finished values. Readers test only the low byte: non-zero means the download has ended.
inline constexpr uint16_t kDownloadRunning = 0x0000;
inline constexpr uint16_t kDownloadEndedWithoutTransfer = 0x0001;
inline constexpr uint16_t kDownloadEndedAfterTransfer = 0x0101;

// A body that delivers fewer than kStallBytesPerSecond bytes per second for kStallSeconds in a
// row has broken off: a trickle cannot hold the download for ever.
inline constexpr long kStallBytesPerSecond = 1024;
inline constexpr long kStallSeconds = 60;

class FileDownLoad {
public:
    std::wstring m_url;
    std::wstring m_savePath;  // Windows-form path of the local file, e.g. D:\Client.zip
    // The length the server announces (Content-Length); 0 until known and when not announced.
    std::atomic<int64_t> m_contentLength{0};
    // Bytes written to the local file so far, updated after every piece.
    std::atomic<int64_t> m_receivedBytes{0};
    // True once m_savePath holds the whole body of a 200 answer, written and closed; false on
    // every other end. Written before m_finished; only a complete download may be extracted.
    std::atomic<bool> m_complete{false};
    // True when the server announced more bytes than the local file's drive has free, so that
    // the download was not begun. Written before m_finished.
    std::atomic<bool> m_noRoom{false};
    // kDownloadRunning while the download runs; kDownloadEndedWithoutTransfer when it ended
    // without a transfer (status other than 200, local file not writable, no transfer possible);
    // kDownloadEndedAfterTransfer after the whole body, or after a network failure that was
    // reported through m_onNetworkFailure. Written once, last: a reader who sees it set also sees
    // the final counters and m_complete, and the local file is closed by then.
    std::atomic<uint16_t> m_finished{kDownloadRunning};
    std::unique_ptr<std::thread> m_worker;  // the download thread, detached once started
    NetworkFailureHandler m_onNetworkFailure;
    // The stall rule: under m_lowSpeedLimit bytes per second for m_lowSpeedTime seconds counts
    // as broken off. Set before the thread starts (tests shorten it).
    long m_lowSpeedLimit = kStallBytesPerSecond;
    long m_lowSpeedTime = kStallSeconds;
};

// A new download of `url` (narrow, converted to wide) into the Windows-form `path`; starts
// nothing. `onNetworkFailure` may be empty: a failure is then not shown.
std::shared_ptr<FileDownLoad> CreateDownload(const std::string& url, const std::string& path,
                                             NetworkFailureHandler onNetworkFailure);

// Starts DownloadProc on its own thread, stores it in m_worker, detaches it. The thread holds a
// shared_ptr to the object, so the owner may drop its own reference at any time. When the host
// refuses a thread, the download ends at once with kDownloadEndedWithoutTransfer.
void StartDownloadThread(const std::shared_ptr<FileDownLoad>& download);

// The whole download, on the calling thread:
// - first, before any request, a file or link at m_savePath and at m_savePath + ".part" (the
//   temporary file) is removed; a link goes as the link, its target is never touched. A folder
//   at either name stays, and the download then ends at once with
//   kDownloadEndedWithoutTransfer, without a request or a message;
// - one GET of m_url (HTTP/1.1, redirects followed, host lines of the sandbox profile honoured);
//   a connection attempt is given 2000 ms and retried once; a body slower than m_lowSpeedLimit
//   bytes per second for m_lowSpeedTime seconds breaks off; nothing is resumed;
// - status other than 200: no file is created, ends with kDownloadEndedWithoutTransfer, no
//   message;
// - 200 announcing more bytes than the free space of m_savePath's drive (when it can be told):
//   nothing is written, m_noRoom is set, and the download ends with
//   kDownloadEndedWithoutTransfer without a message;
// - 200: the temporary file is created as a new file (never through a link, never over
//   anything already there); when it cannot be created, or a write to it fails, the download
//   ends with kDownloadEndedWithoutTransfer without a message; otherwise m_contentLength
//   receives the announced length and the body is written to the end, m_receivedBytes following
//   every piece;
// - after a whole body (of its announced length, when one was announced) the temporary file is
//   closed and renamed to m_savePath (replacing whatever was put there meanwhile,
//   a link as the link); then m_complete is set and the download ends with
//   kDownloadEndedAfterTransfer. A failed close or rename ends it with
//   kDownloadEndedWithoutTransfer, without a message;
// - a network failure (no connection, a transfer that breaks off or stalls, a body shorter than
//   its announced length) calls m_onNetworkFailure with "网络异常:" + libcurl's error text +
//   "\n" + "m_dwError:" + libcurl's error code in decimal, once the temporary file is closed and
//   removed, waits for it to return, and ends with kDownloadEndedAfterTransfer; m_receivedBytes
//   keeps its count.
// Whenever the download is not complete, m_complete stays false and the temporary file is
// removed; m_savePath then holds nothing of this download (what another program puts there
// while the download runs is left as it is, and a link there is never followed). Every resource
// is released before m_finished is set.
void DownloadProc(std::shared_ptr<FileDownLoad> download);

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

// Resuming: at most five requests for the rest of a body that broke off, after waits of 1, 2,
// 4, 8 and 16 s; the bytes on disk recorded for the next run about once a second.
inline constexpr int kMaxResumes = 5;
inline constexpr long kFirstResumeWaitMs = 1000;
inline constexpr long kRecordIntervalMs = 1000;

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
    // With m_noRoom: the bytes that would have had to fit.
    std::atomic<int64_t> m_roomNeeded{0};
    // kDownloadRunning while the download runs; kDownloadEndedWithoutTransfer when it ended
    // without a transfer (status other than 200, local file not writable, no transfer possible);
    // kDownloadEndedAfterTransfer after the whole body, or after a network failure that was
    // reported through m_onNetworkFailure. Written once, last: a reader who sees it set also sees
    // the final counters and m_complete, and the local file is closed by then.
    std::atomic<uint16_t> m_finished{kDownloadRunning};
    // The Base64 Ed25519 public key the archive must be signed with; empty: no signature is
    // asked for. Set before the thread starts.
    std::string m_publicKey;
    // With a public key: why the archive was refused (its signature missing, not a signature,
    // or not matching the bytes); empty otherwise. Written before m_finished.
    std::string m_signatureFault;
    std::unique_ptr<std::thread> m_worker;  // the download thread, detached once started
    NetworkFailureHandler m_onNetworkFailure;
    // The stall rule: under m_lowSpeedLimit bytes per second for m_lowSpeedTime seconds counts
    // as broken off. Set before the thread starts (tests shorten it).
    long m_lowSpeedLimit = kStallBytesPerSecond;
    long m_lowSpeedTime = kStallSeconds;
    // A body that breaks off is asked for again from where it stopped at most m_maxResumes
    // times, after waiting m_firstResumeWaitMs, then twice as long before each next request.
    // The bytes on disk are recorded for a later run at most every m_recordIntervalMs. Set
    // before the thread starts (tests shorten them).
    int m_maxResumes = kMaxResumes;
    long m_firstResumeWaitMs = kFirstResumeWaitMs;
    long m_recordIntervalMs = kRecordIntervalMs;
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
// - first, before any request, a file or link at m_savePath is removed; so is a partial
//   download at m_savePath + ".part" (the temporary file) with its record (".resume"), unless
//   the record reads whole, names m_url and the temporary file holds the bytes it names. A link
//   goes as the link, its target is never touched. A folder at either name stays, and the
//   download then ends at once with kDownloadEndedWithoutTransfer, without a request or a
//   message;
// - one GET of m_url (HTTP/1.1, redirects followed, host lines of the sandbox profile honoured),
//   for the rest of the partial download when there is one (Range from its good bytes, If-Range
//   its validator); a connection attempt is given 2000 ms and retried once; a body slower than
//   m_lowSpeedLimit bytes per second for m_lowSpeedTime seconds breaks off;
// - status other than 200 (or, for a partial download, than a 206 carrying exactly its rest):
//   no file is created, ends with kDownloadEndedWithoutTransfer, no message; a partial download
//   whose rest is not sent is removed and the file asked for whole instead;
// - 200 announcing more bytes than the free space of m_savePath's drive (for a 206: more than
//   the rest), when it can be told: nothing is written, m_noRoom and m_roomNeeded are set, and
//   the download ends with kDownloadEndedWithoutTransfer without a message;
// - 200: the temporary file is created as a new file (never through a link, never over
//   anything already there); when it cannot be created, or a write to it fails, the download
//   ends with kDownloadEndedWithoutTransfer without a message; otherwise m_contentLength
//   receives the whole file's length and the body is written to the end, m_receivedBytes
//   counting every byte in the temporary file;
// - a body that breaks off (a reset, a stall, fewer bytes than announced) is asked for again from
//   where it stopped when its length is known and the server named a validator (a strong ETag,
//   else Last-Modified) or accepts byte ranges: up to m_maxResumes times, waiting before each.
//   A 206 whose Content-Range starts there and names the same total is appended; a 200 starts
//   the file again from 0; anything else is a network failure. While resuming is possible, the
//   bytes on disk are flushed and then recorded beside the temporary file, so that a later run
//   can go on from them;
// - after a whole body (of its announced length, when one was announced) the temporary file is
//   closed and renamed to m_savePath (replacing whatever was put there meanwhile,
//   a link as the link) and the record removed; then m_complete is set and the download ends
//   with kDownloadEndedAfterTransfer. A failed close or rename ends it with
//   kDownloadEndedWithoutTransfer, without a message;
// - a network failure (no connection, a body that broke off and could not be resumed, or whose
//   resumes are used up) calls m_onNetworkFailure with "网络异常:" + libcurl's error text +
//   "\n" + "m_dwError:" + libcurl's error code in decimal, once the temporary file is closed,
//   waits for it to return, and ends with kDownloadEndedAfterTransfer; m_receivedBytes keeps
//   its count. The temporary file and its record stay when they were recorded (the next run
//   goes on from them); otherwise they are removed.
// - with m_publicKey: before anything else is asked for, the archive's signature is fetched
//   from m_url + ".sig" (a complete 200 answer of at most kMaxSignatureFileBytes); when it
//   cannot be had or is no signature, nothing is downloaded. Every byte of the body is added to
//   the signature check as it is written (the kept bytes of an earlier run are read back from
//   the temporary file first, and a 200 that starts again from 0 starts the check again), and
//   the whole file is checked before it may take m_savePath's name: an archive whose bytes do
//   not match the signature under m_publicKey is removed. Either way m_signatureFault says why
//   and the download ends with kDownloadEndedWithoutTransfer, without a message; a partial
//   download of an earlier run stays when only the signature could not be fetched;
// Whenever the download is not complete, m_complete stays false; m_savePath then holds nothing
// of this download (what another program puts there while the download runs is left as it is,
// and a link there is never followed). Every resource is released before m_finished is set.
void DownloadProc(std::shared_ptr<FileDownLoad> download);

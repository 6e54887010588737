#include "net/file_download.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>

#include "net/curl_handles.h"
#include "net/partial_download.h"
#include "net/request_performer.h"
#include "net/transfer_policy.h"
#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/volumes.h"
#include "signing/signature.h"

namespace {

constexpr long kConnectTimeoutMs = 2000;
constexpr int kConnectAttempts = 2;  // the first attempt and one retry
// The most bytes handed over, and written to the local file, in one piece: libcurl's receive
// buffer, allocated once per transfer. As large as the curl command line's own, so that a
// multi-GiB archive costs no more system calls than curl needs for it.
constexpr long kPieceBytes = 100 * 1024;
constexpr long kStatusOk = 200;
constexpr long kStatusPartial = 206;
constexpr wchar_t kFailurePrefix[] = L"网络异常:";
constexpr wchar_t kFailureCodePrefix[] = L"m_dwError:";
// The archive's signature is a few bytes: its whole exchange may take this long.
constexpr long kSignatureDeadlineMs = 30000;
// The agent name when the executable's own name cannot be read.
constexpr char kFallbackAgent[] = "ZorvDownloader";

// How a transfer ended, for DownloadProc to act on after every handle has been released.
struct TransferEnd {
    uint16_t finished = kDownloadEndedWithoutTransfer;
    bool complete = false;  // the local file now holds the whole body
    bool networkFailure = false;
    // The temporary file and its record stay for the next run to go on from.
    bool keepPartial = false;
    long code = 0;
    std::string errorText;
};

// The application's name serves as agent, as it does for the platform's internet layer: the
// running executable's name without its folder and extension.
std::string AgentName() {
    std::string name = platform::GetModuleFileName();
    const size_t slash = name.rfind('\\');
    if (slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name.empty() ? kFallbackAgent : name;
}

// A header of the last answer (after redirects), or empty when it has none.
std::string HeaderOf(CURL* easy, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK ||
        header == nullptr || header->value == nullptr) {
        return {};
    }
    return header->value;
}

// "bytes FIRST-LAST/TOTAL" of a 206 answer.
struct ContentRange {
    int64_t first = 0;
    int64_t last = 0;
    int64_t total = 0;
};

std::optional<ContentRange> ParseContentRange(std::string_view text) {
    constexpr std::string_view kUnit = "bytes ";
    const size_t dash = text.find('-');
    const size_t slash = text.find('/');
    if (text.substr(0, kUnit.size()) != kUnit || dash == std::string_view::npos ||
        slash == std::string_view::npos || dash > slash) {
        return std::nullopt;
    }
    const auto first = ParseByteCount(text.substr(kUnit.size(), dash - kUnit.size()));
    const auto last = ParseByteCount(text.substr(dash + 1, slash - dash - 1));
    const auto total = ParseByteCount(text.substr(slash + 1));
    if (!first || !last || !total) {
        return std::nullopt;
    }
    return ContentRange{*first, *last, *total};
}

// The validator a resumed request names in If-Range: a strong ETag, else Last-Modified (a weak
// ETag may not be used there).
std::string ValidatorOf(CURL* easy) {
    const std::string etag = HeaderOf(easy, "ETag");
    if (!etag.empty() && etag.compare(0, 2, "W/") != 0) {
        return etag;
    }
    return HeaderOf(easy, "Last-Modified");
}

bool AcceptsByteRanges(CURL* easy) {
    return platform::EqualsNoCase(HeaderOf(easy, "Accept-Ranges"), "bytes");
}

// One download's libcurl transfer and its temporary file: the first request, and the requests
// that go on from where a body broke off. Everything it holds is released when it goes; the
// temporary file and its record are left for DownloadProc to keep or remove.
class Transfer {
public:
    Transfer(FileDownLoad& download, const std::string& savePath,
             std::optional<PartialDownload> earlier)
        : m_download(download),
          m_savePath(savePath),
          m_partPath(PartialFileOf(savePath)),
          m_url(platform::WideToNarrow(download.m_url)),
          m_earlier(std::move(earlier)) {}

    TransferEnd Run() {
        m_easy = NewCurlEasy();
        if (!m_easy) {
            return TransferEnd{};  // no internet context: the download still ends
        }
        const std::string agent = AgentName();
        CURL* easy = m_easy.get();
        m_connectTo = ApplyTransferPolicy(easy, m_url);
        const bool ready =
            m_connectTo && curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_error) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, m_download.m_lowSpeedLimit) ==
                CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, m_download.m_lowSpeedTime) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kPieceBytes) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::WriteBody) == CURLE_OK &&
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
        if (!ready) {
            return TransferEnd{};
        }
        if (!m_download.m_publicKey.empty() && !FetchSignature()) {
            // Nothing was asked for: bytes an earlier run kept are as good as they were.
            TransferEnd end;
            end.keepPartial = m_earlier.has_value();
            return end;
        }
        ContinueEarlierDownload();

        int resumesLeft = m_download.m_maxResumes;
        long waitMs = m_download.m_firstResumeWaitMs;
        for (;;) {
            const CURLcode result = Perform();
            if (ProxyRefusedCredentials(m_easy.get(), result)) {
                // The server was never reached: bytes on disk are as good as they were.
                platform::DebugOutput(m_url + ": " + kProxyRefusedText + "\r\n");
                std::snprintf(m_error, sizeof m_error, "%s", kProxyRefusedText);
                return NetworkFailure(CURLE_COULDNT_CONNECT, Resumable() && RecordProgress());
            }
            if (m_answer == Answer::Refused || m_writeFailed) {
                // Bytes that could not be followed for lack of room stay for a later run, once
                // the player has made room; anything else refused leaves nothing.
                TransferEnd end;
                end.keepPartial = m_download.m_noRoom && m_file && m_onDisk > 0;
                return end;
            }
            if (m_answer == Answer::Unusable) {
                if (m_firstRequest && m_askedForRest) {
                    // What an earlier run left does not match the file any more: from 0.
                    DropPartial();
                    continue;
                }
                std::snprintf(m_error, sizeof m_error,
                              "the server did not send the rest of the file it was asked for "
                              "(HTTP %ld)",
                              m_status);
                return NetworkFailure(CURLE_RANGE_ERROR, false);
            }
            m_firstRequest = false;
            if (result == CURLE_OK && (m_total <= 0 || m_onDisk == m_total)) {
                return Finish();
            }
            // The body broke off (libcurl reports one shorter than its length; a body longer
            // than announced is refused in Write).
            const CURLcode cause = result == CURLE_OK ? CURLE_PARTIAL_FILE : result;
            if (!Resumable()) {
                return NetworkFailure(cause, false);
            }
            const bool recorded = RecordProgress();
            if (resumesLeft == 0) {
                return NetworkFailure(cause, recorded);
            }
            --resumesLeft;
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            waitMs *= 2;
        }
    }

private:
    // What the answer of the current request turned out to be, once its body began.
    enum class Answer {
        None,      // no body yet
        Body,      // its body is written to the temporary file
        Refused,   // not written: an error status, no room, no temporary file
        Unusable,  // an answer to a request for the rest that does not fit the bytes on disk
    };

    static size_t WriteBody(char* data, size_t size, size_t count, void* user) {
        return static_cast<Transfer*>(user)->Write(data, size * count);
    }

    // The archive's detached signature, fetched before the archive itself so that an archive
    // without one costs no download. False (m_signatureFault says why) when it cannot be had or
    // is no signature.
    bool FetchSignature() {
        WebNetRequest request;
        request.kind = Get;
        request.url = m_url + signing::kSignatureSuffix;
        request.deadlineMs = kSignatureDeadlineMs;
        request.maxResponseBytes = signing::kMaxSignatureFileBytes;
        PerformRequest(request);
        if (!request.completed || request.status != kStatusOk) {
            m_download.m_signatureFault = "no signature " + request.url + " (HTTP status " +
                                          std::to_string(request.status) + ")";
            return false;
        }
        if (!signing::ParseSignature(request.response)) {
            m_download.m_signatureFault = signing::VerdictText(signing::Verdict::NotASignature);
            return false;
        }
        m_signatureText = request.response;
        m_check.emplace();
        return true;
    }

    // A partial download of an earlier run goes on from its good bytes, whatever follows them
    // is cut off; when its file cannot be opened (or, with a signature to check, read back into
    // the check), the download starts from 0.
    void ContinueEarlierDownload() {
        if (!m_earlier) {
            return;
        }
        // A download that was whole but could not take its name goes on from its last byte: one
        // byte asked for again, with the validator, tells that the server's file is still the
        // one on disk.
        const auto keep =
            static_cast<uint64_t>(std::min(m_earlier->goodBytes, m_earlier->totalBytes - 1));
        m_file = platform::FileWriter::OpenToContinue(m_partPath, keep);
        if (!m_file || (m_check && !AddKeptBytesToCheck(keep))) {
            DropPartial();
            return;
        }
        m_onDisk = static_cast<int64_t>(keep);
        m_total = m_earlier->totalBytes;
        m_validator = m_earlier->validator;
        m_acceptsRanges = m_validator.empty();  // recorded only when it could go on
        m_download.m_contentLength = m_total;
        m_download.m_receivedBytes = m_onDisk;
    }

    // One request, for the whole file or, with bytes on disk, for the rest; a connection that
    // could not be made at all is tried once more.
    CURLcode Perform() {
        CURL* easy = m_easy.get();
        const bool rest = m_file && m_onDisk > 0;
        m_askedForRest = rest;
        const std::string range = std::to_string(m_onDisk) + "-";
        CurlList headers;
        if (rest && !m_validator.empty()) {
            const std::string ifRange = "If-Range: " + m_validator;
            if (!AppendCurlList(headers, ifRange.c_str())) {
                m_answer = Answer::Refused;
                return CURLE_OUT_OF_MEMORY;
            }
        }
        curl_easy_setopt(easy, CURLOPT_RANGE, rest ? range.c_str() : nullptr);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
        CURLcode result = CURLE_OK;
        for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
            m_answer = Answer::None;
            m_status = 0;
            m_error[0] = '\0';
            result = curl_easy_perform(easy);
            if (!ConnectionFailed(result)) {
                break;
            }
        }
        if (result == CURLE_OK && m_answer == Answer::None) {
            BeginBody();  // an answer with an empty body
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        return result;
    }

    // Before the first body byte of an answer: decides what becomes of it.
    void BeginBody() {
        CURL* easy = m_easy.get();
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &m_status);
        curl_off_t length = -1;
        if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) {
            length = -1;
        }
        if (m_status == kStatusOk) {
            m_answer = BeginWholeFile(length) ? Answer::Body : Answer::Refused;
        } else if (m_status == kStatusPartial && m_askedForRest) {
            m_answer = BeginRest(length);
        } else {
            // An error status refuses the run's first request for the whole file quietly; an
            // answer to a request for the rest that does not carry that rest cannot go on.
            m_answer = m_firstRequest && !m_askedForRest ? Answer::Refused : Answer::Unusable;
        }
    }

    // The bytes an earlier run kept were checked by nobody in this run: they are read back from
    // the temporary file, so that the check covers the whole file however it came.
    bool AddKeptBytesToCheck(uint64_t bytes) {
        auto kept = platform::ArchiveInputFile::Open(m_partPath);
        return kept && m_check->AddFile(*kept, bytes);
    }

    // A 200: the file from its first byte, into a new temporary file (a partial one goes first).
    bool BeginWholeFile(curl_off_t length) {
        if (m_file) {
            DropPartial();
        }
        if (m_check) {
            m_check->Reset();
        }
        m_total = length > 0 ? length : 0;
        m_validator = ValidatorOf(m_easy.get());
        m_acceptsRanges = AcceptsByteRanges(m_easy.get());
        m_download.m_contentLength = m_total;
        // An archive that cannot fit is not begun: the player hears of it at once instead of
        // after gigabytes, as a failed extraction.
        if (!HasRoomFor(m_total)) {
            return false;
        }
        m_file = platform::FileWriter::CreateNew(m_partPath);
        return m_file.has_value();
    }

    // A 206 goes on only when it carries exactly the rest of the same file.
    Answer BeginRest(curl_off_t length) {
        const auto range = ParseContentRange(HeaderOf(m_easy.get(), "Content-Range"));
        const int64_t rest = m_total - m_onDisk;
        if (!range || range->first != m_onDisk || range->total != m_total ||
            range->last != m_total - 1 || (length >= 0 && length != rest)) {
            return Answer::Unusable;
        }
        return HasRoomFor(rest) ? Answer::Body : Answer::Refused;
    }

    bool HasRoomFor(int64_t bytes) {
        if (bytes > 0 && !platform::DriveHasRoomFor(m_savePath, static_cast<uint64_t>(bytes))) {
            m_download.m_roomNeeded = bytes;
            m_download.m_noRoom = true;
            return false;
        }
        return true;
    }

    // One piece of the body. Returning less than `size` makes libcurl end the transfer.
    size_t Write(const char* data, size_t size) {
        if (m_answer == Answer::None) {
            BeginBody();
        }
        if (m_answer != Answer::Body) {
            return 0;
        }
        // More than the file's length is never written; the download fails.
        if ((m_total > 0 && m_onDisk + static_cast<int64_t>(size) > m_total) ||
            !m_file->Write(data, size)) {
            m_writeFailed = true;
            return 0;
        }
        if (m_check) {
            m_check->Add(data, size);
        }
        m_onDisk += static_cast<int64_t>(size);
        m_download.m_receivedBytes = m_onDisk;
        const auto now = std::chrono::steady_clock::now();
        if (Resumable() &&
            now - m_recordedAt >= std::chrono::milliseconds(m_download.m_recordIntervalMs)) {
            RecordProgress();
        }
        return size;
    }

    // A body that broke off can be asked for again from where it stopped: its length is known
    // and the server named a validator or said it serves byte ranges.
    bool Resumable() const {
        return m_file && m_total > 0 && (!m_validator.empty() || m_acceptsRanges);
    }

    // The bytes written so far go to the disk, and only then does the record name them.
    bool RecordProgress() {
        m_recordedAt = std::chrono::steady_clock::now();
        return m_file->Sync() &&
               RecordPartialDownload(m_savePath, {m_url, m_validator, m_total, m_onDisk});
    }

    // After a failed final rename: the whole closed file is forced to the disk through a handle
    // of its own, and only then does the record name every byte of it.
    bool RecordWholeFile() {
        if (m_total <= 0 || m_onDisk != m_total || (m_validator.empty() && !m_acceptsRanges)) {
            return false;
        }
        auto file =
            platform::FileWriter::OpenToContinue(m_partPath, static_cast<uint64_t>(m_total));
        return file && file->Sync() && file->Close() &&
               RecordPartialDownload(m_savePath, {m_url, m_validator, m_total, m_total});
    }

    // The bytes on disk are of no use: the record goes first, then the temporary file.
    void DropPartial() {
        m_file.reset();
        RemovePartialDownload(m_savePath);
        if (m_check) {
            m_check->Reset();
        }
        m_onDisk = 0;
        m_download.m_receivedBytes = 0;
    }

    // Only a whole body takes the local file's name, and with a signature to check only one whose
    // every byte matches it: a failed close (a delayed write error), a mismatch or a failed
    // rename leaves the download without an archive. The body is not forced to the disk first:
    // an archive left by an earlier run is never used (each download removes it), so waiting
    // for gigabytes to be flushed would only hold the player at 100 %.
    TransferEnd Finish() {
        if (!m_file) {
            return TransferEnd{};
        }
        const bool closed = m_file->Close();
        m_file.reset();
        if (!closed) {
            return TransferEnd{};
        }
        if (m_check) {
            const signing::Verdict verdict =
                signing::CheckSignature(*m_check, m_signatureText, m_download.m_publicKey);
            if (verdict != signing::Verdict::Valid) {
                m_download.m_signatureFault = signing::VerdictText(verdict);
                return TransferEnd{};
            }
        }
        if (!platform::RenameOver(m_partPath, m_savePath)) {
            // Another program may hold either name for longer than the rename waits: the whole
            // download stays for the next run, which only asks whether it is still current.
            TransferEnd end;
            end.keepPartial = RecordWholeFile();
            return end;
        }
        platform::DeleteOneFile(PartialRecordOf(m_savePath));
        TransferEnd end;
        end.finished = kDownloadEndedAfterTransfer;
        end.complete = true;
        return end;
    }

    // A connection that could not be made at all (refused, or not within the connect timeout)
    // earns the one retry; anything later does not.
    bool ConnectionFailed(CURLcode result) const {
        if (result != CURLE_COULDNT_CONNECT && result != CURLE_OPERATION_TIMEDOUT) {
            return false;
        }
        curl_off_t connectTime = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
        return connectTime == 0 && m_answer == Answer::None;
    }

    // libcurl's detailed error text when it wrote one, else its text for the code.
    TransferEnd NetworkFailure(CURLcode code, bool keepPartial) {
        m_file.reset();
        TransferEnd end;
        end.finished = kDownloadEndedAfterTransfer;
        end.networkFailure = true;
        end.keepPartial = keepPartial;
        end.code = static_cast<long>(code);
        end.errorText = m_error[0] != '\0' ? m_error : curl_easy_strerror(code);
        return end;
    }

    FileDownLoad& m_download;
    const std::string& m_savePath;
    const std::string m_partPath;
    const std::string m_url;
    std::optional<PartialDownload> m_earlier;
    std::optional<CurlList> m_connectTo;  // outlives the handle that refers to it
    CurlEasy m_easy;
    std::optional<platform::FileWriter> m_file;  // the temporary file, once created or reopened
    // With a public key: the archive's signature, and every byte now in the temporary file.
    std::string m_signatureText;
    std::optional<signing::SignatureStream> m_check;
    char m_error[CURL_ERROR_SIZE] = {};
    int64_t m_onDisk = 0;  // bytes in the temporary file
    int64_t m_total = 0;   // the whole file's length; 0 when not announced
    std::string m_validator;
    bool m_acceptsRanges = false;
    bool m_firstRequest = true;
    bool m_askedForRest = false;
    long m_status = 0;
    Answer m_answer = Answer::None;
    bool m_writeFailed = false;  // the local file took fewer bytes than it was given
    std::chrono::steady_clock::time_point m_recordedAt = std::chrono::steady_clock::now();
};

void ShowNetworkFailure(const FileDownLoad& download, const TransferEnd& end) {
    if (!download.m_onNetworkFailure) {
        return;
    }
    const std::wstring message = kFailurePrefix + platform::NarrowToWide(end.errorText) + L"\n" +
                                 kFailureCodePrefix + std::to_wstring(end.code);
    try {
        download.m_onNetworkFailure(message);
    } catch (...) {
        // A handler that fails has shown what it could; the download still ends.
    }
}

}  // namespace

std::shared_ptr<FileDownLoad> CreateDownload(const std::string& url, const std::string& path,
                                             NetworkFailureHandler onNetworkFailure) {
    auto download = std::make_shared<FileDownLoad>();
    download->m_url = platform::NarrowToWide(url);
    download->m_savePath = platform::NarrowToWide(path);
    download->m_onNetworkFailure = std::move(onNetworkFailure);
    return download;
}

void StartDownloadThread(const std::shared_ptr<FileDownLoad>& download) {
    try {
        download->m_worker = std::make_unique<std::thread>(&DownloadProc, download);
        download->m_worker->detach();
    } catch (const std::system_error&) {
        download->m_finished = kDownloadEndedWithoutTransfer;
    }
}

void DownloadProc(std::shared_ptr<FileDownLoad> download) {
    if (!download) {
        return;
    }
    TransferEnd end;
    std::string savePath;
    try {
        savePath = platform::WideToNarrow(download->m_savePath);
        const std::string partPath = PartialFileOf(savePath);
        // A stale archive goes first, so that nothing but this download's own complete body can
        // be found under its name afterwards; a partial download goes on only when its record
        // names this URL. A link goes as the link; a folder stays, and no download can then
        // take its place.
        platform::DeleteOneFile(savePath);
        auto earlier = FindPartialDownload(savePath, platform::WideToNarrow(download->m_url));
        if (!earlier) {
            RemovePartialDownload(savePath);
        }
        if (!platform::PathExists(savePath) && (earlier || !platform::PathExists(partPath))) {
            end = Transfer(*download, savePath, std::move(earlier)).Run();
        }
    } catch (...) {
        end = TransferEnd{};  // out of memory: released, ended without a message
    }
    if (!end.complete && !end.keepPartial && !savePath.empty()) {
        RemovePartialDownload(savePath);  // closed by now: the transfer has been released
    }
    if (end.networkFailure) {
        ShowNetworkFailure(*download, end);
    }
    if (end.complete) {
        download->m_complete = true;
    }
    download->m_finished = end.finished;
}

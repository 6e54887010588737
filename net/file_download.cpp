#include "net/file_download.h"

#include <optional>
#include <system_error>

#include "net/curl_handles.h"
#include "net/transfer_policy.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/volumes.h"

namespace {

constexpr long kConnectTimeoutMs = 2000;
constexpr int kConnectAttempts = 2;  // the first attempt and one retry
// The most bytes handed over, and written to the local file, in one piece: libcurl's receive
// buffer, allocated once per transfer. As large as the curl command line's own, so that a
// multi-GiB archive costs no more system calls than curl needs for it.
constexpr long kPieceBytes = 100 * 1024;
constexpr long kStatusOk = 200;
constexpr wchar_t kFailurePrefix[] = L"网络异常:";
constexpr wchar_t kFailureCodePrefix[] = L"m_dwError:";
// The agent name when the executable's own name cannot be read.
constexpr char kFallbackAgent[] = "ZorvDownloader";
// The body is written under the local file's name with this ending, and renamed to the name
// itself only once all of it is on the disk.
constexpr char kPartSuffix[] = ".part";

// How a transfer ended, for DownloadProc to act on after every handle has been released.
struct TransferEnd {
    uint16_t finished = kDownloadEndedWithoutTransfer;
    bool complete = false;  // the local file now holds the whole body
    bool networkFailure = false;
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

// One download's libcurl transfer and its temporary file. Everything it holds is released when
// it goes; the temporary file itself is left for DownloadProc to remove.
class Transfer {
public:
    Transfer(FileDownLoad& download, const std::string& savePath, const std::string& partPath)
        : m_download(download), m_savePath(savePath), m_partPath(partPath) {}

    TransferEnd Run() {
        m_easy = NewCurlEasy();
        if (!m_easy) {
            return TransferEnd{};  // no internet context: the download still ends
        }
        const std::string url = platform::WideToNarrow(m_download.m_url);
        const std::string agent = AgentName();
        CURL* easy = m_easy.get();
        m_connectTo = ApplyTransferPolicy(easy, url);
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

        CURLcode result = CURLE_OK;
        for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
            m_error[0] = '\0';
            result = curl_easy_perform(easy);
            if (!ConnectionFailed(result)) {
                break;
            }
        }
        if (m_refused || m_writeFailed) {
            return TransferEnd{};
        }
        if (result != CURLE_OK) {
            return NetworkFailure(result);
        }
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        if (status != kStatusOk) {
            return TransferEnd{};  // an answer without a body never reached WriteBody
        }
        if (!m_file && !OpenLocalFile()) {
            return TransferEnd{};  // a 200 with an empty body still leaves an empty file
        }
        // libcurl itself reports a body cut short of its Content-Length; this also holds for
        // any answer it might let pass.
        const int64_t announced = m_download.m_contentLength;
        if (announced > 0 && m_received != announced) {
            m_error[0] = '\0';
            return NetworkFailure(CURLE_PARTIAL_FILE);
        }
        // Only a whole body takes the local file's name: a failed close (a delayed write error)
        // or rename leaves the download without an archive. The body is not forced to the disk
        // first: an archive left by an earlier run is never used (each download removes it), so
        // waiting for gigabytes to be flushed would only hold the player at 100 %.
        const bool finished = m_file->Close();
        m_file.reset();
        if (!finished || !platform::RenameOver(m_partPath, m_savePath)) {
            return TransferEnd{};
        }
        TransferEnd end;
        end.finished = kDownloadEndedAfterTransfer;
        end.complete = true;
        return end;
    }

private:
    static size_t WriteBody(char* data, size_t size, size_t count, void* user) {
        return static_cast<Transfer*>(user)->Write(data, size * count);
    }

    // Before the first body byte: only a 200 answer gets a temporary file, and only one that did
    // not exist (a link planted there is not followed).
    bool OpenLocalFile() {
        long status = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status != kStatusOk) {
            m_refused = true;
            return false;
        }
        curl_off_t announced = -1;
        if (curl_easy_getinfo(m_easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) ==
                CURLE_OK &&
            announced >= 0) {
            m_download.m_contentLength = announced;
        }
        // An archive that cannot fit is not begun: the player hears of it at once instead of
        // after gigabytes, as a failed extraction.
        if (announced > 0 &&
            !platform::DriveHasRoomFor(m_savePath, static_cast<uint64_t>(announced))) {
            m_download.m_noRoom = true;
            m_refused = true;
            return false;
        }
        m_file = platform::FileWriter::CreateNew(m_partPath);
        if (!m_file) {
            m_refused = true;
            return false;
        }
        return true;
    }

    // One piece of the body. Returning less than `size` makes libcurl end the transfer.
    size_t Write(const char* data, size_t size) {
        if (!m_file && !OpenLocalFile()) {
            return 0;
        }
        if (!m_file->Write(data, size)) {
            m_writeFailed = true;
            return 0;
        }
        m_received += static_cast<int64_t>(size);
        m_download.m_receivedBytes = m_received;
        return size;
    }

    // A connection that could not be made at all (refused, or not within the connect timeout)
    // earns the one retry; anything later does not.
    bool ConnectionFailed(CURLcode result) const {
        if (result != CURLE_COULDNT_CONNECT && result != CURLE_OPERATION_TIMEDOUT) {
            return false;
        }
        curl_off_t connectTime = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
        return connectTime == 0 && !m_file;
    }

    // libcurl's detailed error text when it wrote one, else its text for the code.
    TransferEnd NetworkFailure(CURLcode code) const {
        TransferEnd end;
        end.finished = kDownloadEndedAfterTransfer;
        end.networkFailure = true;
        end.code = static_cast<long>(code);
        end.errorText = m_error[0] != '\0' ? m_error : curl_easy_strerror(code);
        return end;
    }

    FileDownLoad& m_download;
    const std::string& m_savePath;
    const std::string& m_partPath;
    std::optional<CurlList> m_connectTo;  // outlives the handle that refers to it
    CurlEasy m_easy;
    std::optional<platform::FileWriter> m_file;  // the temporary file, once created
    char m_error[CURL_ERROR_SIZE] = {};
    int64_t m_received = 0;
    bool m_refused = false;      // not a 200 answer, or no temporary file: nothing was written
    bool m_writeFailed = false;  // the local file took fewer bytes than it was given
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
    std::string partPath;
    try {
        const std::string savePath = platform::WideToNarrow(download->m_savePath);
        partPath = savePath + kPartSuffix;
        // What an earlier run left under either name goes first, so that nothing but this
        // download's own complete body can be found there afterwards. A link goes as the link;
        // a folder stays, and no download can then take its place.
        platform::DeleteOneFile(savePath);
        platform::DeleteOneFile(partPath);
        if (!platform::PathExists(savePath) && !platform::PathExists(partPath)) {
            end = Transfer(*download, savePath, partPath).Run();
        }
    } catch (...) {
        end = TransferEnd{};  // out of memory: released, ended without a message
    }
    if (!end.complete && !partPath.empty()) {
        platform::DeleteOneFile(partPath);  // closed by now: the transfer has been released
    }
    if (end.networkFailure) {
        ShowNetworkFailure(*download, end);
    }
    if (end.complete) {
        download->m_complete = true;
    }
    download->m_finished = end.finished;
}

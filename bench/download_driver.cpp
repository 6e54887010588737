// Downloads one URL with the launcher's downloader, the way the install flow does: into
// D:\Client.zip on a drive rooted at the given folder, polled until the end flag is set.
//
//   tolbe_bench_download URL FOLDER
//
// Exits 0 when the whole announced body arrived, 1 otherwise (with the reason on stderr), 2 on
// a usage error. Timing is left to the caller, so that every tool is measured alike.

#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "net/file_download.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr char kArchivePath[] = R"(D:\Client.zip)";
// The install flow polls every 200 ms; the benchmark polls more finely, so as to add little to
// the time, yet seldom enough not to compete with the download thread for a processor.
constexpr std::chrono::milliseconds kPollInterval{10};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tolbe_bench_download URL FOLDER\n";
        return 2;
    }
    platform::HostFacts facts;
    facts.sandboxed = true;  // loopback only: no proxy from the environment
    platform::DriveFacts drive;
    drive.letter = 'D';
    const auto root = platform::NormalizeHostRoot(std::filesystem::absolute(argv[2]).string());
    if (!root) {
        std::cerr << "not a usable folder: " << argv[2] << "\n";
        return 2;
    }
    drive.hostRoot = *root;
    facts.drives.push_back(drive);
    platform::SetHostFacts(facts);

    auto download = CreateDownload(argv[1], kArchivePath, [](const std::wstring& message) {
        std::cerr << platform::WideToNarrow(message) << "\n";
    });
    StartDownloadThread(download);
    while ((download->m_finished & 0xFF) == 0) {
        std::this_thread::sleep_for(kPollInterval);
    }
    const int64_t received = download->m_receivedBytes;
    const int64_t announced = download->m_contentLength;
    if (download->m_finished != kDownloadEndedAfterTransfer || received != announced) {
        std::cerr << "download incomplete: " << received << " of " << announced << " bytes\n";
        return 1;
    }
    return 0;
}

// Runs one extraction under a file size limit, as a full disk would cut it short, and prints the
// final state on standard output:
//   tolbe_archive_extract_child LIMIT_BYTES ARCHIVE_HOST_PATH TARGET_HOST_PATH [WORKERS]
// WORKERS: the number of workers, by default one per core.
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "archive/zip_implement.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s LIMIT_BYTES ARCHIVE TARGET [WORKERS]\n", argv[0]);
        return 2;
    }
    const rlim_t limit = std::stoull(argv[1]);
    const rlimit fileSize{limit, limit};
    // Beyond the limit a write then comes up short instead of the signal ending the process.
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
        std::perror("limit");
        return 2;
    }
    platform::SetHostFacts(platform::HostFacts{});  // no drives: host paths as \\?\unix\...
    CZipImplement zip;
    if (argc == 5) {
        zip.SetWorkerCount(static_cast<unsigned>(std::stoul(argv[4])));
    }
    if (!zip.StartUnzip(platform::NarrowToWide(platform::ToWindowsPath(argv[2])),
                        platform::NarrowToWide(platform::ToWindowsPath(argv[3])))) {
        std::fprintf(stderr, "the extraction was refused\n");
        return 2;
    }
    int percent = 0;
    int state = CZipImplement::kInProgress;
    while ((state = zip.GetProgress(&percent)) == CZipImplement::kInProgress) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("%d\n", state);
    return 0;
}

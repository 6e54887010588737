// Extracts one archive with the launcher's extractor, as the install flow does, for the
// extraction benchmark (scripts/bench-extract):
//   tolbe_extract_driver [--workers N] ARCHIVE_HOST_PATH TARGET_HOST_PATH
// N is the number of workers (default 0: one per core, as the launcher runs). Exits 0 when every
// entry was extracted, 1 when the extraction failed, 2 on a usage error.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "archive/zip_implement.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

// How often the driver looks at the state; short, so that the measured time is the work.
constexpr std::chrono::microseconds kPollInterval{5000};

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--workers N] ARCHIVE TARGET\n", program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned workers = 0;
    int first = 1;
    if (argc == 5 && std::strcmp(argv[1], "--workers") == 0) {
        try {
            workers = static_cast<unsigned>(std::stoul(argv[2]));
        } catch (const std::exception&) {
            return Usage(argv[0]);
        }
        first = 3;
    } else if (argc != 3) {
        return Usage(argv[0]);
    }
    const char* archive = argv[first];
    const char* target = argv[first + 1];
    platform::SetHostFacts(platform::HostFacts{});  // no drives: host paths as \\?\unix\...
    CZipImplement zip;
    zip.SetWorkerCount(workers);
    if (!zip.StartUnzip(platform::NarrowToWide(platform::ToWindowsPath(archive)),
                        platform::NarrowToWide(platform::ToWindowsPath(target)))) {
        std::fprintf(stderr, "%s: the extraction was refused (no archive at %s?)\n", argv[0],
                     archive);
        return 2;
    }
    int percent = 0;
    int state = CZipImplement::kInProgress;
    while ((state = zip.GetProgress(&percent)) == CZipImplement::kInProgress) {
        std::this_thread::sleep_for(kPollInterval);
    }
    if (state != CZipImplement::kDone) {
        std::fprintf(stderr, "%s: the extraction failed (state %d)\n", argv[0], state);
        return 1;
    }
    return 0;
}

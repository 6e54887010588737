// Extracts one archive with the launcher's extractor, as the install flow does, for the
// extraction benchmark (scripts/bench-extract):
//   tolbe_extract_driver ARCHIVE_HOST_PATH TARGET_HOST_PATH
// Exits 0 when every entry was extracted, 1 when the extraction failed, 2 on a usage error.
#include <chrono>
#include <cstdio>
#include <thread>

#include "archive/zip_implement.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

// How often the driver looks at the state; short, so that the measured time is the work.
constexpr std::chrono::microseconds kPollInterval{5000};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE TARGET\n", argv[0]);
        return 2;
    }
    platform::SetHostFacts(platform::HostFacts{});  // no drives: host paths as \\?\unix\...
    CZipImplement zip;
    if (!zip.StartUnzip(platform::NarrowToWide(platform::ToWindowsPath(argv[1])),
                        platform::NarrowToWide(platform::ToWindowsPath(argv[2])))) {
        std::fprintf(stderr, "%s: the extraction was refused (no archive at %s?)\n", argv[0],
                     argv[1]);
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

#include "archive/entry_mode.h"

#include "platform/archive_files.h"

namespace {

// The high byte of "version made by" names the system that made the entry.
constexpr unsigned long kMadeOnUnix = 3;
constexpr unsigned long kMadeOnMacOs = 19;
// On such systems the high 16 bits of the external attributes hold st_mode.
constexpr unsigned kModeShift = 16;
constexpr unsigned long kFileTypeMask = 0170000;
constexpr unsigned long kSymbolicLinkType = 0120000;

}  // namespace

unsigned EntryFileMode(unsigned long versionMadeBy, unsigned long externalAttributes) {
    const unsigned long system = (versionMadeBy >> 8) & 0xff;
    const unsigned long mode = (externalAttributes >> kModeShift) & 0xffff;
    const unsigned permissions = static_cast<unsigned>(mode) & platform::kFilePermissionMask;
    if ((system != kMadeOnUnix && system != kMadeOnMacOs) || permissions == 0 ||
        (mode & kFileTypeMask) == kSymbolicLinkType) {
        return platform::kDefaultFileMode;  // no mode stored, or not one for a file's content
    }
    return permissions;
}

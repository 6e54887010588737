// The portable half of volumes.h.

#include <cctype>

#include "platform/text.h"
#include "platform/volumes.h"

namespace platform {

bool DriveHasRoomFor(std::string_view windowsPath, uint64_t bytes) {
    if (windowsPath.size() < 2 || windowsPath[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        return true;
    }
    const auto free = TotalFreeBytes(NarrowToWide(windowsPath.substr(0, 2)));
    return !free || *free >= bytes;
}

}  // namespace platform

#include "platform/block_device.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>

#include "platform/paths.h"

namespace platform {
namespace {

// The first character of a sysfs attribute file, or 0 when it cannot be read.
char FirstCharOf(const std::string& file) {
    std::ifstream in(file);
    char c = 0;
    return in.get(c) ? c : 0;
}

bool FileExists(const std::string& file) {
    return std::ifstream(file).good();
}

// USB host controllers appear in sysfs as "usb1", "usb2", ...; every device behind one has
// such a component in its resolved path.
bool RunsThroughUsbBus(const std::string& resolved) {
    for (const std::string_view part : PathComponents(resolved, PathForm::Host)) {
        if (part.size() > 3 && part.substr(0, 3) == "usb" &&
            part.find_first_not_of("0123456789", 3) == std::string_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<BlockDeviceFacts> ReadBlockDeviceFacts(const std::string& sysRoot, unsigned major,
                                                     unsigned minor) {
    const std::string link =
        sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(link.c_str(), nullptr),
                                                               &std::free);
    if (!resolved) {
        return std::nullopt;
    }
    const std::string device = resolved.get();
    BlockDeviceFacts facts;
    facts.usb = RunsThroughUsbBus(device);
    std::string disk = device;
    if (!FileExists(device + "/removable") && FileExists(device + "/partition")) {
        disk = device.substr(0, device.rfind('/'));
    }
    facts.removable = FirstCharOf(disk + "/removable") == '1';
    return facts;
}

}  // namespace platform

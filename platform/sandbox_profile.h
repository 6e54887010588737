#pragma once
// The sandbox profile: a text file, named by TOLBE_SANDBOX, that replaces every fact the launcher
// would otherwise take from the host (drives, name resolution of servers, the desktop folder).
//
// One fact a line; '#' starts a comment; blank lines are ignored:
//
//   drive D: /tmp/sb/d fixed free=53687091200    letter, host root, type, options
//   drive E: /tmp/sb/e fixed usb noquery free=fail
//   host notice.tolbe.example:80 127.0.0.1:39123  connect to the right side instead
//   desktop /tmp/sb/desktop
//   proxy host                                    requests take the host's own proxy settings
//
// Types: fixed, removable, remote, cdrom, ramdisk, unknown. Options: usb, noquery, free=N,
// free=fail. Host paths are absolute and hold no blanks; on Windows they are in Windows form
// (drive D: Z:\tmp\sb\d fixed).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_facts.h"

namespace platform {

// The environment variable that names the profile.
inline constexpr char kSandboxVariable[] = "TOLBE_SANDBOX";

// A connection to `from` ("name:port") goes to `to` ("address:port") instead, the way a hosts
// file would redirect it; the URL and its Host header stay as they are.
struct HostRedirect {
    std::string fromHost;
    int fromPort = 0;
    std::string toHost;
    int toPort = 0;
};

struct SandboxProfile {
    std::vector<DriveFacts> drives;  // ordered by letter
    std::vector<HostRedirect> hosts;
    std::optional<std::string> desktop;
    // Requests go through the proxy the host's settings name (the environment's variables on
    // POSIX, the player's settings on Windows); without the line a sandbox uses no proxy.
    bool hostProxy = false;
};

struct SandboxProfileParse {
    SandboxProfile profile;
    std::string error;  // empty on success; otherwise "FILE:LINE: what is wrong"
};

// Parses the text of a profile; fileName is used in error messages only.
SandboxProfileParse ParseSandboxProfile(std::string_view text, const std::string& fileName);

}  // namespace platform

#pragma once
// The facts of the host the launcher runs on: its drives, server redirections and desktop folder.
// They come from the sandbox profile named by TOLBE_SANDBOX when that variable is set, and from
// the host itself (the mount table; on Windows, Windows itself) otherwise. Every other part of
// the platform layer asks here.
//
// Host roots are host paths: absolute POSIX paths ("/tmp/sb/d"), on Windows absolute Windows
// paths ("Z:\tmp\sb\d").

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/drive_facts.h"
#include "platform/sandbox_profile.h"

namespace platform {

struct HostFacts {
    bool sandboxed = false;
    std::string profileFile;         // the sandbox profile's path, when sandboxed
    std::vector<DriveFacts> drives;  // ordered by letter
    std::vector<HostRedirect> hosts;
    std::optional<std::string> desktop;  // host folder for desktop shortcuts, when given
    bool hostProxy = false;              // a sandbox whose requests take the host's proxy settings
};

// Takes the facts from the environment: the profile named by TOLBE_SANDBOX, else the mount
// table. Returns an error text naming the file (and line) when the profile cannot be read or is
// malformed; the facts then hold no drive at all, so that nothing on the host is touched.
std::string InitHostFacts();

// The facts in force. When InitHostFacts has not run yet, it runs now (its error is dropped;
// callers that must stop on a bad profile call InitHostFacts first). Safe from any thread.
std::shared_ptr<const HostFacts> Host();

// Replaces the facts in force (tests, and tools that work on plain host paths).
void SetHostFacts(HostFacts facts);

// Facts made from a parsed profile.
HostFacts FactsFromProfile(const SandboxProfile& profile, const std::string& profileFile);

// The facts of the host itself, without a profile: the drives of the mount table on POSIX; none
// on Windows, where each drive letter is its own root and the volume queries ask Windows.
HostFacts FactsOfThisHost();

}  // namespace platform

// The portable half of host_facts.h: the facts in force, and those read from a sandbox profile.

#include "platform/host_facts.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/files.h"

namespace platform {
namespace {

// A profile is a few lines; anything this large is no profile.
constexpr size_t kProfileLimit = 1024 * 1024;

std::mutex factsLock;
std::shared_ptr<const HostFacts> currentFacts;

HostFacts LoadFacts(std::string& error) {
    const char* profilePath = std::getenv(kSandboxVariable);
    if (profilePath == nullptr || *profilePath == '\0') {
        return FactsOfThisHost();
    }
    HostFacts facts;
    facts.sandboxed = true;
    facts.profileFile = profilePath;
    const auto text = ReadWholeHostFile(profilePath, kProfileLimit);
    if (!text) {
        error = std::string(profilePath) + ": cannot read the sandbox profile named by " +
                kSandboxVariable + ": " + std::strerror(errno);
        return facts;
    }
    const SandboxProfileParse parse = ParseSandboxProfile(*text, profilePath);
    if (!parse.error.empty()) {
        error = parse.error;
        return facts;
    }
    return FactsFromProfile(parse.profile, profilePath);
}

}  // namespace

HostFacts FactsFromProfile(const SandboxProfile& profile, const std::string& profileFile) {
    HostFacts facts;
    facts.sandboxed = true;
    facts.profileFile = profileFile;
    facts.drives = profile.drives;
    facts.hosts = profile.hosts;
    facts.desktop = profile.desktop;
    facts.hostProxy = profile.hostProxy;
    return facts;
}

std::string InitHostFacts() {
    std::string error;
    auto facts = std::make_shared<const HostFacts>(LoadFacts(error));
    std::lock_guard<std::mutex> hold(factsLock);
    currentFacts = std::move(facts);
    return error;
}

std::shared_ptr<const HostFacts> Host() {
    {
        std::lock_guard<std::mutex> hold(factsLock);
        if (currentFacts) {
            return currentFacts;
        }
    }
    InitHostFacts();
    std::lock_guard<std::mutex> hold(factsLock);
    return currentFacts;
}

void SetHostFacts(HostFacts facts) {
    auto shared = std::make_shared<const HostFacts>(std::move(facts));
    std::lock_guard<std::mutex> hold(factsLock);
    currentFacts = std::move(shared);
}

}  // namespace platform

// The portable half of desktop_folder.h.

#include "platform/desktop_folder.h"
#include "platform/host_facts.h"

namespace platform {

bool SandboxHasNoDesktop() {
    const auto host = Host();
    return host->sandboxed && !host->desktop;
}

}  // namespace platform

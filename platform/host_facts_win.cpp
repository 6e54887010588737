#include "platform/host_facts.h"

namespace platform {

HostFacts FactsOfThisHost() {
    // Without a profile every drive letter is its own root (paths.h), and the volume queries ask
    // Windows itself each time, so that a disk plugged in meanwhile counts: nothing to keep.
    return HostFacts{};
}

}  // namespace platform

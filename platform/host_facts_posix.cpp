#include "platform/host_facts.h"
#include "platform/mount_table.h"

namespace platform {

HostFacts FactsOfThisHost() {
    HostFacts facts;
    facts.drives = HostDrivesFromMountTable();
    return facts;
}

}  // namespace platform

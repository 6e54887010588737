#pragma once
// Sandbox drives over temporary folders: each test gets drives whose roots are fresh folders,
// installed as the host facts in force for as long as the object lives.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_facts.h"
#include "tests/support/temp_dir.h"

namespace tolbe_test {

class SandboxDrives {
public:
    // Drives with the given letters, all fixed, each rooted at <temp>/<letter>.
    explicit SandboxDrives(const std::string& letters = "D");
    // The same with <temp> a fresh folder in the host folder `parent`, on a drive of the test's
    // choice.
    SandboxDrives(const std::string& letters, const std::string& parent);
    ~SandboxDrives();

    // The drive reports this many free bytes from now on (by default the host folder's own).
    void SetFreeBytes(char letter, uint64_t bytes);

    // Host folder that is the root of the drive.
    std::string Root(char letter) const;
    // Host path of a Windows-form path on these drives.
    std::string Host(const std::string& windowsPath) const;
    const std::string& base() const { return m_temp.path(); }

private:
    void MakeDrives(const std::string& letters);

    TempDir m_temp;
    platform::HostFacts m_facts;
};

}  // namespace tolbe_test

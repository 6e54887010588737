#include "tests/support/sandbox.h"

#include <filesystem>
#include <stdexcept>

#include "platform/paths.h"
#include "tests/support/host_files.h"

namespace tolbe_test {

SandboxDrives::SandboxDrives(const std::string& letters) {
    MakeDrives(letters);
}

SandboxDrives::SandboxDrives(const std::string& letters, const std::string& parent)
    : m_temp(parent) {
    MakeDrives(letters);
}

void SandboxDrives::MakeDrives(const std::string& letters) {
    m_facts.sandboxed = true;
    for (const char letter : letters) {
        platform::DriveFacts drive;
        drive.letter = letter;
        drive.hostRoot = m_temp.Join(std::string(1, letter));
        std::filesystem::create_directories(HostPathOf(drive.hostRoot));
        m_facts.drives.push_back(drive);
    }
    platform::SetHostFacts(m_facts);
}

SandboxDrives::~SandboxDrives() {
    platform::SetHostFacts(platform::HostFacts{});
}

void SandboxDrives::SetFreeBytes(char letter, uint64_t bytes) {
    for (platform::DriveFacts& drive : m_facts.drives) {
        if (drive.letter == letter) {
            drive.freeBytes = bytes;
        }
    }
    platform::SetHostFacts(m_facts);
}

std::string SandboxDrives::Root(char letter) const {
    return m_temp.Join(std::string(1, letter));
}

std::string SandboxDrives::Host(const std::string& windowsPath) const {
    const auto host = platform::MapToHostPath(windowsPath, m_facts.drives, "/");
    if (!host) {
        throw std::runtime_error("not on a sandbox drive: " + windowsPath);
    }
    return *host;
}

}  // namespace tolbe_test

#include "tests/support/profile_sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/sandbox_profile.h"
#include "tests/support/scoped_variable.h"

namespace tolbe_test {

using platform::kSandboxVariable;

ProfileSandbox::~ProfileSandbox() {
    UnsetVariable(kSandboxVariable);
    platform::SetHostFacts(platform::HostFacts{});
}

std::string ProfileSandbox::Folder(const std::string& name) const {
    const std::string folder = m_temp.Join(name);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string ProfileSandbox::Load(const std::string& text) {
    const std::string file = m_temp.Join("profile.txt");
    WriteHostFile(file, text);
    SetVariable(kSandboxVariable, file);
    return platform::InitHostFacts();
}

std::string ProfileSandbox::Host(const std::string& windowsPath) const {
    const auto host = platform::ToHostPath(windowsPath);
    if (!host) {
        throw std::runtime_error("maps to no host path: " + windowsPath);
    }
    return *host;
}

}  // namespace tolbe_test

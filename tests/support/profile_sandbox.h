#pragma once
// A sandbox profile file over temporary folders, loaded the way the launcher loads it: written
// to disk, named by TOLBE_SANDBOX and read by platform::InitHostFacts. While the object lives
// those facts are in force; afterwards the variable is gone and no drive is left.

#include <string>

#include "tests/support/temp_dir.h"

namespace tolbe_test {

class ProfileSandbox {
public:
    ProfileSandbox() = default;
    ~ProfileSandbox();
    ProfileSandbox(const ProfileSandbox&) = delete;
    ProfileSandbox& operator=(const ProfileSandbox&) = delete;

    // A fresh host folder <temp>/<name>, created on the first call, for a drive root or the
    // desktop.
    std::string Folder(const std::string& name) const;

    // Writes the profile text, names it in TOLBE_SANDBOX and loads it. Returns the loader's error
    // text, empty on success.
    std::string Load(const std::string& text);

    // Host path of a Windows-form path under the facts in force (throws when it maps to none).
    std::string Host(const std::string& windowsPath) const;

    const std::string& base() const { return m_temp.path(); }

private:
    TempDir m_temp;
};

}  // namespace tolbe_test

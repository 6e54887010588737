#pragma once
// A fresh temporary folder, removed with everything in it when the object goes.

#include <filesystem>
#include <string>

namespace tolbe_test {

class TempDir {
public:
    // In the host's temporary folder.
    TempDir();
    // In the folder `parent` (a host path), for a folder on a drive of a test's choice.
    explicit TempDir(const std::string& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + relative ("\\" on Windows)
    std::string Join(const std::string& relative) const;

private:
    std::string m_path;
};

// Whole-file helpers on host paths for assertions and fixtures (narrow host paths in the
// platform layer's encoding, see host_files.h).
std::string ReadHostFile(const std::string& hostPath);
std::string ReadHostFile(const char* hostPath);
std::string ReadHostFile(const std::filesystem::path& hostPath);
void WriteHostFile(const std::string& hostPath, const std::string& bytes);
bool HostPathExists(const std::string& hostPath);

}  // namespace tolbe_test

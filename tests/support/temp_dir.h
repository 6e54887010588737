#pragma once
// A fresh temporary folder, removed with everything in it when the object goes.

#include <string>

namespace tolbe_test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + relative ("\\" on Windows)
    std::string Join(const std::string& relative) const;

private:
    std::string m_path;
};

// Whole-file helpers on host paths for assertions and fixtures.
std::string ReadHostFile(const std::string& hostPath);
void WriteHostFile(const std::string& hostPath, const std::string& bytes);
bool HostPathExists(const std::string& hostPath);

}  // namespace tolbe_test

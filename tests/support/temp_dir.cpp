#include "tests/support/temp_dir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tolbe_test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tolbe-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    m_path = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave folders without write permission; give it back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::Join(const std::string& relative) const {
    return m_path + "/" + relative;
}

std::string ReadHostFile(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + hostPath);
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteHostFile(const std::string& hostPath, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + hostPath);
    }
}

bool HostPathExists(const std::string& hostPath) {
    struct stat info;
    return ::lstat(hostPath.c_str(), &info) == 0;
}

}  // namespace tolbe_test

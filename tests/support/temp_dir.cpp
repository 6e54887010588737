#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tolbe_test {

TempDir::TempDir() {
    // The host's temporary folder ($TMPDIR, else /tmp; on Windows GetTempPathW), and a fresh
    // name in it that no other test holds: creating it fails when the name is taken.
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base / ("tolbe-test-" + std::to_string(random() % 1000000000));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
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
    return m_path + static_cast<char>(std::filesystem::path::preferred_separator) + relative;
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
    std::error_code ignored;
    return std::filesystem::symlink_status(hostPath, ignored).type() !=
           std::filesystem::file_type::not_found;
}

}  // namespace tolbe_test

#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tolbe_test {

namespace {

constexpr int kNameAttempts = 100;

// TMPDIR, else /tmp on POSIX; the user's temporary folder on Windows.
std::string TempBase() {
#ifdef _WIN32
    return std::filesystem::temp_directory_path().generic_string();
#else
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
#endif
}

}  // namespace

TempDir::TempDir() {
    const std::string base = TempBase();
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    // create_directory makes the folder only if no one else has: a name taken is tried again.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = "tolbe-test-";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[pick(random)];
        }
        std::error_code error;
        if (std::filesystem::create_directory(base + "/" + name, error)) {
            m_path = base + "/" + name;
            std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, error);
            return;
        }
        if (error) {
            throw std::runtime_error("cannot make a folder in " + base + ": " + error.message());
        }
    }
    throw std::runtime_error("no free temporary folder name in " + base);
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
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(hostPath, error));
}

}  // namespace tolbe_test

#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "tests/support/host_files.h"

namespace tolbe_test {

namespace {

// A fresh name in `base` that no other test holds: creating it fails when the name is taken.
std::string MakeFreshFolder(const std::filesystem::path& base) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base / ("tolbe-test-" + std::to_string(random() % 1000000000));
        if (std::filesystem::create_directory(candidate)) {
            return NarrowHostPath(candidate);
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

}  // namespace

// The host's temporary folder: $TMPDIR, else /tmp; on Windows GetTempPathW.
TempDir::TempDir() : m_path(MakeFreshFolder(std::filesystem::temp_directory_path())) {}

TempDir::TempDir(const std::string& parent) : m_path(MakeFreshFolder(HostPathOf(parent))) {}

TempDir::~TempDir() {
    RemoveHostTree(HostPathOf(m_path));
}

std::string TempDir::Join(const std::string& relative) const {
    return m_path + static_cast<char>(std::filesystem::path::preferred_separator) + relative;
}

std::string ReadHostFile(const std::filesystem::path& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + hostPath.string());
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string ReadHostFile(const std::string& hostPath) {
    return ReadHostFile(HostPathOf(hostPath));
}

std::string ReadHostFile(const char* hostPath) {
    return ReadHostFile(std::string(hostPath));
}

void WriteHostFile(const std::string& hostPath, const std::string& bytes) {
    const std::filesystem::path path = HostPathOf(hostPath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + hostPath);
    }
}

bool HostPathExists(const std::string& hostPath) {
    std::error_code ignored;
    return std::filesystem::symlink_status(HostPathOf(hostPath), ignored).type() !=
           std::filesystem::file_type::not_found;
}

}  // namespace tolbe_test

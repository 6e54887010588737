// Fuzz target: loading config.zorv from arbitrary file bytes, as anyone may edit the file beside
// the launcher. The bytes are written as D:\Tolbe\config.zorv on a sandbox drive and loaded;
// the record is then saved over them and loaded again. Invariants:
//   - the load writes only the launcher's two read diagnostics, each at most once, in order,
//     each as one piece ending in CR LF; "读取配置文件失败！" exactly when the file reads as
//     empty text (no bytes, or a NUL first);
//   - the load replaces the record: loading into a record that held fields gives the same as
//     loading into an empty one;
//   - the record holds no undeclared field;
//   - saving succeeds, writes exactly ConfigFileBytes of the record, and loading the saved file
//     gives the same record without a parse diagnostic.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "config/config_store.h"
#include "config/diagnostics.h"
#include "fuzz_check.h"
#include "platform/debug_output.h"
#include "tests/support/sandbox.h"

namespace {

using tolbe_fuzz::Require;

constexpr char kDir[] = R"(D:\Tolbe\)";

// A sandbox drive D: over a temporary folder, and the diagnostics written while it is in force.
class Workspace {
public:
    Workspace() {
        std::filesystem::create_directories(m_drives.Host(kDir));
        platform::SetDebugSink([this](std::string_view bytes) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_pieces.emplace_back(bytes);
        });
    }
    ~Workspace() { platform::SetDebugSink({}); }

    std::string Host(const std::string& windowsPath) const { return m_drives.Host(windowsPath); }

    // The diagnostics written since the last call.
    std::vector<std::string> TakeDiagnostics() {
        std::lock_guard<std::mutex> hold(m_lock);
        std::vector<std::string> taken;
        taken.swap(m_pieces);
        return taken;
    }

private:
    tolbe_test::SandboxDrives m_drives{"D"};
    std::mutex m_lock;
    std::vector<std::string> m_pieces;
};

std::string Line(std::string_view diagnostic) {
    return std::string(diagnostic) + "\r\n";
}

zorv_VersionCheck StaleRecord() {
    zorv_VersionCheck record;
    record.set_version("stale");
    record.set_client_dir("stale");
    record.add_spare_list_11("stale");
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Workspace workspace;
    const std::string file = workspace.Host(std::string(kDir) + kConfigFileName);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    tolbe_test::WriteHostFile(file, bytes);

    zorv_VersionCheck fresh;
    LoadConfigFrom(kDir, fresh);
    const std::vector<std::string> written = workspace.TakeDiagnostics();
    const bool readsEmpty = bytes.empty() || bytes[0] == '\0';
    size_t next = 0;
    if (readsEmpty) {
        Require(!written.empty() && written[0] == Line(kDiagConfigReadFailed),
                "a file that reads as empty text is reported as unreadable");
        next = 1;
    }
    if (next < written.size()) {
        Require(written[next] == Line(kDiagConfigParseFailed), "only the read diagnostics appear");
        ++next;
    }
    Require(next == written.size(), "each read diagnostic appears at most once, in order");
    Require(fresh.unknown_fields().empty(), "a loaded record keeps no undeclared field");

    zorv_VersionCheck replaced = StaleRecord();
    LoadConfigFrom(kDir, replaced);
    Require(workspace.TakeDiagnostics() == written, "a second load reports the same");
    Require(replaced.SerializeAsString() == fresh.SerializeAsString(),
            "a load replaces what the record held");

    Require(SaveConfigTo(kDir, fresh), "the loaded record can be saved");
    Require(tolbe_test::ReadHostFile(file) == ConfigFileBytes(fresh),
            "the saved file holds the record's configuration bytes");
    zorv_VersionCheck reloaded = StaleRecord();
    LoadConfigFrom(kDir, reloaded);
    const std::vector<std::string> reloadWritten = workspace.TakeDiagnostics();
    const std::vector<std::string> expected =
        fresh.ByteSizeLong() == 0 ? std::vector<std::string>{Line(kDiagConfigReadFailed)}
                                  : std::vector<std::string>{};
    Require(reloadWritten == expected, "a saved file loads without a parse diagnostic");
    Require(reloaded.SerializeAsString() == fresh.SerializeAsString(),
            "a saved record loads back unchanged");
    return 0;
}

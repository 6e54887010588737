// Writes the seed corpora of the fuzz targets into a folder (fuzz/corpus when scripts/fuzz
// --seeds runs it): version records as the notice server and config.zorv hold them, and small
// archives made the way the extractor's tests make them.
//
//   tolbe_fuzz_seeds OUTPUT_FOLDER   writes OUTPUT_FOLDER/{record,config_load,extract}/<name>

#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "config/config_store.h"
#include "config/version_record.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::ZipEntry;

constexpr unsigned kUnixProgram = 0100755;
constexpr unsigned kUnixFile = 0100644;
constexpr unsigned kUnixLink = 0120777;

zorv_VersionCheck EveryField() {
    zorv_VersionCheck record;
    record.set_version("2.3.1");
    record.set_spare_text_2("channel-7");
    record.set_spare_text_3("3");
    record.set_spare_text_4("");
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    record.set_spare_text_6("six");
    record.set_client_dir("Tolbe");
    record.set_client_exe("tolbe.exe");
    record.set_spare_text_9("nine");
    record.add_spare_list_10("a");
    record.add_spare_list_10("");
    record.add_spare_list_11("b");
    record.add_spare_list_12("c");
    return record;
}

std::vector<std::pair<std::string, zorv_VersionCheck>> Records() {
    zorv_VersionCheck server;
    server.set_version("1.2.0");
    server.set_download_url("http://cdn.example.com/Client.zip");
    server.set_client_dir("Tolbe");
    server.set_client_exe("tolbe.exe");
    zorv_VersionCheck versionOnly;
    versionOnly.set_version("1.0");
    zorv_VersionCheck emptyVersion;
    emptyVersion.set_version("");
    zorv_VersionCheck oneLine;  // 57 bytes: one full line and its break
    oneLine.set_version(std::string(55, 'v'));
    zorv_VersionCheck twoLines;  // 58 bytes: a line, its break, then a padded group
    twoLines.set_version(std::string(56, 'v'));
    return {{"every-field", EveryField()},   {"server", server},    {"version-only", versionOnly},
            {"empty-version", emptyVersion}, {"one-line", oneLine}, {"two-lines", twoLines}};
}

std::vector<std::pair<std::string, std::vector<ZipEntry>>> Archives() {
    // Declares more than it holds.
    const ZipEntry shortEntry{"short.bin", "0123456789", 0, false, 20};
    return {
        {"files-and-folders",
         {{"data/", ""},
          {"a/b/c.txt", "nested"},
          {"stored.txt", "as it stands", 0, true},
          {R"(win\style.txt)", "backslashes"},
          {"empty.txt", ""}}},
        {"unix-modes",
         {{"tolbe.exe", "MZ program", kUnixProgram},
          {"readme.txt", "read me", kUnixFile},
          {"link", "tolbe.exe", kUnixLink, true}}},
        {"outside-names", {{"ok.txt", "fine"}, {"../up.txt", "refused"}, {"C:x", "refused"}}},
        {"nameless-entry", {{"first.txt", "one"}, {"", "nameless"}}},
        {"short-entry", {shortEntry}},
        {"long-name", {{std::string(600, 'n'), "a long name"}}},
        {"empty", {}},
    };
}

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
    fs::create_directories(folder);
    tolbe_test::WriteHostFile((folder / name).string(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tolbe_fuzz_seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const fs::path out = argv[1];
    for (const auto& [name, record] : Records()) {
        WriteSeed(out / "record", name, RecordToText(record));
        WriteSeed(out / "config_load", name, ConfigFileBytes(record));
    }
    // Line breaks as another editor may leave them: LF alone, and a final one.
    std::string lf = RecordToText(EveryField());
    for (size_t at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at)) {
        lf.erase(at, 1);
    }
    WriteSeed(out / "config_load", "lf-breaks", lf + "\n");

    tolbe_test::TempDir temp;
    for (const auto& [name, entries] : Archives()) {
        const std::string zipFile = temp.Join(name + ".zip");
        tolbe_test::WriteZip(zipFile, entries, name == "unix-modes");
        WriteSeed(out / "extract", name, tolbe_test::ReadHostFile(zipFile));
    }
    return 0;
}

#pragma once
// The sample client the flow tests install: a game that notes where it was started, and a few
// data files in nested folders.

#include <string>

#include "config/version_record.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_writer.h"

namespace tolbe_test {

// The game writes its working directory into started.txt there.
inline constexpr char kGameScript[] = "#!/bin/sh\npwd > started.txt\n";
inline constexpr char kMapData[] = "map of the northern valley";

inline zorv_VersionCheck ServerRecord(const std::string& version = "1.0") {
    zorv_VersionCheck record;
    record.set_version(version);
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    record.set_client_dir("Tolbe");
    record.set_client_exe("tolbe.exe");
    return record;
}

inline std::string ClientArchive() {
    TempDir dir;
    WriteZip(dir.Join("c.zip"), {{"tolbe.exe", kGameScript, 0100755},
                                 {"data/", "", 040755},
                                 {"data/maps/north.txt", kMapData, 0100644},
                                 {"readme.txt", "Tolbe", 0}});
    return ReadHostFile(dir.Join("c.zip"));
}

}  // namespace tolbe_test

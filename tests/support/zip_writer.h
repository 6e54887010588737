#pragma once
// Zip archives written at test time with minizip's zip interface.

#include <string>
#include <vector>

namespace tolbe_test {

struct ZipEntry {
    std::string name;  // as stored; a name ending in '/' is a directory entry
    std::string data;
    unsigned unixMode = 0;  // e.g. 0100755; 0 stores no Unix attributes (made "by DOS")
};

// Writes the archive (deflated entries; zip64 records when forced). Throws on failure.
void WriteZip(const std::string& hostPath, const std::vector<ZipEntry>& entries,
              bool forceZip64 = false);

}  // namespace tolbe_test

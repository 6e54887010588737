#include "tests/support/zip_writer.h"

#include <zip.h>

#include <stdexcept>

namespace tolbe_test {

void WriteZip(const std::string& hostPath, const std::vector<ZipEntry>& entries, bool forceZip64) {
    zipFile zip = zipOpen64(hostPath.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        throw std::runtime_error("cannot create " + hostPath);
    }
    constexpr unsigned long kMadeByUnix = 3u << 8 | 63u;
    constexpr unsigned long kMadeByDos = 63u;
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info{};
        info.tmz_date = {0, 0, 12, 1, 0, 2026};
        info.external_fa = static_cast<unsigned long>(entry.unixMode) << 16;
        const int opened = zipOpenNewFileInZip4_64(
            zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
            Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
            entry.unixMode != 0 ? kMadeByUnix : kMadeByDos, 0, forceZip64 ? 1 : 0);
        if (opened != ZIP_OK ||
            zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) !=
                ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot write entry " + entry.name + " of " + hostPath);
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK) {
        throw std::runtime_error("cannot finish " + hostPath);
    }
}

}  // namespace tolbe_test

#include "tests/support/zip_writer.h"

#include <zip.h>
#include <zlib.h>

#include <memory>
#include <stdexcept>
#include <type_traits>

#include "tests/support/temp_dir.h"

namespace tolbe_test {
namespace {

struct ZipCloser {
    void operator()(zipFile file) const { zipClose(file, nullptr); }
};
using ZipHandle = std::unique_ptr<std::remove_pointer_t<zipFile>, ZipCloser>;

constexpr unsigned long kMadeOnDos = 0x0014;    // MS-DOS, zip 2.0
constexpr unsigned long kMadeOnUnix = 0x0314;   // Unix, zip 2.0
constexpr unsigned long kUtf8Flag = 1ul << 11;  // general-purpose bit 11: the name is UTF-8

void Check(int result, const std::string& what, const std::string& hostPath) {
    if (result != ZIP_OK) {
        throw std::runtime_error("test zip " + hostPath + ": " + what + " failed (" +
                                 std::to_string(result) + ")");
    }
}

// The data as a raw deflate stream, as a zip entry holds it.
std::string RawDeflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("test zip: deflateInit2 failed");
    }
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("test zip: deflate failed");
    }
    return out;
}

}  // namespace

void WriteZip(const std::string& hostPath, const std::vector<ZipEntry>& entries, bool forceZip64) {
    ZipHandle zip(zipOpen64(hostPath.c_str(), APPEND_STATUS_CREATE));
    if (!zip) {
        throw std::runtime_error("test zip: cannot create " + hostPath);
    }
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info{};
        info.tmz_date = {0, 0, 12, 1, 0, 2026};
        info.external_fa = static_cast<unsigned long>(entry.unixMode) << 16;
        // A declared size is written through the raw interface, which takes the size as given;
        // the data is then deflated here.
        const bool raw = entry.declaredSize.has_value();
        const int method = entry.stored ? 0 : Z_DEFLATED;
        const std::string data = raw && !entry.stored ? RawDeflate(entry.data) : entry.data;
        Check(zipOpenNewFileInZip4_64(zip.get(), entry.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                      nullptr, method, Z_DEFAULT_COMPRESSION, raw ? 1 : 0,
                                      -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                      entry.unixMode != 0 ? kMadeOnUnix : kMadeOnDos,
                                      entry.utf8Flag ? kUtf8Flag : 0, forceZip64 ? 1 : 0),
              "opening " + entry.name, hostPath);
        if (!data.empty()) {
            Check(zipWriteInFileInZip(zip.get(), data.data(), static_cast<unsigned>(data.size())),
                  "writing " + entry.name, hostPath);
        }
        if (raw) {
            const uLong crc =
                crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), entry.data.size());
            Check(zipCloseFileInZipRaw64(zip.get(), *entry.declaredSize, crc),
                  "closing " + entry.name, hostPath);
        } else {
            Check(zipCloseFileInZip(zip.get()), "closing " + entry.name, hostPath);
        }
    }
    Check(zipClose(zip.release(), nullptr), "closing the archive", hostPath);
}

void PatchHostFile(const std::string& hostPath, const std::string& from, const std::string& to) {
    std::string bytes = ReadHostFile(hostPath);
    const size_t at = bytes.find(from);
    if (at == std::string::npos || from.size() != to.size()) {
        throw std::runtime_error("cannot patch " + hostPath);
    }
    bytes.replace(at, from.size(), to);
    WriteHostFile(hostPath, bytes);
}

}  // namespace tolbe_test

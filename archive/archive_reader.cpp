#include "archive/archive_reader.h"

#include <ioapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "archive/entry_name.h"
#include "platform/archive_files.h"

namespace {

// Compressed data is read this much at a time.
constexpr size_t kReadAheadBytes = 256 * 1024;
// Smaller requests (header fields, names, the search for the end record) are served from a
// window of this size of their own, so that they never throw away the data read ahead.
constexpr size_t kHeaderWindowBytes = 4096;

// A piece of the file held in memory.
class Window {
public:
    explicit Window(size_t capacity) : m_bytes(capacity) {}

    bool Holds(uint64_t position) const {
        return position >= m_start && position - m_start < m_length;
    }

    // Copies bytes from `position`, which the window holds; returns how many.
    size_t CopyOut(uint64_t position, char* out, size_t size) const {
        const size_t offset = static_cast<size_t>(position - m_start);
        const size_t count = std::min(size, m_length - offset);
        std::memcpy(out, m_bytes.data() + offset, count);
        return count;
    }

    // Reads the window's worth of the file from `position`; false on a read error. Empty
    // afterwards at the end of the file.
    bool Fill(platform::ArchiveInputFile& file, uint64_t position) {
        m_start = position;
        const std::optional<size_t> count = file.ReadAt(position, m_bytes.data(), m_bytes.size());
        m_length = count.value_or(0);
        return count.has_value();
    }

    bool empty() const { return m_length == 0; }
    // False when the last fill stopped at the end of the file.
    bool full() const { return m_length == m_bytes.size(); }
    uint64_t end() const { return m_start + m_length; }

private:
    std::vector<char> m_bytes;
    uint64_t m_start = 0;
    size_t m_length = 0;
};

// What minizip holds as its open file.
struct ArchiveStream {
    explicit ArchiveStream(platform::ArchiveInputFile input) : file(std::move(input)) {}

    platform::ArchiveInputFile file;
    uint64_t position = 0;
    bool failed = false;
    // Where the file ends, once a read has reached it. minizip, walking a damaged archive,
    // may ask for bytes past the end over and over, often one at a time; those are answered
    // from here instead of from the disk.
    std::optional<uint64_t> end;
    Window headers{kHeaderWindowBytes};
    Window data{kReadAheadBytes};
};

ArchiveStream& StreamOf(voidpf stream) {
    return *static_cast<ArchiveStream*>(stream);
}

voidpf ZCALLBACK OpenStream(voidpf, const void* path, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
        return nullptr;  // the extractor only reads
    }
    std::optional<platform::ArchiveInputFile> file =
        platform::ArchiveInputFile::Open(static_cast<const char*>(path));
    if (!file) {
        return nullptr;
    }
    // minizip owns the stream from here until it calls CloseStream.
    return std::make_unique<ArchiveStream>(std::move(*file)).release();
}

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* out, uLong size) {
    ArchiveStream& s = StreamOf(stream);
    char* const to = static_cast<char*>(out);
    uLong done = 0;
    while (done < size) {
        Window* from = s.data.Holds(s.position)      ? &s.data
                       : s.headers.Holds(s.position) ? &s.headers
                                                     : nullptr;
        if (from == nullptr) {
            if (s.end && s.position >= *s.end) {
                break;  // the end of the file
            }
            from = size - done >= kHeaderWindowBytes ? &s.data : &s.headers;
            if (!from->Fill(s.file, s.position)) {
                s.failed = true;
                break;
            }
            if (!from->full()) {
                s.end = from->end();
            }
            if (from->empty()) {
                break;  // the end of the file
            }
        }
        const size_t count = from->CopyOut(s.position, to + done, size - done);
        done += static_cast<uLong>(count);
        s.position += count;
    }
    return done;
}

uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong) {
    return 0;  // never asked of an archive opened for reading
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream) {
    return StreamOf(stream).position;
}

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    ArchiveStream& s = StreamOf(stream);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            s.position = offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_CUR:
            s.position += offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_END:
            if (const std::optional<uint64_t> size = s.file.Size()) {
                s.position = *size + offset;
                return 0;
            }
            return -1;
        default:
            return -1;
    }
}

int ZCALLBACK CloseStream(voidpf, voidpf stream) {
    const std::unique_ptr<ArchiveStream> owned(static_cast<ArchiveStream*>(stream));
    return 0;
}

int ZCALLBACK StreamError(voidpf, voidpf stream) {
    return StreamOf(stream).failed ? 1 : 0;
}

}  // namespace

ArchiveHandle OpenArchive(const std::string& windowsPath) {
    zlib_filefunc64_def functions{};  // minizip keeps a copy
    functions.zopen64_file = OpenStream;
    functions.zread_file = ReadStream;
    functions.zwrite_file = WriteStream;
    functions.ztell64_file = TellStream;
    functions.zseek64_file = SeekStream;
    functions.zclose_file = CloseStream;
    functions.zerror_file = StreamError;
    return ArchiveHandle(unzOpen2_64(windowsPath.c_str(), &functions));
}

namespace {

// Fills `info` and `name` with the current entry's record and its whole name: a name that does
// not fit the usual buffer is read again at its full length.
bool ReadCurrentEntry(unzFile archive, unz_file_info64& info, std::string& name) {
    name.assign(kEntryNameBufferBytes, '\0');
    for (;;) {
        if (unzGetCurrentFileInfo64(archive, &info, name.data(), name.size(), nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            return false;
        }
        if (info.size_filename < name.size()) {  // all of it, with room for minizip's NUL
            name.resize(info.size_filename);
            return true;
        }
        name.assign(info.size_filename + 1, '\0');
    }
}

}  // namespace

std::optional<std::string> ReadCurrentEntryName(unzFile archive, unz_file_info64& info) {
    std::string stored;
    if (!ReadCurrentEntry(archive, info, stored)) {
        return std::nullopt;
    }
    std::optional<std::string> text = EntryNameAsText(stored, info.flag & kUtf8NameFlag);
    if (!text || text->empty() || !EntryNameStaysInside(*text)) {
        return std::nullopt;
    }
    return text;
}

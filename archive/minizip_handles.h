#pragma once
// Owners of minizip's handles: an open archive and the entry open for reading in it.

#include <unzip.h>

#include <memory>
#include <type_traits>

struct ArchiveCloser {
    void operator()(unzFile archive) const { unzClose(archive); }
};

// An archive opened with unzOpen64, closed with unzClose when it goes.
using ArchiveHandle = std::unique_ptr<std::remove_pointer_t<unzFile>, ArchiveCloser>;

// The archive's current entry, opened with unzOpenCurrentFile; closed when the object goes unless
// Close has already done so.
class OpenEntry {
public:
    explicit OpenEntry(unzFile archive) : m_archive(archive) {}
    ~OpenEntry() {
        if (m_archive != nullptr) {
            unzCloseCurrentFile(m_archive);
        }
    }
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;

    // Closes the entry; UNZ_CRCERROR when all of it was read and its checksum does not match.
    int Close() {
        const unzFile archive = m_archive;
        m_archive = nullptr;
        return unzCloseCurrentFile(archive);
    }

private:
    unzFile m_archive;
};

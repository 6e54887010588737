#include "archive/entry_data.h"

#include <new>

#include "archive/crc32.h"

namespace {

Bytef* AsBytes(char* data) {
    return reinterpret_cast<Bytef*>(data);
}

}  // namespace

EntryInflater::EntryInflater() : m_raw(kPieceBytes), m_out(kPieceBytes) {
    // Raw deflate data, without a zlib header: what a zip entry holds.
    if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK) {
        throw std::bad_alloc();
    }
}

EntryInflater::~EntryInflater() {
    inflateEnd(&m_stream);
}

bool EntryInflater::Extract(const EntryDataFacts& facts, const RawReader& read,
                            const PieceSink& sink) {
    m_written = 0;
    m_crc = 0;
    const bool handedOn = facts.method == kStoredMethod     ? CopyStored(facts, read, sink)
                          : facts.method == kDeflatedMethod ? Inflate(facts, read, sink)
                                                            : false;
    return handedOn && m_written == facts.uncompressedSize && m_crc == facts.crc;
}

bool EntryInflater::CopyStored(const EntryDataFacts& facts, const RawReader& read,
                               const PieceSink& sink) {
    for (;;) {
        const std::optional<size_t> count = read(m_raw.data(), m_raw.size());
        if (!count) {
            return false;
        }
        if (*count == 0) {
            return true;
        }
        if (*count > facts.uncompressedSize - m_written) {
            return false;  // more than declared
        }
        m_crc = Crc32(m_crc, m_raw.data(), *count);
        if (!sink(m_raw.data(), *count)) {
            return false;
        }
        m_written += *count;
    }
}

bool EntryInflater::Inflate(const EntryDataFacts& facts, const RawReader& read,
                            const PieceSink& sink) {
    if (inflateReset(&m_stream) != Z_OK) {
        return false;
    }
    m_stream.avail_in = 0;
    for (;;) {
        if (m_stream.avail_in == 0) {
            const std::optional<size_t> count = read(m_raw.data(), m_raw.size());
            if (!count) {
                return false;
            }
            if (*count == 0) {
                // The raw data ends: what it held is the entry, and the size and checksum tell
                // whether that is all of it.
                return true;
            }
            m_stream.next_in = AsBytes(m_raw.data());
            m_stream.avail_in = static_cast<uInt>(*count);
        }
        m_stream.next_out = AsBytes(m_out.data());
        m_stream.avail_out = static_cast<uInt>(m_out.size());
        const int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            return false;  // damaged data (or zlib out of memory)
        }
        const size_t produced = m_out.size() - m_stream.avail_out;
        if (produced > facts.uncompressedSize - m_written) {
            return false;  // more than declared
        }
        if (produced > 0) {
            m_crc = Crc32(m_crc, m_out.data(), produced);
            if (!sink(m_out.data(), produced)) {
                return false;
            }
            m_written += produced;
        }
        if (result == Z_STREAM_END) {
            return true;
        }
    }
}

#include "archive/entry_data.h"

#include <libdeflate.h>

#include <algorithm>
#include <new>

namespace {

Bytef* AsBytes(char* data) {
    return reinterpret_cast<Bytef*>(data);
}

}  // namespace

EntryInflater::EntryInflater()
    : m_raw(kPieceBytes),
      m_out(kPieceBytes),
      m_wholeRaw(kWholeEntryBytes),
      m_wholeOut(kWholeEntryBytes) {
    // Raw deflate data, without a zlib header: what a zip entry holds.
    if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK) {
        throw std::bad_alloc();
    }
    m_wholeInflater = libdeflate_alloc_decompressor();
    if (m_wholeInflater == nullptr) {
        inflateEnd(&m_stream);
        throw std::bad_alloc();
    }
}

EntryInflater::~EntryInflater() {
    libdeflate_free_decompressor(m_wholeInflater);
    inflateEnd(&m_stream);
}

bool EntryInflater::Extract(const EntryDataFacts& facts, const RawReader& read,
                            const PieceSink& sink) {
    m_written = 0;
    m_crc = 0;
    const bool whole =
        facts.compressedSize <= kWholeEntryBytes && facts.uncompressedSize <= kWholeEntryBytes;
    const bool handedOn = facts.method == kStoredMethod     ? CopyStored(facts, read, sink)
                          : facts.method != kDeflatedMethod ? false
                          : whole                           ? InflateWhole(facts, read, sink)
                                                            : Inflate(facts, read, sink);
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
        if (!HandOn(m_raw.data(), *count, sink)) {
            return false;
        }
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
        if (produced > 0 && !HandOn(m_out.data(), produced, sink)) {
            return false;
        }
        if (result == Z_STREAM_END) {
            return true;
        }
    }
}

bool EntryInflater::InflateWhole(const EntryDataFacts& facts, const RawReader& read,
                                 const PieceSink& sink) {
    // All of the raw data: the reader ends it at the size the central directory gives.
    size_t raw = 0;
    while (raw < facts.compressedSize) {
        const std::optional<size_t> count =
            read(m_wholeRaw.data() + raw, static_cast<size_t>(facts.compressedSize) - raw);
        if (!count) {
            return false;
        }
        if (*count == 0) {
            break;  // shorter than declared: the deflate stream tells whether it is cut
        }
        raw += *count;
    }
    // Room for exactly the declared size: data that would run past it is refused as a whole,
    // and a stream that ends sooner leaves a size the caller finds short.
    size_t produced = 0;
    if (libdeflate_deflate_decompress_ex(m_wholeInflater, m_wholeRaw.data(), raw, m_wholeOut.data(),
                                         static_cast<size_t>(facts.uncompressedSize), nullptr,
                                         &produced) != LIBDEFLATE_SUCCESS) {
        return false;  // damaged, cut short, or more than declared
    }
    for (size_t at = 0; at < produced; at += kPieceBytes) {
        if (!HandOn(m_wholeOut.data() + at, std::min(kPieceBytes, produced - at), sink)) {
            return false;
        }
    }
    return true;
}

bool EntryInflater::HandOn(const char* data, size_t size, const PieceSink& sink) {
    m_crc = libdeflate_crc32(static_cast<uint32_t>(m_crc), data, size);
    if (!sink(data, size)) {
        return false;
    }
    m_written += size;
    return true;
}

#pragma once
// An entry's data: its raw bytes, as the archive stores them, inflated (or taken as they are
// when stored) and handed on in large pieces, with the checksum and the size checked.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// What the central directory says of an entry's data.
struct libdeflate_decompressor;

struct EntryDataFacts {
    unsigned long method = 0;  // kStoredMethod or kDeflatedMethod
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    unsigned long crc = 0;  // CRC-32 of the uncompressed bytes
};

inline constexpr unsigned long kStoredMethod = 0;
inline constexpr unsigned long kDeflatedMethod = 8;

// Reads up to `size` raw bytes into `out`: the count (0 at the end of the entry's raw data), or
// nullopt on a read error.
using RawReader = std::function<std::optional<size_t>(char* out, size_t size)>;
// Takes the next piece of the entry's uncompressed bytes; false stops the entry there.
using PieceSink = std::function<bool(const char* data, size_t size)>;

// Turns raw entry data into its bytes. Holds its buffers and zlib's state for any number of
// entries, one after the other: one object per thread.
class EntryInflater {
public:
    // Raw bytes are read, and uncompressed bytes handed on, this much at a time: large enough
    // that reading, inflating and writing cost few calls per megabyte.
    static constexpr size_t kPieceBytes = 256 * 1024;
    // A deflated entry no larger than this, raw and uncompressed, is read whole and inflated in
    // one call with libdeflate, more than twice as fast as zlib's stream; larger ones stream
    // through zlib in pieces, so that memory stays a few buffers whatever an entry's size.
    static constexpr size_t kWholeEntryBytes = 2 * 1024 * 1024;

    // Throws std::bad_alloc when its buffers or the inflaters' states cannot be had.
    EntryInflater();
    ~EntryInflater();
    EntryInflater(const EntryInflater&) = delete;
    EntryInflater& operator=(const EntryInflater&) = delete;

    // Supported: stored and deflated data.
    static bool Supports(unsigned long method) {
        return method == kStoredMethod || method == kDeflatedMethod;
    }

    // Reads the entry's raw data from `read` until it ends (or, when deflated, until the deflate
    // stream ends) and hands every uncompressed byte to `sink`. True when all of it was handed on
    // and it is exactly the declared size with the declared checksum. False as soon as the data
    // is damaged, the raw data cannot be read, the bytes would run past the declared size (never
    // handed on), or `sink` refuses a piece; the pieces handed on before stay handed on.
    bool Extract(const EntryDataFacts& facts, const RawReader& read, const PieceSink& sink);

private:
    bool CopyStored(const EntryDataFacts& facts, const RawReader& read, const PieceSink& sink);
    bool Inflate(const EntryDataFacts& facts, const RawReader& read, const PieceSink& sink);
    bool InflateWhole(const EntryDataFacts& facts, const RawReader& read, const PieceSink& sink);
    bool HandOn(const char* data, size_t size, const PieceSink& sink);

    std::vector<char> m_raw;
    std::vector<char> m_out;
    std::vector<char> m_wholeRaw;  // kWholeEntryBytes each
    std::vector<char> m_wholeOut;
    z_stream m_stream{};
    libdeflate_decompressor* m_wholeInflater = nullptr;
    uint64_t m_written = 0;
    unsigned long m_crc = 0;
};

#include "config/version_record.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "config/base64.h"

namespace {

// Varints are at most ten bytes long; a tag is a 32-bit varint, which the runtime reads in at
// most five bytes, dropping what lies beyond 32 bits.
constexpr int kMaxVarintBytes = 10;
constexpr int kMaxTagBytes = 5;

bool ReadVarint(std::string_view bytes, size_t& at, uint64_t& value,
                int maxBytes = kMaxVarintBytes) {
    value = 0;
    for (int i = 0; i < maxBytes && at < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value |= static_cast<uint64_t>(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// Length of the longest prefix of `bytes` made of complete fields (groups included), that is,
// where a parse that fails further on stopped reading whole fields. It stops where the runtime
// stops: at a tag it cannot read, field number 0, and a group end that closes no open group of
// the same field number.
size_t CompleteFieldsPrefix(std::string_view bytes) {
    size_t at = 0;
    size_t complete = 0;
    std::vector<uint32_t> openGroups;  // field numbers, innermost last
    while (at < bytes.size()) {
        uint64_t wideTag = 0;
        uint64_t value = 0;
        if (!ReadVarint(bytes, at, wideTag, kMaxTagBytes)) {
            break;
        }
        const auto tag = static_cast<uint32_t>(wideTag);
        const uint32_t field = tag >> 3;
        if (field == 0) {
            break;
        }
        switch (tag & 7) {
            case 0:
                if (!ReadVarint(bytes, at, value)) {
                    return complete;
                }
                break;
            case 1:
                at += 8;
                break;
            case 2:
                if (!ReadVarint(bytes, at, value) || value > bytes.size() - at) {
                    return complete;
                }
                at += static_cast<size_t>(value);
                break;
            case 3:
                openGroups.push_back(field);
                break;
            case 4:
                if (openGroups.empty() || openGroups.back() != field) {
                    return complete;
                }
                openGroups.pop_back();
                break;
            case 5:
                at += 4;
                break;
            default:
                return complete;
        }
        if (at > bytes.size()) {
            break;
        }
        if (openGroups.empty()) {
            complete = at;
        }
    }
    return complete;
}

bool ParseWhole(zorv_VersionCheck& record, std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(INT_MAX)) {
        record.Clear();
        return false;
    }
    return record.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

bool ParseRecord(zorv_VersionCheck& record, std::string_view bytes) {
    const bool parsed = ParseWhole(record, bytes);
    if (!parsed) {
        // The runtime leaves the field at the fault half-filled (a string cut short, padded with
        // zero bytes). Keep exactly the fields read before the fault instead.
        if (!ParseWhole(record, bytes.substr(0, CompleteFieldsPrefix(bytes)))) {
            record.Clear();
        }
    }
    // The lite runtime keeps undeclared fields as raw bytes; the launcher never carries them.
    record.mutable_unknown_fields()->clear();
    return parsed;
}

std::string RecordToText(const zorv_VersionCheck& record) {
    return Base64Encode(record.SerializeAsString());
}

bool RecordFromText(zorv_VersionCheck& record, std::string_view text) {
    return ParseRecord(record, Base64Decode(std::string(text)));
}

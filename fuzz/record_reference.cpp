#include "record_reference.h"

#include <cstdint>
#include <vector>

namespace tolbe_fuzz {
namespace {

constexpr int kLastField = 12;
constexpr size_t kMaxTagBytes = 5;     // a tag is a 32-bit varint
constexpr size_t kMaxLengthBytes = 5;  // so is a length
constexpr size_t kMaxVarintBytes = 10;
constexpr size_t kMaxGroupDepth = 20;

enum class Step { Ok, Fault, Unknown };

// Reads one varint of at most maxBytes bytes. Fault when the input ends inside it; Unknown when
// it runs longer than maxBytes (the runtime's answer then depends on its version).
Step ReadVarint(std::string_view bytes, size_t& at, size_t maxBytes, uint64_t& value) {
    value = 0;
    for (size_t i = 0; i < maxBytes; ++i) {
        if (at >= bytes.size()) {
            return Step::Fault;
        }
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value |= static_cast<uint64_t>(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            return Step::Ok;
        }
    }
    return Step::Unknown;
}

void Store(zorv_VersionCheck& record, uint64_t field, std::string_view value) {
    const std::string text(value);
    switch (field) {
        case 1:
            record.set_version(text);
            break;
        case 2:
            record.set_spare_text_2(text);
            break;
        case 3:
            record.set_spare_text_3(text);
            break;
        case 4:
            record.set_spare_text_4(text);
            break;
        case 5:
            record.set_download_url(text);
            break;
        case 6:
            record.set_spare_text_6(text);
            break;
        case 7:
            record.set_client_dir(text);
            break;
        case 8:
            record.set_client_exe(text);
            break;
        case 9:
            record.set_spare_text_9(text);
            break;
        case 10:
            record.add_spare_list_10(text);
            break;
        case 11:
            record.add_spare_list_11(text);
            break;
        case 12:
            record.add_spare_list_12(text);
            break;
        default:
            break;
    }
}

}  // namespace

std::optional<ReferenceParse> ReadRecordReference(std::string_view bytes) {
    ReferenceParse result;
    zorv_VersionCheck pending;     // every field read so far, inside groups or not
    std::vector<uint64_t> groups;  // field numbers of the open groups
    size_t at = 0;
    const auto fault = [&]() -> std::optional<ReferenceParse> {
        result.parsed = false;
        return result;  // the record as it stood after the last complete top-level field
    };
    while (at < bytes.size()) {
        uint64_t tag = 0;
        Step step = ReadVarint(bytes, at, kMaxTagBytes, tag);
        if (step == Step::Unknown || (step == Step::Ok && tag > UINT32_MAX)) {
            return std::nullopt;
        }
        if (step == Step::Fault || tag == 0) {
            return fault();
        }
        const uint64_t field = tag >> 3;
        if (field == 0) {
            return std::nullopt;
        }
        uint64_t value = 0;
        switch (tag & 7) {
            case 0:
                step = ReadVarint(bytes, at, kMaxVarintBytes, value);
                break;
            case 1:
            case 5: {
                const size_t width = (tag & 7) == 1 ? 8 : 4;
                step = bytes.size() - at < width ? Step::Fault : Step::Ok;
                at += step == Step::Ok ? width : 0;
                break;
            }
            case 2:
                step = ReadVarint(bytes, at, kMaxLengthBytes, value);
                if (step == Step::Ok && value > bytes.size() - at) {
                    step = Step::Fault;
                }
                if (step == Step::Ok) {
                    if (groups.empty() && field <= kLastField) {
                        Store(pending, field, bytes.substr(at, static_cast<size_t>(value)));
                    }
                    at += static_cast<size_t>(value);
                }
                break;
            case 3:
                if (groups.size() == kMaxGroupDepth) {
                    return std::nullopt;
                }
                groups.push_back(field);
                break;
            case 4:
                if (groups.empty() || groups.back() != field) {
                    return fault();  // an end that closes no open group stops the reading
                }
                groups.pop_back();
                break;
            default:
                return fault();  // wire types 6 and 7 do not exist
        }
        if (step == Step::Unknown) {
            return std::nullopt;
        }
        if (step == Step::Fault) {
            return fault();
        }
        if (groups.empty()) {
            result.record = pending;
        }
    }
    if (!groups.empty()) {
        return fault();  // the input ended inside a group
    }
    result.parsed = true;
    return result;
}

}  // namespace tolbe_fuzz

// Fuzz target: the version record's text path, as the notice server's vaskpc.txt and every
// config.zorv take it. The input is Base64 text: decoded, parsed into a record, serialised and
// encoded again. Invariants:
//   - the parse answers what an independent reading of the wire format answers, and keeps the
//     same fields (on a fault, those read before it);
//   - the record holds no undeclared field;
//   - its text is well-formed Base64 (alphabet, padding, CR LF after every 76 characters of
//     complete groups) that decodes to exactly the record's bytes;
//   - re-parsing that text succeeds and gives the same record, whose text is the same again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/base64.h"
#include "config/version_record.h"
#include "fuzz_check.h"
#include "record_reference.h"

namespace {

using tolbe_fuzz::Require;

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineCharacters = 76;

bool IsWellFormedText(const std::string& text, size_t byteCount) {
    const size_t groups = byteCount / 3;
    const size_t rest = byteCount % 3;
    const size_t breaks = groups / (kLineCharacters / 4);
    const size_t characters = groups * 4 + (rest != 0 ? 4 : 0);
    if (text.size() != characters + 2 * breaks) {
        return false;
    }
    size_t column = 0;
    size_t digits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (column == kLineCharacters) {
            if (text.compare(i, 2, "\r\n") != 0) {
                return false;
            }
            ++i;
            column = 0;
            continue;
        }
        const bool padding = digits >= groups * 4 + 2 + (rest == 2 ? 1 : 0);
        if (padding ? text[i] != '=' : kAlphabet.find(text[i]) == std::string_view::npos) {
            return false;
        }
        ++column;
        ++digits;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string bytes = Base64Decode(text);
    Require(Base64Decode(Base64Encode(bytes)) == bytes, "Base64 of any bytes decodes back");

    zorv_VersionCheck record;
    const bool parsed = RecordFromText(record, text);
    Require(record.unknown_fields().empty(), "a record keeps no undeclared field");
    if (const auto reference = tolbe_fuzz::ReadRecordReference(bytes)) {
        Require(parsed == reference->parsed, "the parse result matches the wire format");
        Require(record.SerializeAsString() == reference->record.SerializeAsString(),
                "the record keeps exactly the fields read before any fault");
    }

    const std::string serialised = record.SerializeAsString();
    const std::string out = RecordToText(record);
    Require(IsWellFormedText(out, serialised.size()), "the record's text is well-formed Base64");
    Require(Base64Decode(out) == serialised, "the record's text decodes to its bytes");

    zorv_VersionCheck again;
    Require(RecordFromText(again, out), "the record's own text parses");
    Require(again.SerializeAsString() == serialised, "re-parsing gives the same record");
    Require(RecordToText(again) == out, "the same record gives the same text");
    return 0;
}

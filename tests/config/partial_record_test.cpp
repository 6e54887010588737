// A record whose bytes break off keeps the fields read before the fault, also when the fault is
// one the runtime finds in a group or a tag: found by fuzzing the record's text path.
#include <gtest/gtest.h>

#include <string>

#include "config/version_record.h"

namespace {

TEST(PartialRecord, KeepsTheFieldsBeforeAMalformedGroupOrTag) {
    const std::string versionField("\x0A\x01v", 3);
    const struct {
        const char* name;
        std::string after;  // what follows a complete version field
    } cases[] = {
        {"a group closed by the end of another field", std::string("\x6B\x74", 2)},
        {"a group closed by another field's end, then more fields",
         std::string("\x6B\x08\x01\x74\x3A\x01"
                     "D",
                     7)},
        {"a tag longer than five bytes", std::string("\x8A\x80\x80\x80\x80\x00\x01w", 8)},
        {"a group left open at the end", std::string("\x6B\x3A\x01"
                                                     "D",
                                                     4)},
    };
    for (const auto& c : cases) {
        zorv_VersionCheck record;
        EXPECT_FALSE(ParseRecord(record, versionField + c.after)) << c.name;
        EXPECT_EQ(record.version(), "v") << c.name;
        EXPECT_FALSE(record.has_client_dir()) << c.name;
    }
}

}  // namespace

#include "config/version_record.h"

#include <gtest/gtest.h>

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char b : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(VersionRecord, SerialisesInFieldOrderWithOneByteTags) {
    zorv_VersionCheck empty;
    EXPECT_EQ(empty.SerializeAsString(), "");

    zorv_VersionCheck presentButEmpty;
    presentButEmpty.set_version("");
    EXPECT_EQ(Hex(presentButEmpty.SerializeAsString()), "0A 00");

    zorv_VersionCheck dirFirst;
    dirFirst.set_client_dir("Game");
    dirFirst.set_version("1.0");
    EXPECT_EQ(Hex(dirFirst.SerializeAsString()), "0A 03 31 2E 30 3A 04 47 61 6D 65");

    zorv_VersionCheck lists;
    lists.add_spare_list_10("a");
    lists.add_spare_list_10("b");
    lists.add_spare_list_12("z");
    lists.add_spare_list_10("c");
    lists.set_spare_text_9("9");
    EXPECT_EQ(Hex(lists.SerializeAsString()), "4A 01 39 52 01 61 52 01 62 52 01 63 62 01 7A");

    zorv_VersionCheck long200;
    long200.set_client_exe(std::string(200, 'x'));
    EXPECT_EQ(Hex(long200.SerializeAsString().substr(0, 3)), "42 C8 01");
    EXPECT_EQ(long200.SerializeAsString().size(), 203u);
}

TEST(VersionRecord, ParsesAsTheLauncherExpects) {
    const struct {
        const char* name;
        std::string bytes;
        bool ok;
        const char* version;
        const char* clientDir;
    } cases[] = {
        {"empty input", "", true, "", ""},
        {"repeated field keeps the later",
         "\x0A\x01"
         "1\x0A\x01"
         "2",
         true, "2", ""},
        {"undeclared field 13 skipped", "\x6A\x02xy\x0A\x01v", true, "v", ""},
        {"field 7 as a varint skipped", std::string("\x38\x05\x0A\x01v", 5), true, "v", ""},
        {"trailing zero byte", std::string("\x0A\x01v\x00", 4), false, "v", ""},
        {"value cut short",
         "\x0A\x05"
         "ab",
         false, "", ""},
        {"length cut short", "\x0A", false, "", ""},
        {"fields before a fault survive",
         "\x3A\x01"
         "D\x0A\x09",
         false, "", "D"},
        {"end-group tag", "\x0A\x01v\x0C", false, "v", ""},
        {"fault after an undeclared group",
         "\x0A\x01v\x6B\x08\x01\x6C\x3A\x05"
         "ab",
         false, "v", ""},
    };
    for (const auto& c : cases) {
        zorv_VersionCheck record;
        record.set_spare_text_3("stale");  // every parse starts from a cleared record
        EXPECT_EQ(ParseRecord(record, c.bytes), c.ok) << c.name;
        EXPECT_EQ(record.version(), c.version) << c.name;
        EXPECT_EQ(record.client_dir(), c.clientDir) << c.name;
        EXPECT_FALSE(record.has_spare_text_3()) << c.name;
        // Nothing undeclared is carried into a later save.
        zorv_VersionCheck again;
        ASSERT_TRUE(ParseRecord(again, record.SerializeAsString())) << c.name;
        EXPECT_EQ(again.SerializeAsString(), record.SerializeAsString()) << c.name;
        EXPECT_EQ(record.SerializeAsString().find("xy"), std::string::npos) << c.name;
    }
}

TEST(VersionRecord, TextFormRoundTrip) {
    zorv_VersionCheck record;
    record.set_version("1.0.7");
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    zorv_VersionCheck back;
    ASSERT_TRUE(RecordFromText(back, RecordToText(record)));
    EXPECT_EQ(back.SerializeAsString(), record.SerializeAsString());
    EXPECT_FALSE(RecordFromText(back, "this is an error page"));
}

}  // namespace

// The Windows tree's libraries and runtime as its programs get them: the lite runtime of the
// cross-built protobuf with the code of the host's protoc, libcurl with Windows' own TLS and
// nothing but HTTP, and the posix threads model of the compiler.

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/version_record.h"

namespace {

TEST(WindowsToolchain, VersionRecordRoundTripsThroughItsTextForm) {
    zorv_VersionCheck record;
    record.set_version("1.2.3");
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    record.set_client_dir("\xCD\xD0\xB1\xB4");  // GBK bytes stay bytes
    zorv_VersionCheck back;
    ASSERT_TRUE(RecordFromText(back, RecordToText(record)));
    EXPECT_EQ(back.SerializeAsString(), record.SerializeAsString());
    EXPECT_EQ(back.client_dir(), "\xCD\xD0\xB1\xB4");
}

TEST(WindowsToolchain, LibcurlSpeaksHttpAndHttpsThroughSchannelOnly) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    ASSERT_NE(info->ssl_version, nullptr);
    EXPECT_NE(std::string(info->ssl_version).find("Schannel"), std::string::npos)
        << info->ssl_version;
    std::vector<std::string> protocols;
    for (const char* const* p = info->protocols; *p; ++p) {
        protocols.emplace_back(*p);
    }
    EXPECT_EQ(protocols, (std::vector<std::string>{"http", "https"}));
    EXPECT_EQ(info->libz_version, nullptr);
}

TEST(WindowsToolchain, ThreadsShareAMutex) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 10000;
    std::mutex mutex;
    long total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                const std::lock_guard<std::mutex> lock(mutex);
                ++total;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(total, kThreads * kRounds);
}

}  // namespace

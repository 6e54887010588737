// Downloads that break off and go on from where they stopped: within one run, and in the next
// run from what an earlier one left on the disk.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "net/file_download.h"
#include "net/partial_download.h"
#include "tests/net/download_fixture.h"
#include "tests/net/range_file_server.h"
#include "tests/support/random_bytes.h"

namespace {

using tolbe_test::DownloadTuning;
using tolbe_test::EntryAt;
using tolbe_test::FileDownloadTest;
using tolbe_test::kArchive;
using tolbe_test::kPart;
using tolbe_test::kRecord;
using tolbe_test::MakeHostFileLink;
using tolbe_test::RandomBytes;
using tolbe_test::RangeFileServer;
using tolbe_test::ReadHostFile;
using tolbe_test::RequestHeader;
using tolbe_test::WriteHostFile;

constexpr int64_t kSize = 1000003;
const std::string kFile = RandomBytes(kSize, 21);

int64_t Percent(int percent) {
    return kSize * percent / 100;
}

// The most bytes a resumed download may cost: the file and a twentieth.
constexpr int64_t kServedAtMost = kSize + kSize / 20;

// A message shown for a network failure ends with libcurl's code.
bool EndsWithCode(const std::wstring& message, int code) {
    const std::wstring suffix = L"\nm_dwError:" + std::to_wstring(code);
    return message.size() > suffix.size() &&
           message.compare(message.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::optional<PartialDownload> RecordOnDisk(const tolbe_test::NetSandbox& sandbox) {
    if (EntryAt(sandbox.Host(kRecord)) != "file") {
        return std::nullopt;
    }
    return ParsePartialRecord(ReadHostFile(sandbox.Host(kRecord)));
}

class DownloadResumeTest : public FileDownloadTest {
protected:
    // The download ended with the whole file as the archive and nothing partial left.
    void ExpectWholeArchive(const FileDownLoad& download, const std::string& file = kFile) {
        EXPECT_EQ(download.m_finished, kDownloadEndedAfterTransfer);
        EXPECT_TRUE(download.m_complete);
        EXPECT_EQ(download.m_contentLength, static_cast<int64_t>(file.size()));
        EXPECT_EQ(download.m_receivedBytes, static_cast<int64_t>(file.size()));
        EXPECT_TRUE(ReadHostFile(sandbox.Host(kArchive)) == file);
        EXPECT_EQ(EntryAt(sandbox.Host(kPart)), "nothing");
        EXPECT_EQ(EntryAt(sandbox.Host(kRecord)), "nothing");
    }
};

TEST_F(DownloadResumeTest, ABodyThatBreaksOffGoesOnFromWhereItStopped) {
    using Validators = RangeFileServer::Validators;
    struct Case {
        const char* name;
        int64_t cut;
        RangeFileServer::Cut how;
        std::string etag;
        Validators validators;
        bool honoursRanges;
        std::string ifRange;  // what the request for the rest names
    };
    const std::string lastModifiedOnly = "last-modified";
    const std::vector<Case> cases = {
        {"closed at 30 %, ETag",
         Percent(30),
         RangeFileServer::Cut::Close,
         "\"v1\"",
         {true, true, true},
         true,
         "\"v1\""},
        {"reset at 99 %, ETag",
         Percent(99),
         RangeFileServer::Cut::Reset,
         "\"v1\"",
         {true, false, false},
         true,
         "\"v1\""},
        {"closed at 30 %, Last-Modified only",
         Percent(30),
         RangeFileServer::Cut::Close,
         "\"v1\"",
         {false, true, false},
         true,
         lastModifiedOnly},
        // A weak ETag may not be named in If-Range.
        {"closed at 99 %, a weak ETag",
         Percent(99),
         RangeFileServer::Cut::Close,
         "W/\"v1\"",
         {true, true, false},
         true,
         lastModifiedOnly},
        {"reset at 30 %, only Accept-Ranges",
         Percent(30),
         RangeFileServer::Cut::Reset,
         "\"v1\"",
         {false, false, true},
         true,
         ""},
        // A 200 to the request for the rest: the file again from its first byte.
        {"closed at 30 %, ranges ignored",
         Percent(30),
         RangeFileServer::Cut::Close,
         "\"v1\"",
         {true, true, true},
         false,
         "\"v1\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(sandbox.Host(kArchive));
        RangeFileServer server(kFile, c.etag);
        server.SetValidators(c.validators);
        server.HonourRanges(c.honoursRanges);
        server.CutAt({c.cut}, c.how);
        server.BeforeReset([this](int64_t at) { return m_current.load()->m_receivedBytes == at; });
        const auto download = Download(sandbox.Route(server.port()) + "/Client.zip");

        ExpectWholeArchive(*download);
        EXPECT_TRUE(shown().empty());
        const std::vector<std::string> heads = server.heads();
        ASSERT_EQ(heads.size(), 2u);
        EXPECT_EQ(RequestHeader(heads[0], "Range"), "");
        EXPECT_EQ(RequestHeader(heads[1], "Range"), "bytes=" + std::to_string(c.cut) + "-");
        const std::string ifRange = RequestHeader(heads[1], "If-Range");
        if (c.ifRange == lastModifiedOnly) {
            EXPECT_NE(ifRange.find(" GMT"), std::string::npos) << ifRange;
        } else {
            EXPECT_EQ(ifRange, c.ifRange);
        }
        if (c.honoursRanges) {
            EXPECT_LE(server.served(), kServedAtMost);
        } else {
            EXPECT_EQ(server.served(), c.cut + kSize);
        }
    }
}

TEST_F(DownloadResumeTest, ResumesAreFewAndSpacedThenThePlayerIsToldOnce) {
    constexpr int64_t kEach = 1000;  // every answer stops after this many body bytes
    constexpr long kFirstWaitMs = 20;
    struct Case {
        const char* name;
        RangeFileServer::Validators validators;
        size_t requests;
        bool kept;  // the partial download stays for the next run
    };
    const std::vector<Case> cases = {
        {"resumable", {true, true, true}, 6, true},
        // Neither a validator nor byte ranges: no resume is possible, the player is told at
        // once and nothing stays.
        {"not resumable", {false, false, false}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(sandbox.Host(kPart));
        std::filesystem::remove(sandbox.Host(kRecord));
        RangeFileServer server(kFile);
        server.SetValidators(c.validators);
        server.CutEveryAnswerAfter(kEach);
        const size_t before = shown().size();
        const auto started = std::chrono::steady_clock::now();
        DownloadTuning tuning;
        tuning.firstResumeWaitMs = kFirstWaitMs;
        const auto download =
            Download(sandbox.Route(server.port()) + "/Client.zip", kArchive, tuning);
        const auto took = std::chrono::steady_clock::now() - started;

        EXPECT_EQ(server.heads().size(), c.requests);
        const auto messages = shown();
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_TRUE(EndsWithCode(messages.back().message, 18));  // a body cut short
        EXPECT_EQ(messages.back().finishedMeanwhile, kDownloadRunning);
        EXPECT_EQ(download->m_finished, kDownloadEndedAfterTransfer);
        EXPECT_FALSE(download->m_complete);
        EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "nothing");
        const int64_t reached = kEach * static_cast<int64_t>(c.requests);
        EXPECT_EQ(download->m_receivedBytes, reached);
        EXPECT_EQ(download->m_contentLength, kSize);
        const std::string kept = c.kept ? "file" : "nothing";
        EXPECT_EQ(messages.back().partMeanwhile, kept);
        EXPECT_EQ(messages.back().recordMeanwhile, kept);
        EXPECT_EQ(EntryAt(sandbox.Host(kPart)), kept);
        if (c.kept) {
            // Five waits, each twice the one before.
            EXPECT_GE(took, std::chrono::milliseconds(kFirstWaitMs * (1 + 2 + 4 + 8 + 16)));
            const auto record = RecordOnDisk(sandbox);
            ASSERT_TRUE(record);
            EXPECT_EQ(record->goodBytes, reached);
            EXPECT_EQ(record->totalBytes, kSize);
            EXPECT_EQ(record->validator, "\"v1\"");
            EXPECT_TRUE(ReadHostFile(sandbox.Host(kPart)) == kFile.substr(0, reached));
        }
    }
}

TEST_F(DownloadResumeTest, AnAnswerThatDoesNotCarryTheRestIsAFailure) {
    const int64_t cut = Percent(30);
    const std::string from = std::to_string(cut);
    const std::string size = std::to_string(kSize);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"416", "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n"},
        {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"},
        {"206 from another offset", "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-" +
                                        std::to_string(kSize - 1) + "/" + size +
                                        "\r\nContent-Length: 0\r\n"},
        {"206 of another total", "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + from +
                                     "-" + size + "/" + std::to_string(kSize + 1) +
                                     "\r\nContent-Length: 0\r\n"},
        {"206 without Content-Range", "HTTP/1.1 206 Partial Content\r\nContent-Length: 0\r\n"},
    };
    for (const auto& [name, answer] : cases) {
        SCOPED_TRACE(name);
        RangeFileServer server(kFile);
        server.CutAt({cut});
        server.AnswerRangesWith(answer);
        const size_t before = shown().size();
        const auto download = Download(sandbox.Route(server.port()) + "/Client.zip");

        EXPECT_EQ(server.heads().size(), 2u);
        const auto messages = shown();
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_TRUE(EndsWithCode(messages.back().message, 33));  // libcurl: a range error
        EXPECT_FALSE(download->m_complete);
        EXPECT_EQ(download->m_finished, kDownloadEndedAfterTransfer);
        // Bytes no answer fits are of no use to the next run either.
        EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "nothing");
        EXPECT_EQ(EntryAt(sandbox.Host(kPart)), "nothing");
        EXPECT_EQ(EntryAt(sandbox.Host(kRecord)), "nothing");
    }
}

TEST_F(DownloadResumeTest, ADownloadCutShortGoesOnInTheNextRun) {
    const std::string newFile = RandomBytes(kSize + 100, 22);
    struct Case {
        const char* name;
        bool fileChanged;
        const char* nextUrlSuffix;
        bool resumed;
    };
    const std::vector<Case> cases = {
        {"the same file", false, "", true},
        {"a new release meanwhile", true, "", false},
        {"another URL now", false, "?release=2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RangeFileServer server(kFile);
        const std::string url = sandbox.Route(server.port()) + "/Client.zip";
        server.CutAt({Percent(60)});
        DownloadTuning once;
        once.maxResumes = 0;
        const size_t before = shown().size();
        Download(url, kArchive, once);
        ASSERT_EQ(shown().size(), before + 1);
        const auto record = RecordOnDisk(sandbox);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->url, url);
        EXPECT_EQ(record->goodBytes, Percent(60));

        if (c.fileChanged) {
            server.Replace(newFile, "\"v2\"");
        }
        const auto next = Download(url + c.nextUrlSuffix);
        ExpectWholeArchive(*next, c.fileChanged ? newFile : kFile);
        EXPECT_EQ(shown().size(), before + 1);
        const auto heads = server.heads();
        ASSERT_EQ(heads.size(), 2u);
        if (c.resumed) {
            EXPECT_EQ(RequestHeader(heads[1], "Range"),
                      "bytes=" + std::to_string(Percent(60)) + "-");
            EXPECT_EQ(RequestHeader(heads[1], "If-Range"), "\"v1\"");
            EXPECT_LE(server.served(), kServedAtMost);
        } else if (c.fileChanged) {
            // Asked for the rest of the old release, the server sent the new one whole.
            EXPECT_EQ(RequestHeader(heads[1], "If-Range"), "\"v1\"");
        } else {
            EXPECT_EQ(RequestHeader(heads[1], "Range"), "");
        }
    }
}

TEST_F(DownloadResumeTest, ATornOrPlantedRecordMeansAFreshDownload) {
    RangeFileServer server(kFile);
    const std::string url = sandbox.Route(server.port()) + "/Client.zip";
    const int64_t good = Percent(40);
    const std::string valid = FormatPartialRecord({url, "\"v1\"", kSize, good});
    std::string oneDigitChanged = valid;
    oneDigitChanged[oneDigitChanged.find("good=") + 5] ^= 1;
    const std::string victim = sandbox.Host(R"(D:\Documents\notes.txt)");
    const std::string victimBytes = kFile.substr(0, static_cast<size_t>(good));
    std::filesystem::create_directories(std::filesystem::path(victim).parent_path());

    struct Case {
        const char* name;
        std::string record;
        bool partIsLink;
        bool resumed;
    };
    const std::vector<Case> cases = {
        {"a whole record", valid, false, true},
        {"cut short", valid.substr(0, valid.size() / 2), false, false},
        {"cut short by its last byte", valid.substr(0, valid.size() - 1), false, false},
        {"garbage", RandomBytes(300, 23), false, false},
        {"empty", "", false, false},
        {"one digit changed", oneDigitChanged, false, false},
        {"more good bytes than the file holds",
         FormatPartialRecord({url, "\"v1\"", kSize, good + 1}), false, false},
        // The player's file behind a link is neither resumed into nor changed.
        {"the partial file is a link", valid, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.partIsLink && !tolbe_test::HostShowsFileLinks()) {
            continue;  // tolbe_test::kFileLinksUnseen
        }
        WriteHostFile(victim, victimBytes);
        const size_t requestsBefore = server.heads().size();
        if (c.partIsLink) {
            MakeHostFileLink(sandbox.Host(kPart), victim);
        } else {
            WriteHostFile(sandbox.Host(kPart), kFile.substr(0, static_cast<size_t>(good)));
        }
        WriteHostFile(sandbox.Host(kRecord), c.record);
        const auto download = Download(url);

        ExpectWholeArchive(*download);
        const auto heads = server.heads();
        ASSERT_EQ(heads.size(), requestsBefore + 1);
        EXPECT_EQ(RequestHeader(heads.back(), "Range"),
                  c.resumed ? "bytes=" + std::to_string(good) + "-" : "");
        EXPECT_EQ(ReadHostFile(victim), victimBytes);
    }
    EXPECT_TRUE(shown().empty());
}

// A whole download that cannot take its name (a folder stands in for the program that holds
// it: no rename replaces a folder) is kept whole, and the next run asks only for its last byte,
// with the validator, before it becomes the archive.
TEST_F(DownloadResumeTest, AWholeDownloadThatCannotTakeItsNameStaysForTheNextRun) {
    RangeFileServer server(kFile);
    server.Trickle(kSize * 4);  // a quarter of a second: time to take the name meanwhile
    const std::string url = sandbox.Route(server.port()) + "/Client.zip";
    std::thread taker([this] {
        tolbe_test::WaitUntil(
            [this] {
                const FileDownLoad* download = m_current.load();
                return download != nullptr && download->m_receivedBytes > 0;
            },
            tolbe_test::kDeadline);
        std::filesystem::create_directory(sandbox.Host(kArchive));
    });
    const auto first = Download(url);
    taker.join();

    EXPECT_FALSE(first->m_complete);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "folder");
    EXPECT_TRUE(ReadHostFile(sandbox.Host(kPart)) == kFile);
    const auto record = RecordOnDisk(sandbox);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->goodBytes, kSize);
    EXPECT_EQ(record->totalBytes, kSize);

    std::filesystem::remove(sandbox.Host(kArchive));
    const auto second = Download(url);
    ExpectWholeArchive(*second);
    const std::vector<std::string> heads = server.heads();
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(RequestHeader(heads[1], "Range"), "bytes=" + std::to_string(kSize - 1) + "-");
    EXPECT_EQ(RequestHeader(heads[1], "If-Range"), "\"v1\"");
    EXPECT_EQ(server.served(), kSize + 1);
}

TEST_F(DownloadResumeTest, OnlyTheRestNeedsRoom) {
    const int64_t good = Percent(80);
    const int64_t rest = kSize - good;
    struct Case {
        const char* name;
        uint64_t freeBytes;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"room for the rest", static_cast<uint64_t>(rest), true},
        // The player is told how much is missing; the bytes already there stay for later.
        {"no room for the rest", static_cast<uint64_t>(rest - 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RangeFileServer server(kFile);
        const std::string url = sandbox.Route(server.port()) + "/Client.zip";
        WriteHostFile(sandbox.Host(kPart), kFile.substr(0, static_cast<size_t>(good)));
        WriteHostFile(sandbox.Host(kRecord), FormatPartialRecord({url, "\"v1\"", kSize, good}));
        sandbox.SetFreeBytes(c.freeBytes);
        const auto download = Download(url);
        if (c.complete) {
            ExpectWholeArchive(*download);
            continue;
        }
        EXPECT_EQ(download->m_finished, kDownloadEndedWithoutTransfer);
        EXPECT_TRUE(download->m_noRoom);
        EXPECT_EQ(download->m_roomNeeded, rest);
        EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "nothing");
        const auto record = RecordOnDisk(sandbox);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->goodBytes, good);
        EXPECT_TRUE(ReadHostFile(sandbox.Host(kPart)) ==
                    kFile.substr(0, static_cast<size_t>(good)));
    }
    EXPECT_TRUE(shown().empty());
}

TEST(PartialRecord, ReadsOnlyAWholeRecordBack) {
    const PartialDownload partial{"http://cdn.example/Client.zip?x=1", "\"abc\"", 123456789012,
                                  5678};
    const std::string text = FormatPartialRecord(partial);
    const auto back = ParsePartialRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->url, partial.url);
    EXPECT_EQ(back->validator, partial.validator);
    EXPECT_EQ(back->totalBytes, partial.totalBytes);
    EXPECT_EQ(back->goodBytes, partial.goodBytes);
    const auto noValidator = ParsePartialRecord(FormatPartialRecord({"http://a/b", "", 10, 0}));
    ASSERT_TRUE(noValidator);
    EXPECT_EQ(noValidator->validator, "");
    // Every record cut short, and every record with one byte changed, reads as none.
    for (size_t length = 0; length < text.size(); ++length) {
        EXPECT_FALSE(ParsePartialRecord(text.substr(0, length))) << length;
    }
    for (size_t at = 0; at < text.size(); ++at) {
        std::string changed = text;
        changed[at] = static_cast<char>(changed[at] ^ 0x04);
        EXPECT_FALSE(ParsePartialRecord(changed)) << at;
    }
    // Counts that make no sense are refused even with a matching check line.
    EXPECT_FALSE(ParsePartialRecord(FormatPartialRecord({"http://a/b", "", 10, 11})));
    EXPECT_FALSE(ParsePartialRecord(FormatPartialRecord({"http://a/b", "", 0, 0})));
}

}  // namespace

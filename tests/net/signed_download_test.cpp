// Downloads of a signed archive: the signature is fetched first, every byte is checked however
// the file came (in one answer, resumed within the run, started again from 0, or continued from
// what an earlier run kept), and only a file that matches takes the archive's name.

#include <gtest/gtest.h>

#include "net/file_download.h"
#include "net/partial_download.h"
#include "tests/net/download_fixture.h"
#include "tests/net/range_file_server.h"
#include "tests/support/random_bytes.h"
#include "tests/support/test_signer.h"

namespace {

using tolbe_test::EntryAt;
using tolbe_test::kArchive;
using tolbe_test::kPart;
using tolbe_test::kRecord;
using tolbe_test::RangeFileServer;
using tolbe_test::ReadHostFile;
using tolbe_test::RequestHeader;
using tolbe_test::WriteHostFile;

constexpr int64_t kSize = 700001;
const std::string kFile = tolbe_test::RandomBytes(kSize, 31);
constexpr int64_t kCut = kSize * 3 / 10;

class SignedDownloadTest : public tolbe_test::FileDownloadTest {
protected:
    std::shared_ptr<FileDownLoad> SignedDownload(const std::string& url) {
        return Download(url, kArchive, {}, signer.PublicKey());
    }

    tolbe_test::TestSigner signer;
};

TEST_F(SignedDownloadTest, EveryByteIsCheckedHoweverTheFileCame) {
    struct Case {
        const char* name;
        bool cut;            // the first answer breaks off at kCut
        bool honoursRanges;  // the rest comes as a 206, else the whole file again with 200
        bool keptByEarlierRun;
        int64_t changedKeptByte;  // -1: the kept bytes are as the server sent them
        bool complete;
    };
    const std::vector<Case> cases = {
        {"in one answer", false, true, false, -1, true},
        {"resumed within the run", true, true, false, -1, true},
        {"started again from 0 within the run", true, false, false, -1, true},
        {"continued from an earlier run", false, true, true, -1, true},
        // The server sends the right rest, but a kept byte was damaged on the disk meanwhile.
        {"continued from damaged kept bytes", false, true, true, kCut / 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RangeFileServer server(kFile);
        server.ServeSignature(signer.SignatureFile(kFile));
        server.HonourRanges(c.honoursRanges);
        if (c.cut) {
            server.CutAt({kCut});
        }
        const std::string url = sandbox.Route(server.port()) + "/Client.zip";
        if (c.keptByEarlierRun) {
            std::string kept = kFile.substr(0, kCut);
            if (c.changedKeptByte >= 0) {
                kept[static_cast<size_t>(c.changedKeptByte)] ^= 0x01;
            }
            WriteHostFile(sandbox.Host(kPart), kept);
            WriteHostFile(sandbox.Host(kRecord), FormatPartialRecord({url, "\"v1\"", kSize, kCut}));
        }

        const auto download = SignedDownload(url);
        EXPECT_EQ(download->m_complete, c.complete);
        EXPECT_EQ(EntryAt(sandbox.Host(kPart)), "nothing");
        EXPECT_EQ(EntryAt(sandbox.Host(kRecord)), "nothing");
        const auto heads = server.heads();
        ASSERT_GE(heads.size(), 2u);
        EXPECT_NE(heads[0].find("GET /Client.zip.sig "), std::string::npos) << heads[0];
        if (c.keptByEarlierRun) {
            EXPECT_EQ(RequestHeader(heads[1], "Range"), "bytes=" + std::to_string(kCut) + "-");
        }
        if (c.complete) {
            EXPECT_TRUE(ReadHostFile(sandbox.Host(kArchive)) == kFile);
            EXPECT_EQ(download->m_signatureFault, "");
        } else {
            EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "nothing");
            EXPECT_NE(download->m_signatureFault.find("does not match"), std::string::npos)
                << download->m_signatureFault;
        }
        EXPECT_TRUE(shown().empty());
    }
}

TEST_F(SignedDownloadTest, WithoutAUsableSignatureNothingIsDownloaded) {
    struct Case {
        const char* name;
        std::string signature;  // served for .sig paths; empty: the archive itself is served
        const char* fault;
    };
    const std::vector<Case> cases = {
        // A server that answers every path with the archive: far too long for a signature.
        {"no signature file", "", "no signature"},
        {"garbage", "<html>Not Found</html>\n", "not the Base64 text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RangeFileServer server(kFile);
        server.ServeSignature(c.signature);
        const std::string url = sandbox.Route(server.port()) + "/Client.zip";
        // What an earlier run kept stays for a run that can check it.
        WriteHostFile(sandbox.Host(kPart), kFile.substr(0, kCut));
        WriteHostFile(sandbox.Host(kRecord), FormatPartialRecord({url, "\"v1\"", kSize, kCut}));

        const auto download = SignedDownload(url);
        EXPECT_FALSE(download->m_complete);
        EXPECT_EQ(download->m_finished, kDownloadEndedWithoutTransfer);
        EXPECT_NE(download->m_signatureFault.find(c.fault), std::string::npos)
            << download->m_signatureFault;
        EXPECT_EQ(server.heads().size(), 1u);  // the signature's request alone
        EXPECT_EQ(EntryAt(sandbox.Host(kArchive)), "nothing");
        EXPECT_TRUE(ReadHostFile(sandbox.Host(kPart)) == kFile.substr(0, kCut));
        EXPECT_EQ(EntryAt(sandbox.Host(kRecord)), "file");
    }
}

}  // namespace

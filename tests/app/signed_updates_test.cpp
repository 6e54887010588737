// A launcher built with the publisher's public key: it believes vaskpc.txt only with a valid
// vaskpc.txt.sig, and installs Client.zip only when the archive matches download_url + ".sig".
// The key is made at test time; zorvtool verify judges every served file as the launcher does.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"
#include "tests/support/debug_capture.h"
#include "tests/support/run_process.h"
#include "tests/support/test_signer.h"

namespace tolbe_test {
namespace {

constexpr char kRecordSignature[] = "/vaskpc.txt.sig";
constexpr char kArchiveSignature[] = "/Client.zip.sig";

// zorvtool verify's exit status for `bytes` published with `signature` (none when empty).
int ZorvtoolVerify(const std::string& name, const std::string& bytes, const std::string& signature,
                   const std::string& publicKey) {
    TempDir dir;
    WriteHostFile(dir.Join(name), bytes);
    if (!signature.empty()) {
        WriteHostFile(dir.Join(name + ".sig"), signature);
    }
    return RunProcess({ZORVTOOL_PATH, "verify", "--public-key", publicKey, dir.Join(name)})
        .exitStatus;
}

bool HasDiagnostic(const DebugCapture& capture, const std::string& text) {
    const auto pieces = capture.pieces();
    return std::any_of(pieces.begin(), pieces.end(), [&](const std::string& piece) {
        return piece.find(text) != std::string::npos;
    });
}

std::string WithOneByteChanged(std::string bytes, size_t at) {
    bytes[at] ^= 0x01;
    return bytes;
}

// In a zip archive, a byte of the first entry's time stamp: the archive stays sound and would
// install, only its signature tells.
constexpr size_t kArchiveTimeByte = 10;

class SignedUpdates : public ::testing::Test {
protected:
    TestSigner publisher;
    TestSigner stranger;
    const std::string record = RecordToText(ServerRecord("1.0"));
    const std::string archive = ClientArchive();
};

TEST_F(SignedUpdates, ASignedRecordAndArchiveInstall) {
    FlowHarness h;
    h.flow->updatePublicKey = publisher.PublicKey();
    h.server.SetNotice(200, record);
    h.server.SetSignature(kRecordSignature, publisher.SignatureFile(record));
    h.server.SetArchive(200, archive);
    h.server.SetSignature(kArchiveSignature, publisher.SignatureFile(archive));
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.flow->m_flowState, Launching);
    EXPECT_TRUE(h.view.boxes.empty());
    const std::string dir = h.Host(R"(E:\Tolbe)");
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), kMapData);
    EXPECT_EQ(WaitForGameNote(dir), dir);
    EXPECT_EQ(h.server.SignatureRequests(kRecordSignature), 1);
    EXPECT_EQ(h.server.SignatureRequests(kArchiveSignature), 1);

    EXPECT_EQ(ZorvtoolVerify("vaskpc.txt", record, publisher.SignatureFile(record),
                             publisher.PublicKey()),
              0);
    EXPECT_EQ(ZorvtoolVerify("Client.zip", archive, publisher.SignatureFile(archive),
                             publisher.PublicKey()),
              0);
}

TEST_F(SignedUpdates, ARecordWithoutAValidSignatureGetsTheRetryQuestionAndNoDownload) {
    struct Case {
        const char* name;
        std::string served;     // vaskpc.txt as the notice server sends it
        std::string signature;  // vaskpc.txt.sig; empty: 404
        const char* why;        // in the diagnostic
    };
    const std::vector<Case> cases = {
        {"unsigned", record, "", "vaskpc.txt.sig: the notice server did not answer 200"},
        {"signed by another key", record, stranger.SignatureFile(record), "does not match"},
        {"changed by one byte after signing", WithOneByteChanged(record, record.size() / 2),
         publisher.SignatureFile(record), "does not match"},
        {"a signature file of garbage", record, "<html>404 Not Found</html>\n",
         "not the Base64 text of an Ed25519 signature"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowHarness h;
        h.flow->updatePublicKey = publisher.PublicKey();
        h.server.SetNotice(200, c.served);
        if (!c.signature.empty()) {
            h.server.SetSignature(kRecordSignature, c.signature);
        }
        h.server.SetArchive(200, archive);
        h.server.SetSignature(kArchiveSignature, publisher.SignatureFile(archive));
        DebugCapture capture;

        EXPECT_TRUE(h.EndsAtTheRetryQuestion());
        EXPECT_TRUE(HasDiagnostic(capture, c.why));
        EXPECT_EQ(h.server.archiveRequests, 0);
        EXPECT_EQ(h.server.SignatureRequests(kArchiveSignature), 0);
        EXPECT_EQ(h.app.m_serverRecord.download_url(), "");  // nothing of it was read
        EXPECT_EQ(ZorvtoolVerify("vaskpc.txt", c.served, c.signature, publisher.PublicKey()), 1);
    }
}

TEST_F(SignedUpdates, AnArchiveWithoutAValidSignatureIsNeitherExtractedNorRun) {
    const std::string otherArchive = [] {
        TempDir dir;
        WriteZip(dir.Join("c.zip"), {{"tolbe.exe", "#!/bin/sh\ntouch planted\n", 0100755}});
        return ReadHostFile(dir.Join("c.zip"));
    }();
    struct Case {
        const char* name;
        std::string served;     // Client.zip as the archive server sends it
        std::string signature;  // Client.zip.sig; empty: 404
        const char* why;
        int archiveRequests;
    };
    const std::vector<Case> cases = {
        {"changed by one byte after signing", WithOneByteChanged(archive, kArchiveTimeByte),
         publisher.SignatureFile(archive), "does not match", 1},
        {"another archive signed by another key", otherArchive,
         stranger.SignatureFile(otherArchive), "does not match", 1},
        {"unsigned", archive, "", "no signature", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowHarness h;
        h.flow->updatePublicKey = publisher.PublicKey();
        h.server.SetNotice(200, record);
        h.server.SetSignature(kRecordSignature, publisher.SignatureFile(record));
        h.server.SetArchive(200, c.served);
        if (!c.signature.empty()) {
            h.server.SetSignature(kArchiveSignature, c.signature);
        }
        const TreeSnapshot before = SnapshotTree(h.temp.path());
        DebugCapture capture;
        h.Open();

        ASSERT_TRUE(h.TickUntilState(Stopped));
        ASSERT_EQ(h.view.boxes.size(), 1u);
        EXPECT_EQ(h.view.boxes[0].text, kTextExtractionFailed);
        // Nothing of the archive is left, extracted, copied or started: the sandbox is as it was.
        EXPECT_EQ(SnapshotTree(h.temp.path()), before);
        EXPECT_TRUE(HasDiagnostic(capture, c.why));
        EXPECT_EQ(h.server.archiveRequests, c.archiveRequests);
        EXPECT_EQ(ZorvtoolVerify("Client.zip", c.served, c.signature, publisher.PublicKey()), 1);
    }
}

}  // namespace
}  // namespace tolbe_test

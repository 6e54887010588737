// Signature and key texts are read strictly, and a file's signature does not depend on the
// pieces its bytes came in.

#include <gtest/gtest.h>

#include "signing/signature.h"
#include "tests/support/random_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

signing::SecretKey Key() {
    return signing::MakeKeyPair()->secretKey;
}

TEST(SignatureText, OnlyOneCanonicalTextReadsAsASignature) {
    signing::SignatureStream stream;
    stream.Add("vaskpc.txt");
    const signing::Signature signature = *stream.Sign(Key());
    const std::string text = signing::SignatureText(signature);
    ASSERT_EQ(text.size(), 88u);
    ASSERT_EQ(text.substr(86), "==");
    // The last character before the padding carries two bits of the signature and four zero
    // bits; the next character of the alphabet sets one of those.
    std::string strayBits = text;
    strayBits[85] = kAlphabet[std::string(kAlphabet).find(text[85]) + 1];
    std::string outside = text;
    outside[10] = '!';

    const struct {
        const char* name;
        std::string text;
        bool reads;
    } cases[] = {
        {"as written", text, true},
        {"with a line break", text + "\n", true},
        {"with blanks and CR LF around it", " \t" + text + " \r\n", true},
        {"empty", "", false},
        {"without its padding", text.substr(0, 86), false},
        {"cut short", text.substr(0, 84) + "==", false},
        {"a character outside the alphabet", outside, false},
        {"stray bits after the last byte", strayBits, false},
        {"twice", text + "\n" + text, false},
        {"with a blank inside", text.substr(0, 40) + " " + text.substr(40), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = signing::ParseSignature(c.text);
        EXPECT_EQ(read.has_value(), c.reads);
        if (read) {
            EXPECT_EQ(*read, signature);
        }
    }
    // A key is no signature, nor the other way round.
    const auto pair = signing::MakeKeyPair();
    EXPECT_FALSE(signing::ParseSignature(signing::KeyText(pair->publicKey)));
    EXPECT_FALSE(signing::ParsePublicKey(text));
    EXPECT_EQ(signing::ParsePublicKey(signing::KeyText(pair->publicKey)), pair->publicKey);
    EXPECT_EQ(signing::ParseSecretKey(signing::KeyText(pair->secretKey)), pair->secretKey);
}

TEST(SignatureStream, TheSignatureCoversTheBytesNotThePieces) {
    const std::string bytes = tolbe_test::RandomBytes(200000, 7);
    const auto pair = signing::MakeKeyPair();
    signing::SignatureStream whole;
    whole.Add(bytes);
    const signing::Signature signature = *whole.Sign(pair->secretKey);

    signing::SignatureStream pieces;
    for (size_t at = 0; at < bytes.size(); at += 4099) {
        pieces.Add(std::string_view(bytes).substr(at, 4099));
    }
    EXPECT_TRUE(pieces.Matches(signature, pair->publicKey));

    tolbe_test::TempDir dir;
    tolbe_test::WriteHostFile(dir.Join("Client.zip"), bytes + "and more");
    auto file = platform::ArchiveInputFile::OpenHost(dir.Join("Client.zip"));
    ASSERT_TRUE(file);
    signing::SignatureStream fromFile;
    ASSERT_TRUE(fromFile.AddFile(*file, bytes.size()));
    EXPECT_TRUE(fromFile.Matches(signature, pair->publicKey));
    EXPECT_FALSE(fromFile.AddFile(*file, bytes.size() + 100));  // more than the file holds

    // Started again, the stream holds nothing of what came before.
    signing::SignatureStream restarted;
    restarted.Add("an answer that was dropped");
    restarted.Reset();
    restarted.Add(bytes);
    EXPECT_TRUE(restarted.Matches(signature, pair->publicKey));

    const struct {
        const char* name;
        std::string signed_;
        std::string checked;
        std::string signatureText;
        signing::Verdict verdict;
    } cases[] = {
        {"the same bytes", "abc", "abc", "", signing::Verdict::Valid},
        {"one byte more", "abc", "abcd", "", signing::Verdict::Mismatch},
        {"garbage for a signature", "abc", "abc", "garbage", signing::Verdict::NotASignature},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        signing::SignatureStream made;
        made.Add(c.signed_);
        signing::SignatureStream checked;
        checked.Add(c.checked);
        const std::string text = c.signatureText.empty()
                                     ? signing::SignatureText(*made.Sign(pair->secretKey))
                                     : c.signatureText;
        EXPECT_EQ(signing::CheckSignature(checked, text, signing::KeyText(pair->publicKey)),
                  c.verdict);
        EXPECT_EQ(signing::CheckSignature(checked, text, "not a key"),
                  signing::Verdict::BadPublicKey);
    }
}

}  // namespace

#pragma once
// Ed25519 signatures of the publisher's files (libsodium): keys and detached signatures as
// one-line Base64 texts, and the multi-part form (Ed25519ph) that signs and checks a file of any
// size as a stream, so that a multi-gigabyte archive is never held in memory. One and the same
// form serves vaskpc.txt and Client.zip, the launcher and zorvtool.

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/archive_files.h"

namespace signing {

inline constexpr size_t kPublicKeyBytes = crypto_sign_PUBLICKEYBYTES;
inline constexpr size_t kSecretKeyBytes = crypto_sign_SECRETKEYBYTES;
inline constexpr size_t kSignatureBytes = crypto_sign_BYTES;
// A file's detached signature lies beside it under its name followed by this.
inline constexpr char kSignatureSuffix[] = ".sig";
// A signature file is one short line; anything longer is not one.
inline constexpr size_t kMaxSignatureFileBytes = 4096;

using PublicKey = std::array<unsigned char, kPublicKeyBytes>;
using SecretKey = std::array<unsigned char, kSecretKeyBytes>;
using Signature = std::array<unsigned char, kSignatureBytes>;

struct KeyPair {
    PublicKey publicKey;
    SecretKey secretKey;
};

// A fresh key pair from the system's random source; nullopt when libsodium cannot start.
std::optional<KeyPair> MakeKeyPair();

// The texts: standard Base64 with '=' padding, on one line, without a line break.
std::string KeyText(const PublicKey& key);
std::string KeyText(const SecretKey& key);
std::string SignatureText(const Signature& signature);

// Reading the texts back. Strict: exactly one Base64 text of the right length, in its one
// canonical form; blanks and line breaks around it are allowed, nothing else (a signature file
// of garbage, a key cut short or with a character changed is no key). Nullopt otherwise.
std::optional<PublicKey> ParsePublicKey(std::string_view text);
std::optional<SecretKey> ParseSecretKey(std::string_view text);
std::optional<Signature> ParseSignature(std::string_view text);

// The bytes of one file as they go by, in pieces, for a signature over all of them.
class SignatureStream {
public:
    SignatureStream();

    // Forgets every byte added so far: the stream starts again at the file's first byte.
    void Reset();

    // The next `size` bytes of the file.
    void Add(const void* data, size_t size);
    void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }

    // The first `bytes` bytes of `file`, read in pieces of a fixed size. False when they cannot
    // be read (a read error, or the file is shorter); the stream then holds part of them.
    bool AddFile(platform::ArchiveInputFile& file, uint64_t bytes);

    // The signature of the bytes added so far; the stream itself is left as it is.
    std::optional<Signature> Sign(const SecretKey& key) const;

    // Whether `signature` was made by the key's owner over exactly the bytes added so far.
    bool Matches(const Signature& signature, const PublicKey& key) const;

private:
    crypto_sign_state m_state;
};

// The outcome of checking a file's bytes against its signature file's text.
enum class Verdict {
    Valid,
    BadPublicKey,   // the key to check with is no public key text
    NotASignature,  // the signature file's text is no signature (empty, garbage, cut short)
    Mismatch,       // a signature, but not by that key over these bytes
};

Verdict CheckSignature(const SignatureStream& bytes, std::string_view signatureText,
                       std::string_view publicKeyText);

// Says what the verdict means, for diagnostics and the operator's tool.
const char* VerdictText(Verdict verdict);

}  // namespace signing

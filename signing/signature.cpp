#include "signing/signature.h"

#include <algorithm>
#include <vector>

namespace signing {
namespace {

constexpr int kBase64Variant = sodium_base64_VARIANT_ORIGINAL;
// Files are read into one buffer of this size, whatever their length.
constexpr size_t kReadPieceBytes = 1 << 16;

// libsodium must be started once before use; it is safe to ask from any thread, any number of
// times. It fails only when the system gives it no random source.
bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

template <size_t N>
std::string ToBase64(const std::array<unsigned char, N>& bytes) {
    std::string text(sodium_base64_ENCODED_LEN(N, kBase64Variant), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes.data(), N, kBase64Variant);
    text.resize(text.find('\0'));
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Exactly N bytes from one Base64 text with blanks and line breaks at most around it.
template <size_t N>
std::optional<std::array<unsigned char, N>> FromBase64(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!SodiumReady() || text.size() != sodium_base64_ENCODED_LEN(N, kBase64Variant) - 1) {
        return std::nullopt;
    }
    std::array<unsigned char, N> bytes{};
    size_t length = 0;
    const char* end = nullptr;
    // libsodium refuses characters outside the alphabet, wrong padding and stray bits after the
    // last byte, so that each value has exactly one text.
    if (sodium_base642bin(bytes.data(), N, text.data(), text.size(), nullptr, &length, &end,
                          kBase64Variant) != 0 ||
        length != N || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::optional<KeyPair> MakeKeyPair() {
    KeyPair pair;
    if (!SodiumReady() || crypto_sign_keypair(pair.publicKey.data(), pair.secretKey.data()) != 0) {
        return std::nullopt;
    }
    return pair;
}

std::string KeyText(const PublicKey& key) {
    return ToBase64(key);
}

std::string KeyText(const SecretKey& key) {
    return ToBase64(key);
}

std::string SignatureText(const Signature& signature) {
    return ToBase64(signature);
}

std::optional<PublicKey> ParsePublicKey(std::string_view text) {
    return FromBase64<kPublicKeyBytes>(text);
}

std::optional<SecretKey> ParseSecretKey(std::string_view text) {
    return FromBase64<kSecretKeyBytes>(text);
}

std::optional<Signature> ParseSignature(std::string_view text) {
    return FromBase64<kSignatureBytes>(text);
}

SignatureStream::SignatureStream() {
    Reset();
}

void SignatureStream::Reset() {
    SodiumReady();
    crypto_sign_init(&m_state);
}

void SignatureStream::Add(const void* data, size_t size) {
    if (size > 0) {
        crypto_sign_update(&m_state, static_cast<const unsigned char*>(data), size);
    }
}

bool SignatureStream::AddFile(platform::ArchiveInputFile& file, uint64_t bytes) {
    std::vector<unsigned char> buffer(kReadPieceBytes);
    for (uint64_t offset = 0; offset < bytes;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), bytes - offset));
        const std::optional<size_t> got = file.ReadAt(offset, buffer.data(), want);
        if (!got || *got == 0) {
            return false;
        }
        Add(buffer.data(), *got);
        offset += *got;
    }
    return true;
}

std::optional<Signature> SignatureStream::Sign(const SecretKey& key) const {
    // Finishing consumes the state: a copy is finished, the stream may go on.
    crypto_sign_state state = m_state;
    Signature signature{};
    if (!SodiumReady() ||
        crypto_sign_final_create(&state, signature.data(), nullptr, key.data()) != 0) {
        return std::nullopt;
    }
    return signature;
}

bool SignatureStream::Matches(const Signature& signature, const PublicKey& key) const {
    crypto_sign_state state = m_state;
    return SodiumReady() && crypto_sign_final_verify(&state, signature.data(), key.data()) == 0;
}

Verdict CheckSignature(const SignatureStream& bytes, std::string_view signatureText,
                       std::string_view publicKeyText) {
    const std::optional<PublicKey> key = ParsePublicKey(publicKeyText);
    if (!key) {
        return Verdict::BadPublicKey;
    }
    const std::optional<Signature> signature = ParseSignature(signatureText);
    if (!signature) {
        return Verdict::NotASignature;
    }
    return bytes.Matches(*signature, *key) ? Verdict::Valid : Verdict::Mismatch;
}

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Valid:
            return "the signature is valid";
        case Verdict::BadPublicKey:
            return "the public key is not the Base64 text of an Ed25519 public key";
        case Verdict::NotASignature:
            return "the signature file is not the Base64 text of an Ed25519 signature";
        case Verdict::Mismatch:
            break;
    }
    return "the signature does not match: made by another key, or the file changed after "
           "signing";
}

}  // namespace signing

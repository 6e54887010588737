#pragma once
// A publisher's key made at test time, and the signature files it makes, as zorvtool sign writes
// them.

#include <stdexcept>
#include <string>
#include <string_view>

#include "signing/signature.h"

namespace tolbe_test {

class TestSigner {
public:
    TestSigner() {
        const auto pair = signing::MakeKeyPair();
        if (!pair) {
            throw std::runtime_error("no key pair can be made");
        }
        m_pair = *pair;
    }

    // The public key as the launcher is built with it.
    std::string PublicKey() const { return signing::KeyText(m_pair.publicKey); }
    // The secret key file's content.
    std::string SecretKeyFile() const { return signing::KeyText(m_pair.secretKey) + "\n"; }

    // The signature file of `bytes`.
    std::string SignatureFile(std::string_view bytes) const {
        signing::SignatureStream stream;
        stream.Add(bytes);
        return signing::SignatureText(*stream.Sign(m_pair.secretKey)) + "\n";
    }

private:
    signing::KeyPair m_pair;
};

}  // namespace tolbe_test

#pragma once
// The public key the launcher checks the publisher's updates with.

#include <string>

namespace signing {

// The Base64 Ed25519 public key fixed in the launcher when it is built (CMake cache variable
// TOLBE_UPDATE_PUBLIC_KEY); empty when it was built without one, and then no signature is asked
// for. Nothing a player or a server provides can change it.
const std::string& BuiltInUpdatePublicKey();

}  // namespace signing

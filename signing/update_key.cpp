#include "signing/update_key.h"

namespace signing {

const std::string& BuiltInUpdatePublicKey() {
    static const std::string key = TOLBE_UPDATE_PUBLIC_KEY;
    return key;
}

}  // namespace signing
